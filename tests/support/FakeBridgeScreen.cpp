#include "tests/support/FakeBridgeScreen.h"

#include "base/JavaScriptString.h"
#include "portable/Dispatch.h"
#include "webcontainer/CommandTable.h"

namespace testsupport {

void FakeBridgeScreen::pressButton(std::size_t alert, std::size_t index)
{
    const ShownAlert& shown = alerts_.at(alert);
    const auto& button = index == 0 ? shown.first : shown.second.value();
    if (button.action)
        button.action();
}

void FakeBridgeScreen::presentAlert(const std::string& title, const std::string& message, AlertButton first,
                                    std::optional<AlertButton> second)
{
    platform::mainQueue().async([this, alive = std::weak_ptr<bool>(alive_),
                                 alert = ShownAlert{title, message, std::move(first), std::move(second)}] {
        if (alive.lock())
            alerts_.push_back(alert);
    });
}

std::vector<std::string> runCommand(FakeBridgeScreen& screen, const std::string& commandText)
{
    const std::size_t before = screen.view ? screen.view->scripts().size() : 0;
    if (auto url = CommandURL::parse(commandText))
        bridgeCommandTable().dispatch(screen, std::move(*url));
    platform::drainMainQueue();
    if (!screen.view)
        return {};
    const auto& scripts = screen.view->scripts();
    return {scripts.begin() + static_cast<std::ptrdiff_t>(before), scripts.end()};
}

std::string callbackScript(const std::string& callback, const std::string& reply)
{
    return callback + "(\"" + escapeJavaScriptString(reply, '"') + "\")";
}

} // namespace testsupport
