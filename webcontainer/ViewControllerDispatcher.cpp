// The bridge's command URLs: the screen hands each one to the command table, and lends the
// commands its web view (for their reply handles) and the alert helper.
#include "webcontainer/ViewController.h"

#include "portable/Dispatch.h"
#include "webcontainer/CommandTable.h"

void ViewController::actionDispatcher(CommandURL myURL)
{
    commands_.dispatch(*this, std::move(myURL));
}

void ViewController::presentAlert(const std::string& title, const std::string& message, AlertButton first,
                                  std::optional<AlertButton> second)
{
    platform::mainQueue().async([title, message, first = std::move(first), second = std::move(second)] {
        showAlert(title, message, first, second);
    });
}
