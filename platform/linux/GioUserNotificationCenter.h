#pragma once
// Delivers notifications as desktop notifications (GNotification) sent by the process's
// GApplication (the application's GtkApplication once it runs), under the request's identifier:
// a later notification with the same identifier replaces the one on show. GLib hands them to the
// desktop's notification service over the session bus. Without a registered application (before
// the application runs, or in a second instance that handed over) a delivery is dropped and
// logged.

#include "platform/UserNotificationCenter.h"

namespace platform {

class GioUserNotificationCenter final : public UserNotificationCenter {
protected:
    void deliverImpl(const UserNotificationRequest& request) override;
};

} // namespace platform
