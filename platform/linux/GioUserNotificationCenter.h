#pragma once
// Delivers notifications as desktop notifications (GNotification) sent by the process's
// GApplication (the application's GtkApplication once it runs), under the request's identifier:
// a later notification with the same identifier replaces the one on show. GLib hands them to the
// desktop's notification service over the session bus. Without a registered application (before
// the application runs, or in a second instance that handed over) a delivery is dropped and
// logged.
//
// Clicking a notification activates the application's action "app.notification-activated" with
// the notification's identifier (the desktop service reports the click over the bus, GLib turns
// it into the action); the centre tells its delegate. The action is added to the application by
// the first delivery and refers to this centre weakly.
//
// Notifications can be shown when the session bus has a notification service: the desktop's
// (org.freedesktop.Notifications, running or started on demand), GTK's (org.gtk.Notifications)
// or the desktop portal's.
//
// Threads as the centre's interface says: delivering and withdrawing on the main thread, where
// GLib also reports the click; the check for a notification service from any thread.

#include "platform/UserNotificationCenter.h"

#include <gio/gio.h>

namespace platform {

class GioUserNotificationCenter final : public UserNotificationCenter {
protected:
    void deliverImpl(const UserNotificationRequest& request) override;
    void withdrawImpl(const std::string& identifier) override;
    bool notificationServiceAvailableImpl() override;

private:
    static void onActivated(GSimpleAction* action, GVariant* parameter, gpointer self);
};

} // namespace platform
