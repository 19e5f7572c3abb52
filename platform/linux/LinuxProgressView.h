#pragma once
// The progress bar on a GtkProgressBar, laid over the web view in its superview's GtkOverlay;
// it lets pointer events through to what lies beneath. An animated change moves the bar there
// over a quarter of a second. Main thread only, as every view.

#include "platform/ProgressView.h"
#include "platform/linux/GObjectPtr.h"
#include "platform/linux/LinuxWidget.h"

#include <chrono>

namespace platform {

class LinuxProgressView final : public ProgressView, public LinuxWidget {
public:
    static constexpr std::chrono::milliseconds animationDuration{250};

    LinuxProgressView();
    ~LinuxProgressView() override;

    GtkWidget* widget() const override { return bar_.get(); }
    // The fraction the bar shows now.
    double shownFraction() const;

protected:
    void setProgressImpl(float progress, ProgressAnimation animation) override;
    void setHiddenImpl(bool hidden) override;
    void pinAlongSuperviewBottomImpl(int distanceFromBottom, int sideInset) override;

private:
    static gboolean onAnimationTick(gpointer self);
    void stopAnimation();

    gtk::GObjectPtr<GtkWidget> bar_;
    guint animationSource_ = 0;
    double animationFrom_ = 0;
    double animationTo_ = 0;
    gint64 animationStart_ = 0;
};

} // namespace platform
