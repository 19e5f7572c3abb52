#pragma once
// The application delegate: prepares the shared services at launch, installs the web content
// from the bundle's "app.zip" on the first start, remembers how the application was opened
// (from a push at launch, or by a URL) and reacts to the moves between foreground and
// background. It turns the push service's outcomes and messages into the system's in-process
// notifications: "onRegistrationCompleted" (the token as lower-case hexadecimal, or the error)
// and "apn.didRRN" (the payload plus "appState", the application's state at delivery: active 0,
// inactive 1, background 2). Main thread only; lives as long as the process.

#include "app/MainStoryboard.h"
#include "platform/Application.h"
#include "platform/Window.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>

class AppDelegate : public platform::ApplicationDelegate {
public:
    // Stops telling the user of settings that cannot be written.
    ~AppDelegate() override;

    // The application's one window, given by the platform.
    std::shared_ptr<platform::Window> window;
    // The push token.
    std::optional<std::string> registrationToken;
    // Name of the in-process notification that reports the push registration's outcome.
    const std::string registrationKey = "onRegistrationCompleted";
    // The activity published for the desktop's search at launch, when the settings name one.
    std::optional<platform::UserActivity> userActivity;
    // Makes the window's first screen: the storyboard's initial screen (the splash screen); a
    // composition that wants the web screen at once sets instantiateWebScreen.
    std::function<std::shared_ptr<platform::Screen>()> makeInitialScreen = instantiateInitialScreen;

    void applicationDidCreateWindow(platform::Application& application,
                                    std::shared_ptr<platform::Window> window) override;
    platform::Window* keyWindow() const override { return window.get(); }
    // The launch: the store's observer, configuration, searchable activity, first-run install,
    // the reminders kept from earlier runs, notification permission and push registration,
    // landing page of a push. From then on, settings that cannot be written are told to the
    // user once per run, in an alert (the changes stay in memory).
    bool application(platform::Application& application, const platform::LaunchOptions& launchOptions) override;
    // Opening by URL: its last path component with its query becomes the landing page.
    bool application(platform::Application& application, const std::string& openURL) override;
    void applicationDidEnterBackground(platform::Application& application) override;
    void applicationDidBecomeActive(platform::Application& application) override;
    // The store's observer goes, and so does the telling of settings faults.
    void applicationWillTerminate(platform::Application& application) override;

    // Push: the token, a failed registration, and messages with and without completion.
    void didRegisterForRemoteNotifications(platform::Application& application,
                                           const std::vector<std::uint8_t>& deviceToken) override;
    void didFailToRegisterForRemoteNotifications(platform::Application& application, const std::string& error) override;
    void didReceiveRemoteNotification(platform::Application& application, const platform::PlistDict& userInfo) override;
    void didReceiveRemoteNotification(
        platform::Application& application, const platform::PlistDict& userInfo,
        const std::function<void(platform::BackgroundFetchResult)>& completionHandler) override;
    // Keeps the token text, announces it, stores it as "registrationToken" and registers it with
    // the content server.
    void registrationHandler(const std::string& token);

    // The first-run install: unpacks "app.zip" into the web root when there is none; later
    // starts only remove the upload folder. Before that it finishes what an update cut short
    // left behind (base/WebRootSwap.h), so a web root swapped out is never taken for a missing
    // one. Called by the launch only.
    void copyFile();

private:
    void publishSearchableActivity(platform::Application& application);
    void tellSettingsWriteFailures();

    // Whether this run told the user that the settings cannot be written. Main thread only.
    std::shared_ptr<bool> settingsFailureTold_ = std::make_shared<bool>(false);
};
