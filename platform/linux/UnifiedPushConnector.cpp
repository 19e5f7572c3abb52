#include "platform/linux/UnifiedPushConnector.h"

#include "logger/Logger.h"
#include "platform/Application.h"
#include "platform/linux/GuardedCall.h"
#include "portable/FileManager.h"

#include <algorithm>
#include <vector>

namespace platform {
namespace {

constexpr const char* kDistributorPrefix = "org.unifiedpush.Distributor.";
constexpr const char* kDistributorPath = "/org/unifiedpush/Distributor";
constexpr const char* kDistributorInterface = "org.unifiedpush.Distributor1";
constexpr const char* kConnectorPath = "/org/unifiedpush/Connector";

constexpr const char* kConnectorXml = R"(
<node>
  <interface name="org.unifiedpush.Connector1">
    <method name="Message">
      <arg name="token" type="s" direction="in"/><arg name="message" type="ay" direction="in"/>
      <arg name="messageIdentifier" type="s" direction="in"/>
    </method>
    <method name="NewEndpoint">
      <arg name="token" type="s" direction="in"/><arg name="endpoint" type="s" direction="in"/>
    </method>
    <method name="Unregistered"><arg name="token" type="s" direction="in"/></method>
  </interface>
</node>)";

// A weak reference to the connector for a GIO callback; deleted by the callback.
using WeakConnector = std::weak_ptr<UnifiedPushConnector>;

} // namespace

UnifiedPushConnector::UnifiedPushConnector(std::filesystem::path tokenFile) : tokenFile_(std::move(tokenFile)) {}

UnifiedPushConnector::~UnifiedPushConnector()
{
    if (connection_ && registration_)
        g_dbus_connection_unregister_object(connection_.get(), registration_);
}

const std::string& UnifiedPushConnector::connectionToken()
{
    if (!token_.empty())
        return token_;
    auto& fm = FileManager::defaultManager();
    if (auto stored = fm.readFile(tokenFile_); stored && !stored->empty()) {
        token_ = *stored;
        return token_;
    }
    g_autofree char* made = g_uuid_string_random();
    token_ = made;
    fm.createDirectory(tokenFile_.parent_path());
    if (!fm.writeFileAtomically(tokenFile_, token_, 0600))
        LOG_WARNING("cannot keep the push registration's token in " + tokenFile_.string());
    return token_;
}

bool UnifiedPushConnector::serveConnector(GDBusConnection* connection)
{
    if (connection_.get() == connection && registration_)
        return true;
    if (connection_ && registration_)
        g_dbus_connection_unregister_object(connection_.get(), registration_);
    registration_ = 0;
    connection_ = gtk::GObjectPtr<GDBusConnection>::ref(connection);
    g_autoptr(GDBusNodeInfo) node = g_dbus_node_info_new_for_xml(kConnectorXml, nullptr);
    static const GDBusInterfaceVTable vtable = {&UnifiedPushConnector::onMethodCall, nullptr, nullptr, {}};
    g_autoptr(GError) error = nullptr;
    registration_ = g_dbus_connection_register_object(
        connection, kConnectorPath, node->interfaces[0], &vtable, new WeakConnector(weak_from_this()),
        [](gpointer data) { delete static_cast<WeakConnector*>(data); }, &error);
    if (!registration_)
        LOG_ERROR(std::string("cannot serve the push connector: ") + error->message);
    return registration_ != 0;
}

void UnifiedPushConnector::registerApplication(Application& application)
{
    application_ = &application;
    GApplication* running = g_application_get_default();
    GDBusConnection* connection =
        running && g_application_get_is_registered(running) ? g_application_get_dbus_connection(running) : nullptr;
    if (!connection) {
        fail("the application is not on the session bus");
        return;
    }
    applicationID_ = g_application_get_application_id(running);
    if (!serveConnector(connection)) {
        fail("the push connector cannot be served on the session bus");
        return;
    }
    chooseDistributor();
}

void UnifiedPushConnector::chooseDistributor()
{
    g_dbus_connection_call(
        connection_.get(), "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "ListNames",
        nullptr, G_VARIANT_TYPE("(as)"), G_DBUS_CALL_FLAGS_NONE, -1, nullptr,
        [](GObject* source, GAsyncResult* result, gpointer data) {
            std::unique_ptr<WeakConnector> weak(static_cast<WeakConnector*>(data));
            g_autoptr(GVariant) reply = g_dbus_connection_call_finish(G_DBUS_CONNECTION(source), result, nullptr);
            auto self = weak->lock();
            if (!self)
                return;
            gtk::guardedCall("ListNames", [&] {
                std::vector<std::string> distributors;
                if (reply) {
                    g_autofree const char** names = nullptr;
                    g_variant_get(reply, "(^a&s)", &names);
                    for (const char** name = names; name && *name; ++name)
                        if (g_str_has_prefix(*name, kDistributorPrefix))
                            distributors.emplace_back(*name);
                }
                if (distributors.empty()) {
                    self->fail("no UnifiedPush distributor is running on the session bus");
                    return;
                }
                // Several distributors: the first by name, so every start picks the same one.
                self->distributor_ = *std::min_element(distributors.begin(), distributors.end());
                self->callRegister(RegisterForm::withDescription);
            });
        },
        new WeakConnector(weak_from_this()));
}

void UnifiedPushConnector::callRegister(RegisterForm form)
{
    const std::string& token = connectionToken();
    GVariant* arguments = form == RegisterForm::withDescription
                              ? g_variant_new("(sss)", applicationID_.c_str(), token.c_str(), applicationID_.c_str())
                              : g_variant_new("(ss)", applicationID_.c_str(), token.c_str());
    struct Call {
        WeakConnector weak;
        RegisterForm form;
    };
    g_dbus_connection_call(
        connection_.get(), distributor_.c_str(), kDistributorPath, kDistributorInterface, "Register", arguments,
        G_VARIANT_TYPE("(ss)"), G_DBUS_CALL_FLAGS_NONE, -1, nullptr,
        [](GObject* source, GAsyncResult* result, gpointer data) {
            std::unique_ptr<Call> call(static_cast<Call*>(data));
            g_autoptr(GError) error = nullptr;
            g_autoptr(GVariant) reply = g_dbus_connection_call_finish(G_DBUS_CONNECTION(source), result, &error);
            auto self = call->weak.lock();
            if (!self)
                return;
            const bool unknownForm = error && (g_error_matches(error, G_DBUS_ERROR, G_DBUS_ERROR_UNKNOWN_METHOD)
                                               || g_error_matches(error, G_DBUS_ERROR, G_DBUS_ERROR_INVALID_ARGS));
            gtk::guardedCall("Register", [&] {
                self->registered(reply, error ? error->message : "", unknownForm, call->form);
            });
        },
        new Call{weak_from_this(), form});
}

void UnifiedPushConnector::registered(GVariant* reply, const std::string& errorText, bool unknownForm,
                                      RegisterForm form)
{
    if (!reply) {
        if (unknownForm && form == RegisterForm::withDescription)
            callRegister(RegisterForm::plain);
        else
            fail("the push distributor did not answer the registration: " + errorText);
        return;
    }
    const char* outcome = nullptr;
    const char* reason = nullptr;
    g_variant_get(reply, "(&s&s)", &outcome, &reason);
    if (g_strcmp0(outcome, "REGISTRATION_FAILED") == 0 || g_strcmp0(outcome, "REGISTRATION_REFUSED") == 0) {
        fail(std::string("the push distributor refused the registration (") + outcome + ")"
             + (reason && *reason ? std::string(": ") + reason : ""));
        return;
    }
    // Registered: the endpoint follows through NewEndpoint.
    LOG_DEBUG(std::string("registered with the push distributor ") + distributor_);
}

void UnifiedPushConnector::unregisterApplication()
{
    if (!connection_ || distributor_.empty())
        return;
    g_dbus_connection_call(connection_.get(), distributor_.c_str(), kDistributorPath, kDistributorInterface,
                           "Unregister", g_variant_new("(s)", connectionToken().c_str()), nullptr,
                           G_DBUS_CALL_FLAGS_NONE, -1, nullptr, nullptr, nullptr);
}

void UnifiedPushConnector::fail(const std::string& error)
{
    LOG_WARNING("push registration failed: " + error);
    if (application_)
        application_->remoteNotificationsRegistrationFailed(error);
}

void UnifiedPushConnector::onMethodCall(GDBusConnection*, const char*, const char*, const char*, const char* method,
                                        GVariant* parameters, GDBusMethodInvocation* invocation, gpointer data)
{
    // Answered first: the distributor does not wait for the outcome.
    g_dbus_method_invocation_return_value(invocation, nullptr);
    auto self = static_cast<WeakConnector*>(data)->lock();
    if (!self || !self->application_)
        return;
    gtk::guardedCall(method, [&] {
        const char* token = nullptr;
        g_variant_get_child(parameters, 0, "&s", &token);
        if (self->token_.empty() || g_strcmp0(token, self->token_.c_str()) != 0) {
            LOG_WARNING(std::string("a push call for another registration was ignored: ") + method);
            return;
        }
        if (g_strcmp0(method, "NewEndpoint") == 0) {
            const char* endpoint = nullptr;
            g_variant_get_child(parameters, 1, "&s", &endpoint);
            const std::string text = endpoint;
            self->application_->remoteNotificationsRegistered(std::vector<std::uint8_t>(text.begin(), text.end()));
        } else if (g_strcmp0(method, "Message") == 0) {
            g_autoptr(GVariant) bytes = g_variant_get_child_value(parameters, 1);
            gsize size = 0;
            const auto* data = static_cast<const char*>(g_variant_get_fixed_array(bytes, &size, 1));
            self->application_->remoteNotificationReceived(std::string(data ? data : "", size));
        } else if (g_strcmp0(method, "Unregistered") == 0) {
            self->fail("the push distributor ended the registration");
        }
    });
}

} // namespace platform
