#pragma once
// A push service: registers the application with the desktop's push distributor, which gives
// it an address its server posts messages to, and hands the messages to the application
// (Application::remoteNotificationReceived). The outcome of a registration reaches the
// application (remoteNotificationsRegistered / remoteNotificationsRegistrationFailed), which
// tells its delegate.
//
// Main thread only. The application must outlive the service's use of it (both live as long
// as the installed platform).

namespace platform {

class Application;

class PushService {
public:
    virtual ~PushService() = default;
    // Registers `application`; registering again asks for the current address.
    virtual void registerApplication(Application& application) = 0;
    // Ends the registration; no messages arrive afterwards.
    virtual void unregisterApplication() = 0;
};

} // namespace platform
