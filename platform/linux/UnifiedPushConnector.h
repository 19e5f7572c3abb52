#pragma once
// Push messages through UnifiedPush, the push standard of Linux desktops, over D-Bus: a
// distributor (a service on the session bus named "org.unifiedpush.Distributor.<name>", such as
// ntfy's or KUnifiedPush's) registers the application and hands it the endpoint URL its server
// posts messages to; each message posted there reaches the application.
//
//   connector -> distributor  org.unifiedpush.Distributor1 at /org/unifiedpush/Distributor:
//                             Register(app id, token, description) -> (result, reason),
//                             Unregister(token)
//   distributor -> connector  org.unifiedpush.Connector1 at /org/unifiedpush/Connector, sent to
//                             the application's own bus name: NewEndpoint(token, endpoint),
//                             Message(token, bytes, id), Unregistered(token)
//
// The token names this installation's registration; it is made once and kept in `tokenFile`,
// so every start asks for the same registration again. The device token the application
// receives is the endpoint URL's UTF-8 bytes; a message's bytes are its JSON payload. No
// distributor on the bus, or one that refuses or fails the registration, is a registration
// failure. A distributor that speaks only the first form of Register (two arguments) is asked
// again in that form.
//
// The connector is served on the GApplication's own bus connection, so the application must be
// registered (running) before registerApplication(). Main thread only; calls arriving after the
// connector is gone are not answered.

#include "platform/PushService.h"
#include "platform/linux/GObjectPtr.h"

#include <gio/gio.h>

#include <filesystem>
#include <memory>
#include <string>

namespace platform {

class UnifiedPushConnector final : public PushService, public std::enable_shared_from_this<UnifiedPushConnector> {
public:
    explicit UnifiedPushConnector(std::filesystem::path tokenFile);
    ~UnifiedPushConnector() override;

    void registerApplication(Application& application) override;
    void unregisterApplication() override;

private:
    enum class RegisterForm { withDescription, plain };

    bool serveConnector(GDBusConnection* connection);
    const std::string& connectionToken();
    void chooseDistributor();
    void callRegister(RegisterForm form);
    void registered(GVariant* reply, const std::string& errorText, bool unknownForm, RegisterForm form);
    void fail(const std::string& error);

    static void onMethodCall(GDBusConnection*, const char* sender, const char* path, const char* interface,
                             const char* method, GVariant* parameters, GDBusMethodInvocation* invocation,
                             gpointer self);

    std::filesystem::path tokenFile_;
    std::string token_;
    std::string applicationID_;
    Application* application_ = nullptr;
    gtk::GObjectPtr<GDBusConnection> connection_;
    guint registration_ = 0;
    std::string distributor_;
};

} // namespace platform
