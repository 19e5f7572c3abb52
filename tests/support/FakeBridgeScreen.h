#pragma once
// A web screen for bridge commands: a recording web view and alerts that are recorded (queued on the main queue, as the real screen does) and can be
// answered by pressing a button. Main thread only.

#include "tests/support/FakeWebView.h"
#include "webcontainer/BridgeScreen.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace testsupport {

class FakeBridgeScreen final : public BridgeScreen {
public:
    struct ShownAlert {
        std::string title;
        std::string message;
        AlertButton first;
        std::optional<AlertButton> second;
    };

    // The page's web view; reset it to test a screen without one.
    std::shared_ptr<FakeWebView> view = std::make_shared<FakeWebView>();

    // The pages asked for through loadPage, in order.
    std::vector<std::string> loadedPages;

    // The root view; reset it to test a screen without one.
    std::shared_ptr<platform::View> root = std::make_shared<platform::View>();
    // The wakeup flags of the update checks started, in order.
    std::vector<bool> updateChecks;

    // The alerts shown so far, in order.
    const std::vector<ShownAlert>& alerts() const { return alerts_; }
    // Runs the action of button `index` (0 or 1) of alert `alert`.
    void pressButton(std::size_t alert, std::size_t index);

    std::shared_ptr<platform::WebView> pageWebView() const override { return view; }
    void presentAlert(const std::string& title, const std::string& message, AlertButton first,
                      std::optional<AlertButton> second) override;
    void loadPage(const std::string& page) override { loadedPages.push_back(page); }
    std::shared_ptr<platform::View> rootView() const override { return root; }
    void showUpdateDialog(bool wakeup) override { updateChecks.push_back(wakeup); }

private:
    std::vector<ShownAlert> alerts_;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

// Parses `commandText`, hands it to the bridge's command table with `screen`, lets the main
// queue run until it is idle, and returns the scripts the page received meanwhile. A text that
// does not parse dispatches nothing.
std::vector<std::string> runCommand(FakeBridgeScreen& screen, const std::string& commandText);

// The script the page receives when `callback` is answered with `reply`.
std::string callbackScript(const std::string& callback, const std::string& reply);

} // namespace testsupport
