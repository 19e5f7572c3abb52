// Push messages through UnifiedPush: a scripted distributor on a private session bus registers
// the application, hands out an endpoint, delivers messages while the application is in front
// and in the background, and ends the registration.

#include "platform/Application.h"
#include "platform/Platform.h"
#include "platform/linux/UnifiedPushConnector.h"
#include "portable/Dispatch.h"
#include "tests/support/FakeApplication.h"
#include "tests/support/FakeUserNotificationCenter.h"
#include "tests/support/FakeWindow.h"
#include "tests/support/SessionBusApplication.h"
#include "tests/support/TestEnvironment.h"

#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace {

constexpr const char* kDistributorXml = R"(
<node>
  <interface name="org.unifiedpush.Distributor1">
    <method name="Register">
      <arg type="s" direction="in"/><arg type="s" direction="in"/><arg type="s" direction="in"/>
      <arg type="s" direction="out"/><arg type="s" direction="out"/>
    </method>
    <method name="Unregister"><arg type="s" direction="in"/></method>
  </interface>
</node>)";

// A distributor as far as the test needs one: it accepts every registration, answers with the
// endpoint https://push.example/<token>, and sends messages and the end of a registration when
// the test says so.
class ScriptedDistributor {
public:
    explicit ScriptedDistributor(const testsupport::PrivateSessionBus& bus)
        : connection_(bus.connect("org.unifiedpush.Distributor.scripted"))
    {
        g_autoptr(GDBusNodeInfo) node = g_dbus_node_info_new_for_xml(kDistributorXml, nullptr);
        static const GDBusInterfaceVTable vtable = {&ScriptedDistributor::onCall, nullptr, nullptr, {}};
        registration_ = g_dbus_connection_register_object(connection_, "/org/unifiedpush/Distributor",
                                                          node->interfaces[0], &vtable, this, nullptr, nullptr);
    }
    ~ScriptedDistributor()
    {
        g_dbus_connection_unregister_object(connection_, registration_);
        g_dbus_connection_close_sync(connection_, nullptr, nullptr);
        g_object_unref(connection_);
    }

    void send(const std::string& method, GVariant* parameters)
    {
        g_dbus_connection_call(connection_, application.c_str(), "/org/unifiedpush/Connector",
                               "org.unifiedpush.Connector1", method.c_str(), parameters, nullptr,
                               G_DBUS_CALL_FLAGS_NO_AUTO_START, -1, nullptr, nullptr, nullptr);
    }
    void message(const std::string& bytes)
    {
        send("Message", g_variant_new("(s@ays)", token.c_str(),
                                      g_variant_new_fixed_array(G_VARIANT_TYPE_BYTE, bytes.data(), bytes.size(), 1), ""));
    }

    std::string application;
    std::string token;
    std::vector<std::string> unregistered;

private:
    static void onCall(GDBusConnection*, const char*, const char*, const char*, const char* method,
                       GVariant* parameters, GDBusMethodInvocation* invocation, gpointer data)
    {
        auto* self = static_cast<ScriptedDistributor*>(data);
        if (g_strcmp0(method, "Register") == 0) {
            const char* application = nullptr;
            const char* token = nullptr;
            g_variant_get(parameters, "(&s&s&s)", &application, &token, nullptr);
            self->application = application;
            self->token = token;
            g_dbus_method_invocation_return_value(invocation, g_variant_new("(ss)", "NEW_ENDPOINT", ""));
            self->send("NewEndpoint", g_variant_new("(ss)", token, ("https://push.example/" + self->token).c_str()));
        } else {
            const char* token = nullptr;
            g_variant_get(parameters, "(&s)", &token);
            self->unregistered.emplace_back(token);
            g_dbus_method_invocation_return_value(invocation, nullptr);
        }
    }

    GDBusConnection* connection_;
    guint registration_ = 0;
};

// The application delegate's side: what the push service handed over.
class PushRecorder final : public platform::ApplicationDelegate {
public:
    void applicationDidCreateWindow(platform::Application&, std::shared_ptr<platform::Window> made) override
    {
        window = std::move(made);
    }
    platform::Window* keyWindow() const override { return window.get(); }
    bool application(platform::Application&, const platform::LaunchOptions&) override { return true; }
    bool application(platform::Application&, const std::string&) override { return true; }
    void didRegisterForRemoteNotifications(platform::Application&, const std::vector<std::uint8_t>& token) override
    {
        tokens.emplace_back(token.begin(), token.end());
    }
    void didFailToRegisterForRemoteNotifications(platform::Application&, const std::string& error) override
    {
        failures.push_back(error);
    }
    void didReceiveRemoteNotification(platform::Application&, const platform::PlistDict& payload,
                                      const std::function<void(platform::BackgroundFetchResult)>& done) override
    {
        payloads.push_back(payload);
        done(platform::BackgroundFetchResult::noData);
    }

    std::shared_ptr<platform::Window> window;
    std::vector<std::string> tokens;
    std::vector<std::string> failures;
    std::vector<platform::PlistDict> payloads;
};

} // namespace

TEST(UnifiedPushConnector, registersReceivesInFrontAndBehindAndUnregisters)
{
    ASSERT_TRUE(g_application_get_is_registered(testsupport::registeredApplication()));
    auto application = std::make_shared<testsupport::FakeApplication>();
    auto shown = std::make_shared<testsupport::FakeUserNotificationCenter>();
    platform::Platform installed;
    installed.application = application;
    installed.userNotificationCenter = shown;
    platform::install(installed);
    PushRecorder recorder;
    application->run(0, nullptr, recorder);
    application->launch(std::make_shared<testsupport::FakeWindow>(), {});
    const auto tokenFile = testsupport::makeTemporaryFolder("push") / "token";
    auto connector = std::make_shared<platform::UnifiedPushConnector>(tokenFile);

    // No distributor on the bus: a registration failure.
    connector->registerApplication(*application);
    ASSERT_TRUE(platform::runMainLoopUntil([&] { return !recorder.failures.empty(); }, 5s));
    EXPECT_NE(std::string::npos, recorder.failures[0].find("no UnifiedPush distributor"));

    ScriptedDistributor distributor(testsupport::processBus());
    connector->registerApplication(*application);
    ASSERT_TRUE(platform::runMainLoopUntil([&] { return !recorder.tokens.empty(); }, 5s));
    EXPECT_EQ(testsupport::kSessionBusApplicationID, distributor.application);
    EXPECT_EQ("https://push.example/" + distributor.token, recorder.tokens[0]) << "the token is the endpoint's bytes";
    EXPECT_EQ(distributor.token, testsupport::readFile(tokenFile)) << "kept for the next start";

    const std::string payload = R"({"aps":{"alert":{"title":"News","body":"Read me"},"landingPage":"n.html"}})";
    application->windowStateChanged(true, false);
    distributor.message(payload);
    ASSERT_TRUE(platform::runMainLoopUntil([&] { return recorder.payloads.size() == 1; }, 5s));
    EXPECT_EQ("n.html", *recorder.payloads[0].at("aps").find("landingPage")->asString());
    platform::runMainLoopUntil([] { return false; }, 50ms);
    EXPECT_TRUE(shown->delivered.empty()) << "in front the application shows it itself";

    // In the background the desktop shows it too, with the payload as its user info.
    application->windowStateChanged(false, true);
    distributor.message(payload);
    distributor.message("not json");
    ASSERT_TRUE(platform::runMainLoopUntil([&] { return !shown->delivered.empty(); }, 5s));
    EXPECT_EQ(2u, recorder.payloads.size());
    EXPECT_EQ("News", shown->delivered[0].content.title);
    EXPECT_EQ("Read me", shown->delivered[0].content.body);
    EXPECT_EQ(recorder.payloads[1], shown->delivered[0].content.userInfo);

    // A message for another registration is ignored.
    const std::string ours = distributor.token;
    distributor.token = "someone-else";
    distributor.message(payload);
    distributor.token = ours;

    connector->unregisterApplication();
    ASSERT_TRUE(platform::runMainLoopUntil([&] { return !distributor.unregistered.empty(); }, 5s));
    EXPECT_EQ(ours, distributor.unregistered[0]);
    distributor.send("Unregistered", g_variant_new("(s)", ours.c_str()));
    ASSERT_TRUE(platform::runMainLoopUntil([&] { return recorder.failures.size() == 2; }, 5s));
    EXPECT_EQ(2u, recorder.payloads.size());
}
