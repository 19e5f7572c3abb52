#pragma once
// The web view as the system uses it. Main thread only; the rules every implementation keeps
// live in the non-virtual functions, the implementations fill in the *Impl hooks.
//
// Objects that outlive a page load hold a web view by std::shared_ptr or std::weak_ptr: a web
// view that is gone means "no web view", never a dangling pointer.

#include <functional>
#include <optional>
#include <string>

namespace platform {

class WebView {
public:
    // The outcome of an evaluation: the result's text form, or the error's description.
    struct ScriptResult {
        std::optional<std::string> value;
        std::optional<std::string> error;
    };
    using ScriptCompletion = std::function<void(const ScriptResult&)>;

    virtual ~WebView() = default;

    // Evaluates `script` in the page; `completion` (may be empty) runs on the main thread
    // once the page has run it.
    void evaluateJavaScript(const std::string& script, ScriptCompletion completion);

protected:
    virtual void evaluateJavaScriptImpl(const std::string& script, ScriptCompletion completion) = 0;
};

} // namespace platform
