#pragma once
// The desktop's notification service (org.freedesktop.Notifications), as far as the tests need
// it, on a private session bus: it records each summary and body it is asked to show and plays
// the user's click. Main thread; its calls are answered on the main loop.

#include "tests/support/PrivateSessionBus.h"

#include <gio/gio.h>

#include <string>
#include <vector>

namespace testsupport {

class ScriptedNotificationService {
public:
    struct Shown {
        std::string summary;
        std::string body;
    };

    explicit ScriptedNotificationService(const PrivateSessionBus& bus);
    ~ScriptedNotificationService();
    ScriptedNotificationService(const ScriptedNotificationService&) = delete;
    ScriptedNotificationService& operator=(const ScriptedNotificationService&) = delete;

    // What it was asked to show; the service numbers them from 1 in this order.
    std::vector<Shown> shown;

    // The user clicks the notification the service numbered `id` (its default action).
    void click(guint32 id);

private:
    static void onCall(GDBusConnection*, const char*, const char*, const char*, const char* method,
                       GVariant* parameters, GDBusMethodInvocation* invocation, gpointer data);

    GDBusConnection* connection_;
    guint registration_ = 0;
};

} // namespace testsupport
