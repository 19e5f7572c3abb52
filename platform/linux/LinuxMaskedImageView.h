#pragma once
// The masked image view on a GtkDrawingArea drawn with cairo: the picture is painted into a
// group and shown through the mask picture's alpha. A running animation is driven by a tick
// callback of the widget's frame clock, which redraws the view each frame; it ends at its end
// time (a timer), or at the first frame past it, whichever comes first, and the ticks stop.
// Main thread only, as every view.

#include "platform/MaskedImageView.h"
#include "platform/linux/GObjectPtr.h"
#include "platform/linux/LinuxWidget.h"

#include <gdk-pixbuf/gdk-pixbuf.h>

#include <memory>
#include <optional>

namespace platform {

class LinuxMaskedImageView final : public MaskedImageView, public LinuxWidget {
public:
    LinuxMaskedImageView();
    ~LinuxMaskedImageView() override;

    GtkWidget* widget() const override { return area_.get(); }

    bool setImage(const std::filesystem::path& image) override;
    bool setMask(const std::filesystem::path& mask, Rect bounds) override;
    void removeMask() override;
    void addMaskAnimation(KeyframeAnimation animation, DidStop didStop) override;

    // The mask's bounds as the last frame drew them; nothing without a mask.
    std::optional<Rect> presentedMaskBounds() const;
    // Frames drawn while an animation ran.
    int animatedFrames() const { return animatedFrames_; }

private:
    static gboolean onDraw(GtkWidget*, cairo_t* cr, gpointer self);
    static gboolean onTick(GtkWidget*, GdkFrameClock* clock, gpointer self);
    static gboolean onEndTime(gpointer self);
    void draw(cairo_t* cr);
    void stopTicks();
    // Ends the running animation: `didStop(finished)` on the main queue.
    void endAnimation(bool finished);

    gtk::GObjectPtr<GtkWidget> area_;
    gtk::SignalConnections signals_;
    gtk::GObjectPtr<GdkPixbuf> image_;
    gtk::GObjectPtr<GdkPixbuf> mask_;
    // The picture and the mask as cairo surfaces, made once: the animation draws them every
    // frame.
    std::unique_ptr<cairo_surface_t, decltype(&cairo_surface_destroy)> imageSurface_{nullptr, &cairo_surface_destroy};
    std::unique_ptr<cairo_surface_t, decltype(&cairo_surface_destroy)> maskSurface_{nullptr, &cairo_surface_destroy};
    Rect maskBounds_;
    std::optional<KeyframeAnimation> animation_;
    DidStop didStop_;
    guint tick_ = 0;
    guint endTimer_ = 0;
    double frameTime_ = 0;
    int animatedFrames_ = 0;
};

} // namespace platform
