#include "platform/Application.h"

#include "logger/Logger.h"
#include "platform/Platform.h"
#include "platform/PushService.h"
#include "platform/UserNotificationCenter.h"
#include "platform/Window.h"
#include "portable/Check.h"
#include "portable/NotificationCenter.h"
#include "portable/PlistFromJSON.h"
#include "portable/UUID.h"

namespace platform {

ApplicationDelegate::~ApplicationDelegate()
{
    if (const auto& application = current().application; application && application->delegate_ == this)
        application->delegate_ = nullptr;
}

int Application::run(int argc, char** argv, ApplicationDelegate& delegate)
{
    requireMainThread();
    delegate_ = &delegate;
    return runImpl(argc, argv);
}

void Application::setApplicationIconBadgeNumber(long number)
{
    requireMainThread();
    badgeNumber_ = number;
}

void Application::becomeCurrent(UserActivity activity)
{
    requireMainThread();
    currentActivity_ = std::move(activity);
}

void Application::launch(std::shared_ptr<Window> window, const LaunchOptions& options)
{
    WEBCONTAINER_CHECK(delegate_ && !launched_);
    launched_ = true;
    delegate_->applicationDidCreateWindow(*this, window);
    delegate_->application(*this, options);
    window->show();
}

void Application::openURL(const std::string& url)
{
    WEBCONTAINER_CHECK(launched_);
    delegate_->application(*this, url);
}

void Application::windowStateChanged(bool focused, bool minimized)
{
    if (!launched_)
        return;
    moveTo(minimized ? State::background : focused ? State::active : State::inactive);
}

void Application::moveTo(State next)
{
    const State previous = state_;
    if (next == previous)
        return;
    state_ = next;
    if (previous == State::active)
        delegate_->applicationWillResignActive(*this);
    if (next == State::background) {
        delegate_->applicationDidEnterBackground(*this);
        return;
    }
    if (previous == State::background) {
        delegate_->applicationWillEnterForeground(*this);
        NotificationCenter::defaultCenter().post(ApplicationWillEnterForegroundNotification);
    }
    if (next == State::active)
        delegate_->applicationDidBecomeActive(*this);
}

void Application::registerForRemoteNotifications()
{
    requireMainThread();
    if (const auto& service = current().pushService)
        service->registerApplication(*this);
    else
        remoteNotificationsRegistrationFailed("no push service is installed");
}

void Application::unregisterForRemoteNotifications()
{
    requireMainThread();
    if (const auto& service = current().pushService)
        service->unregisterApplication();
}

void Application::remoteNotificationsRegistered(const std::vector<std::uint8_t>& deviceToken)
{
    requireMainThread();
    if (delegate_)
        delegate_->didRegisterForRemoteNotifications(*this, deviceToken);
}

void Application::remoteNotificationsRegistrationFailed(const std::string& error)
{
    requireMainThread();
    if (delegate_)
        delegate_->didFailToRegisterForRemoteNotifications(*this, error);
}

void Application::remoteNotificationReceived(const std::string& message)
{
    requireMainThread();
    const auto payload = plistDictFromJSON(message);
    if (!payload) {
        LOG_WARNING("a push message that is no JSON object was dropped");
        return;
    }
    const PlistValue* alert = nullptr;
    if (const auto aps = payload->find("aps"); aps != payload->end())
        alert = aps->second.find("alert");
    const PlistValue* title = alert ? alert->find("title") : nullptr;
    const PlistValue* body = alert ? alert->find("body") : nullptr;
    auto center = current().userNotificationCenter;
    if (state_ != State::active && center && title && title->isString() && body && body->isString()) {
        UserNotificationRequest shown;
        // Unique across runs too: a shown notification with the same identifier would be replaced.
        shown.identifier = "push-" + makeUUIDString();
        shown.content.title = *title->asString();
        shown.content.body = *body->asString();
        shown.content.sound = NotificationSound::defaultSound;
        shown.content.userInfo = *payload;
        center->add(std::move(shown));
    }
    if (delegate_)
        delegate_->didReceiveRemoteNotification(*this, *payload, [](BackgroundFetchResult) {});
}

void Application::terminate()
{
    if (launched_)
        delegate_->applicationWillTerminate(*this);
}

} // namespace platform
