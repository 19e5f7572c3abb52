// The download progress bar in the real window under Xvfb: laid over the web view along its
// bottom, showing the fraction it was given.

#include "platform/ProgressView.h"
#include "platform/linux/LinuxProgressView.h"
#include "platform/linux/LinuxWidget.h"
#include "portable/Dispatch.h"
#include "tests/support/RealWebScreenFixture.h"

#include <gtk/gtk.h>

#include <gtest/gtest.h>

#include <cmath>

namespace {

class ProgressViewTest : public testsupport::RealWebScreenFixture {};

} // namespace

TEST_F(ProgressViewTest, ShowsItsFractionOverTheWebViewAlongTheBottom)
{
    auto bar = platform::makeProgressView();
    ASSERT_TRUE(bar);
    screen->view()->addSubview(bar);
    ASSERT_TRUE(bar->pinAlongSuperviewBottom(20, 20));
    bar->setProgress(0, platform::ProgressAnimation::none);
    auto* linux = dynamic_cast<platform::LinuxProgressView*>(bar.get());
    auto* content = dynamic_cast<platform::LinuxWidget*>(screen->view().get());
    ASSERT_TRUE(linux && content);
    GtkWidget* widget = linux->widget();
    ASSERT_TRUE(platform::runMainLoopUntil([&] { return gtk_widget_is_drawable(widget); }));

    bar->setProgress(0.4f, platform::ProgressAnimation::animated);
    EXPECT_TRUE(platform::runMainLoopUntil([&] { return std::abs(linux->shownFraction() - 0.4) < 1e-6; }));
    bar->setProgress(0.75f, platform::ProgressAnimation::none);
    EXPECT_NEAR(0.75, linux->shownFraction(), 1e-6);

    // In the same overlay as the web view, above it (added later), 20 pixels in from the sides,
    // its top edge 20 pixels above the bottom.
    EXPECT_EQ(content->widget(), gtk_widget_get_parent(widget));
    auto* webView = dynamic_cast<platform::LinuxWidget*>(screen->webView.get());
    ASSERT_TRUE(webView);
    EXPECT_EQ(content->widget(), gtk_widget_get_parent(webView->widget()));
    GList* children = gtk_container_get_children(GTK_CONTAINER(content->widget()));
    EXPECT_GT(g_list_index(children, widget), g_list_index(children, webView->widget()));
    g_list_free(children);
    // Laid out once the bar is 40 pixels narrower than its overlay.
    platform::runMainLoopUntil(
        [&] { return gtk_widget_get_allocated_width(widget) == gtk_widget_get_allocated_width(content->widget()) - 40; },
        std::chrono::seconds(20));
    const int width = gtk_widget_get_allocated_width(content->widget());
    const int height = gtk_widget_get_allocated_height(content->widget());
    int x = -1;
    int y = -1;
    ASSERT_TRUE(gtk_widget_translate_coordinates(widget, content->widget(), 0, 0, &x, &y));
    EXPECT_EQ(20, x);
    EXPECT_EQ(width - 40, gtk_widget_get_allocated_width(widget));
    EXPECT_EQ(height - 20, y);

    bar->setHidden(true);
    EXPECT_FALSE(gtk_widget_get_visible(widget));
    bar->removeFromSuperview();
    EXPECT_FALSE(gtk_widget_get_parent(widget));
}
