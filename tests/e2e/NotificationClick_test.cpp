// A click on a shown reminder, as a desktop delivers it: the notification goes through GLib to a
// scripted notification service on a private session bus, whose click reaches the application.
#include "base/Config.h"
#include "platform/Platform.h"
#include "platform/UserNotificationCenter.h"
#include "platform/linux/LinuxWindow.h"
#include "services/NotificationScheduler.h"
#include "tests/support/RealWebScreenFixture.h"
#include "tests/support/ScriptedNotificationService.h"
#include "tests/support/SessionBusApplication.h"

#include <X11/Xlib.h>
#include <gdk/gdkx.h>

using namespace std::chrono_literals;

namespace {

class NotificationClickTest : public testsupport::RealWebScreenFixture {
protected:
    void SetUp() override
    {
        // The private bus comes before anything of the process connects to the session bus.
        ASSERT_TRUE(g_application_get_is_registered(testsupport::registeredApplication()));
        RealWebScreenFixture::SetUp();
    }
};

} // namespace

TEST_F(NotificationClickTest, AReminderClickBringsTheMinimizedWindowForwardAndShowsItsLandingPage)
{
    testsupport::ScriptedNotificationService service(testsupport::processBus());
    GtkWidget* window = GTK_WIDGET(static_cast<platform::LinuxWindow&>(*delegate.window).gtkWindow());
    ASSERT_TRUE(until([&] { return gtk_widget_get_mapped(window); }));
    // Minimized as a window manager does it: the window is unmapped.
    GdkWindow* surface = gtk_widget_get_window(window);
    XUnmapWindow(GDK_WINDOW_XDISPLAY(surface), GDK_WINDOW_XID(surface));
    const auto minimized = [&] { return (gdk_window_get_state(surface) & GDK_WINDOW_STATE_ICONIFIED) != 0; };
    ASSERT_TRUE(until(minimized));

    platform::UserNotificationRequest reminder;
    reminder.identifier = "lunch";
    reminder.content = NotificationScheduler::makeReminderContent("Lunch", "Noodles", "info.html");
    reminder.trigger = platform::TimeIntervalNotificationTrigger{100ms, false};
    platform::current().userNotificationCenter->add(reminder);
    ASSERT_TRUE(until([&] { return !service.shown.empty(); }));
    service.click(static_cast<guint32>(service.shown.size()));

    EXPECT_TRUE(until([&] { return !minimized() && gdk_window_is_viewable(surface); }))
        << "the window stayed minimized";
    ASSERT_TRUE(waitForFinishedNavigations(2)) << "the landing page did not load";
    EXPECT_EQ(screen->webView->url(), "file://" + sharedConfig().WEBROOT + "/info.html");
}
