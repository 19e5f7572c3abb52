#pragma once
// What the bridge reaches of the web screen: the page's web view, which the dispatcher hands
// to each command's reply handle, and the screen's alert. The web screen implements it; tests
// use a recording double. Main thread only. The screen outlives every command it dispatches;
// a command that answers later keeps its reply handle, never the screen.

#include "base/UIHelpers.h"
#include "platform/WebView.h"

#include <memory>
#include <optional>
#include <string>

class BridgeScreen {
public:
    virtual ~BridgeScreen() = default;

    // The page function that waits for restored purchases ("restorePurchase" sets it; it stays
    // until the next one with a callback value replaces it).
    std::optional<std::string> restoreCallBack;

    // The page's web view; null while the screen has none.
    virtual std::shared_ptr<platform::WebView> pageWebView() const = 0;
    // Queues a dialog of the alert helper (showAlert) on the main queue, so it comes up after
    // the command returns: the title, the message, the first button and an optional second one.
    virtual void presentAlert(const std::string& title, const std::string& message, AlertButton first,
                              std::optional<AlertButton> second = std::nullopt) = 0;
};
