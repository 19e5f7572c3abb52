#pragma once
// A recording web view. Main thread only, like the real one.
//
// - Scripts: it records every script it is asked to evaluate and answers with a scripted
//   outcome. By default each evaluation succeeds with no value; its completion runs later on
//   the main queue, as the real view's does.
// - Loads: it records every file load; url() then reports the file's URL.
// - The engine's part is played by the test: messages from the page, finished and failed
//   navigations, policy questions (with the answers they got), dialogs, swipes.
// - Its end: onDestroyed runs in the destructor, on whichever thread drops the last reference.

#include "platform/WebView.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace testsupport {

class FakeWebView final : public platform::WebView {
public:
    using Responder = std::function<ScriptResult(const std::string& script)>;

    struct Load {
        std::filesystem::path file;
        std::filesystem::path readAccess;
    };
    // A policy question and the answers it got, in order (exactly one is right).
    struct PolicyRequest {
        NavigationAction action;
        std::vector<NavigationActionPolicy> answers;
    };
    // A script dialog and the answers it got.
    struct DialogRequest {
        ScriptDialog dialog;
        bool handled = false;
        std::vector<bool> answers;
    };

    explicit FakeWebView(platform::WebViewConfiguration configuration = {});
    ~FakeWebView() override;

    // Runs when the view is destroyed, on the thread that destroys it.
    std::function<void()> onDestroyed;

    const platform::WebViewConfiguration& configuration() const { return configuration_; }

    // The scripts evaluated so far, in order.
    const std::vector<std::string>& scripts() const { return scripts_; }
    // How many completions have run.
    int completionsRun() const { return *completionsRun_; }
    // Every later evaluation ends with `result`.
    void setResult(ScriptResult result);
    // Every later evaluation ends with what `responder` answers for its script.
    void setResponder(Responder responder) { responder_ = std::move(responder); }

    const std::vector<Load>& loads() const { return loads_; }
    // Sets the URL that url() reports.
    void setURL(std::optional<std::string> url) { url_ = std::move(url); }

    // The engine's part.
    // `body`: a posted text; none for any other value.
    void postMessage(const std::optional<std::string>& body, const std::string& name = "callbackHandler");
    void finishNavigation();
    void failNavigation(const NavigationError& error);
    void failProvisionalNavigation(const NavigationError& error);
    void terminateWebContentProcess();
    void swipeDown();
    std::shared_ptr<PolicyRequest> requestPolicy(const NavigationAction& action);
    std::shared_ptr<DialogRequest> runDialog(const ScriptDialog& dialog);

protected:
    void evaluateJavaScriptImpl(const std::string& script, ScriptCompletion completion) override;
    void loadFileURLImpl(const std::filesystem::path& file, const std::filesystem::path& readAccess) override;
    std::optional<std::string> urlImpl() const override { return url_; }

private:
    platform::WebViewConfiguration configuration_;
    std::vector<std::string> scripts_;
    Responder responder_;
    // Shared with pending completions, which may outlive the view.
    std::shared_ptr<int> completionsRun_ = std::make_shared<int>(0);
    std::vector<Load> loads_;
    std::optional<std::string> url_;
};

} // namespace testsupport
