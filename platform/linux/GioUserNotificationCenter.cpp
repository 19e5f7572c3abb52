#include "platform/linux/GioUserNotificationCenter.h"

#include "logger/Logger.h"
#include "platform/linux/GObjectPtr.h"
#include "platform/linux/GuardedCall.h"

#include <gio/gio.h>

namespace platform {
namespace {

constexpr const char* kActivatedAction = "notification-activated";

GApplication* runningApplication()
{
    GApplication* application = g_application_get_default();
    if (!application || !g_application_get_is_registered(application) || g_application_get_is_remote(application))
        return nullptr;
    return application;
}

bool busHasName(GDBusConnection* bus, const char* method, const char* name)
{
    g_autoptr(GError) error = nullptr;
    g_autoptr(GVariant) reply = g_dbus_connection_call_sync(
        bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", method,
        g_strcmp0(method, "NameHasOwner") == 0 ? g_variant_new("(s)", name) : nullptr, nullptr,
        G_DBUS_CALL_FLAGS_NONE, 2000, nullptr, &error);
    if (!reply)
        return false;
    if (g_variant_is_of_type(reply, G_VARIANT_TYPE("(b)"))) {
        gboolean owned = FALSE;
        g_variant_get(reply, "(b)", &owned);
        return owned;
    }
    g_autofree const char** names = nullptr;
    g_variant_get(reply, "(^a&s)", &names);
    for (const char** each = names; each && *each; ++each)
        if (g_strcmp0(*each, name) == 0)
            return true;
    return false;
}

} // namespace

void GioUserNotificationCenter::deliverImpl(const UserNotificationRequest& request)
{
    GApplication* application = runningApplication();
    if (!application) {
        LOG_WARNING("no running application to show the notification " + request.identifier);
        return;
    }
    // Bound to this centre: a centre made later (a new set of shared instances) takes it over.
    auto action = gtk::GObjectPtr<GSimpleAction>::adopt(g_simple_action_new(kActivatedAction, G_VARIANT_TYPE_STRING));
    auto* weakSelf = new std::weak_ptr<UserNotificationCenter>(weak_from_this());
    g_signal_connect_data(action.get(), "activate", G_CALLBACK(onActivated), weakSelf,
                          [](gpointer data, GClosure*) { delete static_cast<std::weak_ptr<UserNotificationCenter>*>(data); },
                          GConnectFlags(0));
    g_action_map_add_action(G_ACTION_MAP(application), G_ACTION(action.get()));

    auto notification = gtk::GObjectPtr<GNotification>::adopt(g_notification_new(request.content.title.c_str()));
    if (!request.content.body.empty())
        g_notification_set_body(notification.get(), request.content.body.c_str());
    g_notification_set_default_action_and_target(notification.get(), (std::string("app.") + kActivatedAction).c_str(),
                                                 "s", request.identifier.c_str());
    // The desktop's notification service plays its own sound; GNotification has no sound to
    // choose, so NotificationSound::none and defaultSound are sent alike.
    g_application_send_notification(application, request.identifier.c_str(), notification.get());
}

void GioUserNotificationCenter::withdrawImpl(const std::string& identifier)
{
    if (GApplication* application = runningApplication())
        g_application_withdraw_notification(application, identifier.c_str());
}

bool GioUserNotificationCenter::notificationServiceAvailableImpl()
{
    g_autoptr(GError) error = nullptr;
    g_autoptr(GDBusConnection) bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, &error);
    if (!bus)
        return false;
    for (const char* name : {"org.freedesktop.Notifications", "org.gtk.Notifications", "org.freedesktop.portal.Desktop"})
        if (busHasName(bus, "NameHasOwner", name) || busHasName(bus, "ListActivatableNames", name))
            return true;
    return false;
}

void GioUserNotificationCenter::onActivated(GSimpleAction*, GVariant* parameter, gpointer data)
{
    gtk::guardedCall("notification-activated", [&] {
        auto center = static_cast<std::weak_ptr<UserNotificationCenter>*>(data)->lock();
        if (center && parameter)
            static_cast<GioUserNotificationCenter*>(center.get())
                ->didActivate(g_variant_get_string(parameter, nullptr), UserNotificationDefaultActionIdentifier);
    });
}

} // namespace platform
