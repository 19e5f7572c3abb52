#pragma once
// A recording web view: it keeps every script evaluated and every load, and lets the test play
// the engine's part (messages, finished and failed navigations, policy questions, dialogs).

#include "platform/WebView.h"

#include <memory>
#include <string>
#include <vector>

namespace testsupport {

class FakeWebView final : public platform::WebView {
public:
    struct Evaluation {
        std::string script;
        ScriptCompletion completion;
    };
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

    const platform::WebViewConfiguration& configuration() const { return configuration_; }
    const std::vector<Evaluation>& evaluations() const { return evaluations_; }
    std::vector<std::string> evaluatedScripts() const;
    const std::vector<Load>& loads() const { return loads_; }

    // The engine's part.
    void postMessage(const std::string& body, const std::string& name = "callbackHandler");
    void finishNavigation();
    void failNavigation(const NavigationError& error);
    void failProvisionalNavigation(const NavigationError& error);
    void terminateWebContentProcess();
    void swipeDown();
    std::shared_ptr<PolicyRequest> requestPolicy(const NavigationAction& action);
    std::shared_ptr<DialogRequest> runDialog(const ScriptDialog& dialog);
    // Sets the URL that url() reports (loadFileURL sets it to the file's URL).
    void setURL(std::optional<std::string> url) { url_ = std::move(url); }

protected:
    void evaluateJavaScriptImpl(const std::string& script, ScriptCompletion completion) override;
    void loadFileURLImpl(const std::filesystem::path& file, const std::filesystem::path& readAccess) override;
    std::optional<std::string> urlImpl() const override { return url_; }

private:
    platform::WebViewConfiguration configuration_;
    std::vector<Evaluation> evaluations_;
    std::vector<Load> loads_;
    std::optional<std::string> url_;
};

} // namespace testsupport
