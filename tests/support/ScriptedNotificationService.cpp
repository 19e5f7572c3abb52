#include "tests/support/ScriptedNotificationService.h"

namespace testsupport {
namespace {

constexpr const char* serviceInterface = R"(
<node>
  <interface name="org.freedesktop.Notifications">
    <method name="Notify">
      <arg direction="in" type="s"/><arg direction="in" type="u"/><arg direction="in" type="s"/>
      <arg direction="in" type="s"/><arg direction="in" type="s"/><arg direction="in" type="as"/>
      <arg direction="in" type="a{sv}"/><arg direction="in" type="i"/>
      <arg direction="out" type="u"/>
    </method>
    <method name="CloseNotification"><arg direction="in" type="u"/></method>
    <method name="GetCapabilities"><arg direction="out" type="as"/></method>
    <method name="GetServerInformation">
      <arg direction="out" type="s"/><arg direction="out" type="s"/><arg direction="out" type="s"/>
      <arg direction="out" type="s"/>
    </method>
  </interface>
</node>)";

} // namespace

ScriptedNotificationService::ScriptedNotificationService(const PrivateSessionBus& bus)
    : connection_(bus.connect("org.freedesktop.Notifications"))
{
    g_autoptr(GDBusNodeInfo) node = g_dbus_node_info_new_for_xml(serviceInterface, nullptr);
    static const GDBusInterfaceVTable vtable = {&ScriptedNotificationService::onCall, nullptr, nullptr, {}};
    registration_ = g_dbus_connection_register_object(connection_, "/org/freedesktop/Notifications",
                                                      node->interfaces[0], &vtable, this, nullptr, nullptr);
}

ScriptedNotificationService::~ScriptedNotificationService()
{
    g_dbus_connection_unregister_object(connection_, registration_);
    g_dbus_connection_close_sync(connection_, nullptr, nullptr);
    g_object_unref(connection_);
}

void ScriptedNotificationService::click(guint32 id)
{
    g_dbus_connection_emit_signal(connection_, nullptr, "/org/freedesktop/Notifications",
                                  "org.freedesktop.Notifications", "ActionInvoked",
                                  g_variant_new("(us)", id, "default"), nullptr);
}

void ScriptedNotificationService::onCall(GDBusConnection*, const char*, const char*, const char*, const char* method,
                                         GVariant* parameters, GDBusMethodInvocation* invocation, gpointer data)
{
    auto* self = static_cast<ScriptedNotificationService*>(data);
    if (g_strcmp0(method, "Notify") == 0) {
        const char* summary = nullptr;
        const char* body = nullptr;
        g_variant_get_child(parameters, 3, "&s", &summary);
        g_variant_get_child(parameters, 4, "&s", &body);
        self->shown.push_back({summary, body});
        g_dbus_method_invocation_return_value(invocation, g_variant_new("(u)", guint32(self->shown.size())));
    } else if (g_strcmp0(method, "GetCapabilities") == 0) {
        const char* capabilities[] = {"body", nullptr};
        g_dbus_method_invocation_return_value(invocation, g_variant_new("(^as)", capabilities));
    } else if (g_strcmp0(method, "GetServerInformation") == 0) {
        g_dbus_method_invocation_return_value(invocation, g_variant_new("(ssss)", "test", "test", "1", "1.2"));
    } else {
        g_dbus_method_invocation_return_value(invocation, nullptr);
    }
}

} // namespace testsupport
