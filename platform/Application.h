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

#include "platform/PlistValue.h"

#include <memory>
#include <optional>
#include <set>
#include <string>

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

class ApplicationDelegate {
public:
    virtual ~ApplicationDelegate() = default;

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
    void moveTo(State state);

    ApplicationDelegate* delegate_ = nullptr;
    State state_ = State::inactive;
    bool launched_ = false;
    long badgeNumber_ = 0;
    std::optional<UserActivity> currentActivity_;
};

} // namespace platform
