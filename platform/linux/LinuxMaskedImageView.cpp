#include "platform/linux/LinuxMaskedImageView.h"

#include "platform/linux/GuardedCall.h"
#include "portable/Dispatch.h"

#include <algorithm>
#include <cmath>

namespace platform {
namespace {

gtk::GObjectPtr<GdkPixbuf> loadPicture(const std::filesystem::path& file)
{
    return gtk::GObjectPtr<GdkPixbuf>::adopt(gdk_pixbuf_new_from_file(file.c_str(), nullptr));
}

// The rectangle that fits `width` × `height` into `frame` keeping the aspect, centred.
Rect aspectFit(double width, double height, const Rect& frame)
{
    const double scale = std::min(frame.width / width, frame.height / height);
    return {frame.x + (frame.width - width * scale) / 2, frame.y + (frame.height - height * scale) / 2,
            width * scale, height * scale};
}

// `surface` holds the pixels of `picture`.
void paintPicture(cairo_t* cr, GdkPixbuf* picture, cairo_surface_t* surface, const Rect& place)
{
    const double width = gdk_pixbuf_get_width(picture);
    const double height = gdk_pixbuf_get_height(picture);
    cairo_save(cr);
    cairo_translate(cr, place.x, place.y);
    cairo_scale(cr, place.width / width, place.height / height);
    cairo_set_source_surface(cr, surface, 0, 0);
    cairo_paint(cr);
    cairo_restore(cr);
}

} // namespace

LinuxMaskedImageView::LinuxMaskedImageView() : area_(gtk::GObjectPtr<GtkWidget>::ref(gtk_drawing_area_new()))
{
    gtk_widget_show(area_.get());
    signals_.connect(area_.get(), "draw", G_CALLBACK(onDraw), this);
}

LinuxMaskedImageView::~LinuxMaskedImageView()
{
    stopTicks();
    signals_.disconnectAll();
    if (GtkWidget* parent = gtk_widget_get_parent(area_.get()))
        gtk_container_remove(GTK_CONTAINER(parent), area_.get());
}

bool LinuxMaskedImageView::setImage(const std::filesystem::path& image)
{
    image_ = loadPicture(image);
    imageSurface_.reset(image_ ? gdk_cairo_surface_create_from_pixbuf(image_.get(), 1, nullptr) : nullptr);
    gtk_widget_queue_draw(area_.get());
    return static_cast<bool>(image_);
}

bool LinuxMaskedImageView::setMask(const std::filesystem::path& mask, Rect bounds)
{
    mask_ = loadPicture(mask);
    maskSurface_.reset(mask_ ? gdk_cairo_surface_create_from_pixbuf(mask_.get(), 1, nullptr) : nullptr);
    maskBounds_ = bounds;
    gtk_widget_queue_draw(area_.get());
    return static_cast<bool>(mask_);
}

void LinuxMaskedImageView::removeMask()
{
    mask_.reset();
    maskSurface_.reset();
    if (animation_)
        endAnimation(false);
    gtk_widget_queue_draw(area_.get());
}

void LinuxMaskedImageView::addMaskAnimation(KeyframeAnimation animation, DidStop didStop)
{
    if (animation_)
        endAnimation(false);
    animation_ = std::move(animation);
    didStop_ = std::move(didStop);
    frameTime_ = currentMediaTime();
    tick_ = gtk_widget_add_tick_callback(area_.get(), &LinuxMaskedImageView::onTick, this, nullptr);
    // The end is due at a moment of the media clock, not at the first frame after it (up to a
    // frame later).
    const double left = animation_->beginTime + animation_->duration - frameTime_;
    endTimer_ = g_timeout_add(static_cast<guint>(std::ceil(std::max(left, 0.0) * 1000)), &LinuxMaskedImageView::onEndTime,
                              this);
}

gboolean LinuxMaskedImageView::onEndTime(gpointer data)
{
    auto* self = static_cast<LinuxMaskedImageView*>(data);
    self->endTimer_ = 0;
    gtk::guardedCall("masked image animation end", [&] {
        const double now = currentMediaTime();
        if (self->animation_ && self->animation_->hasEnded(now)) {
            self->frameTime_ = now;
            self->endAnimation(true);
        }
    });
    return G_SOURCE_REMOVE;
}

std::optional<Rect> LinuxMaskedImageView::presentedMaskBounds() const
{
    if (!mask_)
        return std::nullopt;
    if (animation_)
        return animation_->valueAt(frameTime_).value_or(maskBounds_);
    return maskBounds_;
}

gboolean LinuxMaskedImageView::onTick(GtkWidget* widget, GdkFrameClock* clock, gpointer data)
{
    auto* self = static_cast<LinuxMaskedImageView*>(data);
    // The frame clock counts in microseconds of the monotonic clock, as the media clock does.
    self->frameTime_ = static_cast<double>(gdk_frame_clock_get_frame_time(clock)) / G_USEC_PER_SEC;
    if (!self->animation_ || !self->animation_->hasEnded(self->frameTime_)) {
        gtk_widget_queue_draw(widget);
        return G_SOURCE_CONTINUE;
    }
    // The end is not drawn: the listener hears of it at once rather than after another frame
    // (with the display server's round trip), and the mask at rest is not seen for a frame.
    self->tick_ = 0;
    self->endAnimation(true);
    return G_SOURCE_REMOVE;
}

void LinuxMaskedImageView::endAnimation(bool finished)
{
    stopTicks();
    animation_.reset();
    if (auto didStop = std::exchange(didStop_, nullptr)) {
        // Run after this frame, outside GTK's callback: the listener may drop this view.
        mainQueue().async([weak = weak_from_this(), didStop, finished] {
            if (weak.lock())
                didStop(finished);
        });
    }
}

void LinuxMaskedImageView::stopTicks()
{
    if (tick_)
        gtk_widget_remove_tick_callback(area_.get(), tick_);
    tick_ = 0;
    if (endTimer_)
        g_source_remove(endTimer_);
    endTimer_ = 0;
}

gboolean LinuxMaskedImageView::onDraw(GtkWidget*, cairo_t* cr, gpointer data)
{
    gtk::guardedCall("masked image draw", [&] { static_cast<LinuxMaskedImageView*>(data)->draw(cr); });
    return TRUE;
}

void LinuxMaskedImageView::draw(cairo_t* cr)
{
    const Rect frame{0, 0, static_cast<double>(gtk_widget_get_allocated_width(area_.get())),
                     static_cast<double>(gtk_widget_get_allocated_height(area_.get()))};
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_paint(cr);
    if (!image_ || frame.width <= 0 || frame.height <= 0)
        return;
    const Rect picture = aspectFit(gdk_pixbuf_get_width(image_.get()), gdk_pixbuf_get_height(image_.get()), frame);
    if (animation_)
        ++animatedFrames_;
    const auto bounds = presentedMaskBounds();
    if (!bounds) {
        paintPicture(cr, image_.get(), imageSurface_.get(), picture);
        return;
    }
    // The picture into a group, shown through the mask's alpha centred on the view.
    cairo_push_group(cr);
    paintPicture(cr, image_.get(), imageSurface_.get(), picture);
    cairo_pop_group_to_source(cr);
    const Rect maskFrame{frame.width / 2 - bounds->width / 2, frame.height / 2 - bounds->height / 2, bounds->width,
                         bounds->height};
    const Rect logo = aspectFit(gdk_pixbuf_get_width(mask_.get()), gdk_pixbuf_get_height(mask_.get()), maskFrame);
    cairo_save(cr);
    cairo_translate(cr, logo.x, logo.y);
    cairo_scale(cr, logo.width / gdk_pixbuf_get_width(mask_.get()), logo.height / gdk_pixbuf_get_height(mask_.get()));
    cairo_mask_surface(cr, maskSurface_.get(), 0, 0);
    cairo_restore(cr);
}

} // namespace platform
