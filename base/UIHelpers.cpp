#include "base/UIHelpers.h"

#include "logger/Logger.h"
#include "platform/Application.h"
#include "platform/Platform.h"

platform::Window* topViewController(platform::Window* window)
{
    if (!window)
        return nullptr;
    if (const auto& presented = window->presentedWindow())
        return topViewController(presented.get());
    return window;
}

void showAlert(const std::string& title, const std::string& message, const AlertButton& first,
               const std::optional<AlertButton>& second)
{
    platform::Alert alert;
    alert.title = title;
    alert.message = message;
    alert.appearance = platform::Alert::Appearance::Tinted;
    alert.actions.push_back({first.title, platform::AlertAction::Style::Default, first.action});
    if (second)
        alert.actions.push_back({second->title, platform::AlertAction::Style::Default, second->action});

    const auto& application = platform::current().application;
    if (auto* top = topViewController(application && application->delegate() ? application->delegate()->keyWindow() : nullptr))
        top->present(std::move(alert));
}

void bindFrameToSuperviewBounds(platform::View& view)
{
    if (!view.superview()) {
        LOG_ERROR("Error! `superview` was nil – call `addSubview(view: UIView)` before calling "
                  "`bindFrameToSuperviewBounds()` to fix this.");
        return;
    }
    view.pinToSuperviewEdges();
}
