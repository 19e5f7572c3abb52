// Toasts on GTK under the virtual display: over the window, at their position, one after another.

#include "platform/Platform.h"
#include "platform/Toast.h"
#include "platform/linux/GtkToast.h"
#include "portable/Dispatch.h"

#include <gtk/gtk.h>

#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <string>

using namespace std::chrono_literals;

namespace {

struct ToastOnShow {
    std::string text;
    int y = 0;
    int height = 0;
};

// The toast popup on show, if any (there is never more than one).
std::optional<ToastOnShow> toastOnShow()
{
    std::optional<ToastOnShow> found;
    GList* toplevels = gtk_window_list_toplevels();
    for (GList* item = toplevels; item; item = item->next) {
        GtkWidget* window = GTK_WIDGET(item->data);
        if (std::strcmp(gtk_widget_get_name(window), "webcontainer-toast") != 0 || !gtk_widget_get_visible(window))
            continue;
        EXPECT_FALSE(found) << "two toasts on show at once";
        ToastOnShow toast;
        toast.text = gtk_label_get_text(GTK_LABEL(gtk_bin_get_child(GTK_BIN(window))));
        int x = 0;
        gtk_window_get_position(GTK_WINDOW(window), &x, &toast.y);
        gtk_window_get_size(GTK_WINDOW(window), &x, &toast.height);
        found = toast;
    }
    g_list_free(toplevels);
    return found;
}

class GtkToastTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(gtk_init_check(nullptr, nullptr)) << "needs a display (xvfb-run)";
        platform::current().toast = std::make_shared<platform::GtkToast>();
    }
};

} // namespace

TEST_F(GtkToastTest, showsNothingWithoutAWindow)
{
    platform::showToast("nowhere", 200ms, platform::ToastPosition::bottom);
    platform::drainMainQueue();
    EXPECT_FALSE(toastOnShow());
}

TEST_F(GtkToastTest, showsOverTheWindowOneAfterAnother)
{
    GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_default_size(GTK_WINDOW(window), 400, 600);
    gtk_window_move(GTK_WINDOW(window), 100, 50);
    gtk_widget_show_all(window);
    ASSERT_TRUE(platform::runMainLoopUntil([&] { return gtk_widget_get_mapped(window); }));
    int windowY = 0;
    int windowX = 0;
    int windowHeight = 0;
    gtk_window_get_position(GTK_WINDOW(window), &windowX, &windowY);
    gtk_window_get_size(GTK_WINDOW(window), &windowX, &windowHeight);
    const int middle = windowY + windowHeight / 2;

    platform::showToast("first", 400ms, platform::ToastPosition::bottom);
    platform::showToast("second", 400ms, platform::ToastPosition::top);
    platform::showToast("third", 400ms, platform::ToastPosition::center);

    auto first = toastOnShow();
    ASSERT_TRUE(first);
    EXPECT_EQ("first", first->text);
    EXPECT_GT(first->y, middle);
    EXPECT_LE(first->y + first->height, windowY + windowHeight);

    ASSERT_TRUE(platform::runMainLoopUntil([] { return toastOnShow() && toastOnShow()->text == "second"; }, 20s));
    auto second = toastOnShow();
    EXPECT_GE(second->y, windowY);
    EXPECT_LT(second->y + second->height, middle);

    ASSERT_TRUE(platform::runMainLoopUntil([] { return toastOnShow() && toastOnShow()->text == "third"; }, 20s));
    auto third = toastOnShow();
    EXPECT_LT(third->y, middle);
    EXPECT_GT(third->y + third->height, middle);

    ASSERT_TRUE(platform::runMainLoopUntil([] { return !toastOnShow(); }, 20s));
    gtk_widget_destroy(window);
}

// The popup holds a reference of its own: when its window closes first, GTK destroys it with the
// window, and the toast's own end later must neither show it again nor stop the next toast.
TEST_F(GtkToastTest, aToastGoesWithItsWindowAndTheNextStillShows)
{
    auto openWindow = [] {
        GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
        gtk_widget_show_all(window);
        EXPECT_TRUE(platform::runMainLoopUntil([&] { return gtk_widget_get_mapped(window); }));
        return window;
    };
    GtkWidget* first = openWindow();
    platform::showToast("closing", 300ms, platform::ToastPosition::bottom);
    ASSERT_TRUE(toastOnShow());
    gtk_widget_destroy(first);
    EXPECT_FALSE(toastOnShow());

    GtkWidget* second = openWindow();
    platform::showToast("next", 300ms, platform::ToastPosition::bottom);
    ASSERT_TRUE(platform::runMainLoopUntil([] { return toastOnShow() && toastOnShow()->text == "next"; }, 20s));
    ASSERT_TRUE(platform::runMainLoopUntil([] { return !toastOnShow(); }, 20s));
    gtk_widget_destroy(second);
}
