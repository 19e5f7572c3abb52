#pragma once
// A web view that records every script it is asked to evaluate and answers with a scripted
// outcome. Main thread only, like the real one. By default each evaluation succeeds with no
// value; its completion runs later on the main queue, as the real view's does.

#include "platform/WebView.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace testsupport {

class FakeWebView final : public platform::WebView {
public:
    using Responder = std::function<ScriptResult(const std::string& script)>;

    // The scripts evaluated so far, in order.
    const std::vector<std::string>& scripts() const { return scripts_; }
    // How many completions have run.
    int completionsRun() const { return *completionsRun_; }

    // Every later evaluation ends with `result`.
    void setResult(ScriptResult result);
    // Every later evaluation ends with what `responder` answers for its script.
    void setResponder(Responder responder) { responder_ = std::move(responder); }

protected:
    void evaluateJavaScriptImpl(const std::string& script, ScriptCompletion completion) override;

private:
    std::vector<std::string> scripts_;
    Responder responder_;
    // Shared with pending completions, which may outlive the view.
    std::shared_ptr<int> completionsRun_ = std::make_shared<int>(0);
};

} // namespace testsupport
