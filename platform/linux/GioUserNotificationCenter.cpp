#include "platform/linux/GioUserNotificationCenter.h"

#include "base/Logger.h"
#include "platform/linux/GObjectPtr.h"

#include <gio/gio.h>

namespace platform {

void GioUserNotificationCenter::deliverImpl(const UserNotificationRequest& request)
{
    GApplication* application = g_application_get_default();
    if (!application || !g_application_get_is_registered(application) || g_application_get_is_remote(application)) {
        LOG_WARNING("no running application to show the notification " + request.identifier);
        return;
    }
    auto notification = gtk::GObjectPtr<GNotification>::adopt(g_notification_new(request.content.title.c_str()));
    if (!request.content.body.empty())
        g_notification_set_body(notification.get(), request.content.body.c_str());
    // The desktop's notification service plays its own sound; GNotification has no sound to
    // choose, so NotificationSound::none and defaultSound are sent alike.
    g_application_send_notification(application, request.identifier.c_str(), notification.get());
}

} // namespace platform
