#include "platform/Application.h"

#include "platform/Dispatch.h"
#include "platform/NotificationCenter.h"
#include "platform/Window.h"

#include <cassert>

namespace platform {

int Application::run(int argc, char** argv, ApplicationDelegate& delegate)
{
    assert(isMainThread() && "the application runs on the main thread");
    delegate_ = &delegate;
    return runImpl(argc, argv);
}

void Application::setApplicationIconBadgeNumber(long number)
{
    badgeNumber_ = number;
}

void Application::becomeCurrent(UserActivity activity)
{
    currentActivity_ = std::move(activity);
}

void Application::launch(std::shared_ptr<Window> window, const LaunchOptions& options)
{
    assert(delegate_ && !launched_);
    launched_ = true;
    delegate_->applicationDidCreateWindow(*this, window);
    delegate_->application(*this, options);
    window->show();
}

void Application::openURL(const std::string& url)
{
    assert(launched_);
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
