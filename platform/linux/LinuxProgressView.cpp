#include "platform/linux/LinuxProgressView.h"

#include <algorithm>

namespace platform {
namespace {

constexpr guint frameInterval = 16;

} // namespace

LinuxProgressView::LinuxProgressView() : bar_(gtk::GObjectPtr<GtkWidget>::ref(gtk_progress_bar_new()))
{
    gtk_widget_set_name(bar_.get(), "webcontainer-progress");
    // Shown and hidden by setHidden() alone, not by a container showing all its children.
    gtk_widget_set_no_show_all(bar_.get(), TRUE);
    gtk_widget_show(bar_.get());
}

LinuxProgressView::~LinuxProgressView()
{
    stopAnimation();
    if (GtkWidget* parent = gtk_widget_get_parent(bar_.get()))
        gtk_container_remove(GTK_CONTAINER(parent), bar_.get());
}

double LinuxProgressView::shownFraction() const
{
    return gtk_progress_bar_get_fraction(GTK_PROGRESS_BAR(bar_.get()));
}

void LinuxProgressView::setProgressImpl(float progress, ProgressAnimation animation)
{
    stopAnimation();
    if (animation == ProgressAnimation::none || !gtk_widget_get_mapped(bar_.get())) {
        gtk_progress_bar_set_fraction(GTK_PROGRESS_BAR(bar_.get()), progress);
        return;
    }
    animationFrom_ = shownFraction();
    animationTo_ = progress;
    animationStart_ = g_get_monotonic_time();
    animationSource_ = g_timeout_add(frameInterval, &LinuxProgressView::onAnimationTick, this);
}

gboolean LinuxProgressView::onAnimationTick(gpointer data)
{
    auto* self = static_cast<LinuxProgressView*>(data);
    const double elapsed = static_cast<double>(g_get_monotonic_time() - self->animationStart_);
    const double duration = std::chrono::duration<double, std::micro>(animationDuration).count();
    const double share = std::min(1.0, elapsed / duration);
    gtk_progress_bar_set_fraction(GTK_PROGRESS_BAR(self->bar_.get()),
                                  self->animationFrom_ + (self->animationTo_ - self->animationFrom_) * share);
    if (share < 1.0)
        return G_SOURCE_CONTINUE;
    self->animationSource_ = 0;
    return G_SOURCE_REMOVE;
}

void LinuxProgressView::stopAnimation()
{
    if (animationSource_)
        g_source_remove(animationSource_);
    animationSource_ = 0;
}

void LinuxProgressView::setHiddenImpl(bool hidden)
{
    gtk_widget_set_visible(bar_.get(), !hidden);
}

void LinuxProgressView::pinAlongSuperviewBottomImpl(int distanceFromBottom, int sideInset)
{
    GtkWidget* bar = bar_.get();
    gtk_widget_set_halign(bar, GTK_ALIGN_FILL);
    gtk_widget_set_valign(bar, GTK_ALIGN_END);
    gtk_widget_set_margin_start(bar, sideInset);
    gtk_widget_set_margin_end(bar, sideInset);
    // The bar's own height lies between its top edge and the bottom margin.
    int height = 0;
    gtk_widget_get_preferred_height(bar, nullptr, &height);
    gtk_widget_set_margin_bottom(bar, std::max(0, distanceFromBottom - height));
    if (GtkWidget* parent = gtk_widget_get_parent(bar); parent && GTK_IS_OVERLAY(parent))
        gtk_overlay_set_overlay_pass_through(GTK_OVERLAY(parent), bar, TRUE);
}

} // namespace platform
