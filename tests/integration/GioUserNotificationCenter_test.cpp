// Desktop notifications through GNotification, received by a scripted notification service on a
// private session bus.

#include "platform/Dispatch.h"
#include "platform/linux/GioUserNotificationCenter.h"
#include "tests/support/PrivateSessionBus.h"

#include <gio/gio.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace std::chrono_literals;

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

// The desktop's notification service, as far as the tests need it: it records each summary and
// body it is asked to show.
class NotificationService {
public:
    struct Shown {
        std::string summary;
        std::string body;
    };

    explicit NotificationService(const testsupport::PrivateSessionBus& bus)
        : connection_(bus.connect("org.freedesktop.Notifications"))
    {
        g_autoptr(GDBusNodeInfo) node = g_dbus_node_info_new_for_xml(serviceInterface, nullptr);
        static const GDBusInterfaceVTable vtable = {&NotificationService::onCall, nullptr, nullptr, {}};
        registration_ = g_dbus_connection_register_object(connection_, "/org/freedesktop/Notifications",
                                                          node->interfaces[0], &vtable, this, nullptr, nullptr);
    }
    ~NotificationService()
    {
        g_dbus_connection_unregister_object(connection_, registration_);
        g_dbus_connection_close_sync(connection_, nullptr, nullptr);
        g_object_unref(connection_);
    }

    std::vector<Shown> shown;

private:
    static void onCall(GDBusConnection*, const char*, const char*, const char*, const char* method, GVariant* parameters,
                       GDBusMethodInvocation* invocation, gpointer data)
    {
        auto* self = static_cast<NotificationService*>(data);
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

    GDBusConnection* connection_;
    guint registration_ = 0;
};

platform::UserNotificationRequest request(std::string identifier, std::string title, std::string body,
                                          std::chrono::milliseconds after)
{
    platform::UserNotificationRequest made;
    made.identifier = std::move(identifier);
    made.content.title = std::move(title);
    made.content.body = std::move(body);
    made.content.sound = platform::NotificationSound::defaultSound;
    made.trigger = platform::TimeIntervalNotificationTrigger{after, false};
    return made;
}

// One private bus and one registered application for the whole process, as the real application
// has one: a registered GApplication is never released (released early it leaves GIO sources
// behind that crash a later main-loop pass) and keeps its first session-bus connection, so a
// second run in the same process (a repeated or whole run) uses both again. The bus stops when
// the process exits; the application's connection then closes without ending the process.
const testsupport::PrivateSessionBus& processBus()
{
    static const testsupport::PrivateSessionBus bus;
    return bus;
}

GApplication* registeredApplication()
{
    static GApplication* application = [] {
        processBus();
        GApplication* made = g_application_new("org.webcontainer.test", GApplicationFlags(0));
        if (g_application_register(made, nullptr, nullptr))
            g_dbus_connection_set_exit_on_close(g_application_get_dbus_connection(made), FALSE);
        return made;
    }();
    return application;
}

} // namespace

// A failed download's notification one second on reaches the desktop through the application;
// one removed while pending never does.
TEST(GioUserNotificationCenter, deliversThroughTheApplicationToTheDesktopService)
{
    GApplication* application = registeredApplication();
    ASSERT_TRUE(g_application_get_is_registered(application));
    NotificationService service(processBus());
    auto center = std::make_shared<platform::GioUserNotificationCenter>();

    center->add(request("org.webcontainer.test", "Error", "The download failed.", 1s));
    center->add(request("removed", "Removed", "never shown", 100ms));
    center->removePendingNotificationRequests({"removed"});
    EXPECT_EQ(1u, center->pendingNotificationRequests().size());

    ASSERT_TRUE(platform::runMainLoopUntil([&] { return !service.shown.empty(); }, 10s));
    platform::runMainLoopUntil([] { return false; }, 200ms);
    ASSERT_EQ(1u, service.shown.size());
    EXPECT_EQ("Error", service.shown[0].summary);
    EXPECT_EQ("The download failed.", service.shown[0].body);
    EXPECT_TRUE(center->pendingNotificationRequests().empty());
}
