#pragma once
// The application: its loop, its one window, and the moves between foreground and background,
// told to the application delegate.
//
// States: active (the window has the focus), inactive (shown without focus), background (the
// window is minimized). The delegate hears each change once, in this order:
//   active -> inactive: willResignActive;  inactive -> active: didBecomeActive;
//   to background: (willResignActive when active) then didEnterBackground;
//   from background: willEnterForeground (also posted as ApplicationWillEnterForegroundNotification
//   on the default notification centre) then didBecomeActive when the window has the focus.
//
// Main thread only. The delegate must outlive run().

#include "portable/PlistValue.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace platform {

class Application;
class Window;

// Posted on the default notification centre when the application is about to leave the background.
inline constexpr const char* ApplicationWillEnterForegroundNotification = "ApplicationWillEnterForegroundNotification";

struct LaunchOptions {
    // The payload of the push notification whose tap launched the process.
    std::optional<PlistDict> remoteNotification;
};

// An activity the desktop may offer in its search.
struct UserActivity {
    std::string activityType;
    std::string title;
    std::set<std::string> keywords;
    bool isEligibleForSearch = false;
    bool isEligibleForHandoff = true;
};

// What the handling of a push message found (the value the delegate's completion is given).
enum class BackgroundFetchResult { newData = 0, noData = 1, failed = 2 };

class ApplicationDelegate {
public:
    // A delegate that goes is forgotten by the application it was running with, so work still
    // queued (an alert looking for the key window) finds no delegate rather than a dead one.
    virtual ~ApplicationDelegate();

    // The application made its one window: keep it and give it its first screen. Called once,
    // before the launch.
    virtual void applicationDidCreateWindow(Application& application, std::shared_ptr<Window> window) = 0;
    // The window the delegate keeps; alerts come up over it. Null while it keeps none.
    virtual Window* keyWindow() const = 0;
    // The launch (did finish launching with options); the window is shown after it returns.
    virtual bool application(Application& application, const LaunchOptions& launchOptions) = 0;
    // Opening by URL (open URL with options): a URL given on the command line, also to the
    // instance that already runs.
    virtual bool application(Application& application, const std::string& openURL) = 0;
    virtual void applicationDidBecomeActive(Application& application) {}
    virtual void applicationWillResignActive(Application& application) {}
    virtual void applicationDidEnterBackground(Application& application) {}
    virtual void applicationWillEnterForeground(Application& application) {}
    virtual void applicationWillTerminate(Application& application) {}

    // --- Push messages (platform/PushService.h) ---
    // The push service registered the application: `deviceToken` is what the application's
    // server needs to send it messages.
    virtual void didRegisterForRemoteNotifications(Application& application,
                                                   const std::vector<std::uint8_t>& deviceToken) {}
    virtual void didFailToRegisterForRemoteNotifications(Application& application, const std::string& error) {}
    // A push message's payload.
    virtual void didReceiveRemoteNotification(Application& application, const PlistDict& userInfo) {}
    // The same, with a completion to call exactly once before returning.
    virtual void didReceiveRemoteNotification(Application& application, const PlistDict& userInfo,
                                              const std::function<void(BackgroundFetchResult)>& completionHandler)
    {
        completionHandler(BackgroundFetchResult::noData);
    }
};

class Application {
public:
    enum class State { active, inactive, background };

    Application() = default;
    Application(const Application&) = delete;
    Application& operator=(const Application&) = delete;
    virtual ~Application() = default;

    // Runs the application loop until the application quits; returns the exit status.
    int run(int argc, char** argv, ApplicationDelegate& delegate);
    ApplicationDelegate* delegate() const { return delegate_; }
    State applicationState() const { return state_; }

    // The number on the application's icon. Kept here; most desktops show no badge.
    long applicationIconBadgeNumber() const { return badgeNumber_; }
    void setApplicationIconBadgeNumber(long number);

    // Publishes `activity` as the current one. Kept here; most desktops offer no such search.
    void becomeCurrent(UserActivity activity);
    const std::optional<UserActivity>& currentUserActivity() const { return currentActivity_; }

    // --- Push messages ---
    // Asks the installed push service to register the application; the outcome reaches the
    // delegate (a failure at once when no push service is installed).
    void registerForRemoteNotifications();
    void unregisterForRemoteNotifications();
    // For push services: the registration's outcome, handed to the delegate.
    void remoteNotificationsRegistered(const std::vector<std::uint8_t>& deviceToken);
    void remoteNotificationsRegistrationFailed(const std::string& error);
    // For push services: a message arrived. Its bytes are a JSON object, the payload with its
    // "aps" dictionary; anything else is logged and dropped. The delegate receives the payload
    // (through its callback with completion). While the application is not active, a payload
    // whose "aps"/"alert" holds a "title" and a "body" is also shown as a desktop notification
    // (its user info the payload), as the desktop would show a push: clicking it reaches the
    // notification centre's delegate.
    void remoteNotificationReceived(const std::string& message);

protected:
    virtual int runImpl(int argc, char** argv) = 0;

    // For implementations, from inside runImpl: the first activation made `window`; the
    // delegate receives it, the launch runs, then the window is shown.
    void launch(std::shared_ptr<Window> window, const LaunchOptions& options);
    bool isLaunched() const { return launched_; }
    // A URL to open arrived (after launch()).
    void openURL(const std::string& url);
    // The window's focus or minimized state changed.
    void windowStateChanged(bool focused, bool minimized);
    // The loop is about to end.
    void terminate();

private:
    friend class ApplicationDelegate;
    void moveTo(State state);

    ApplicationDelegate* delegate_ = nullptr;
    State state_ = State::inactive;
    bool launched_ = false;
    long badgeNumber_ = 0;
    std::optional<UserActivity> currentActivity_;
};

} // namespace platform
