#include "platform/Application.h"

#include "platform/Check.h"
#include "platform/NotificationCenter.h"
#include "platform/Window.h"

namespace platform {

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

void Application::terminate()
{
    if (launched_)
        delegate_->applicationWillTerminate(*this);
}

} // namespace platform
