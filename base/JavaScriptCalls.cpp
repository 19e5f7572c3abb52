#include "base/JavaScriptCalls.h"

#include "base/JavaScriptString.h"
#include "logger/Logger.h"
#include "portable/Dispatch.h"

#include <string_view>

namespace {

std::string describe(const std::optional<std::string>& value)
{
    return value ? *value : "nil";
}

// What logs a failed evaluation as `what` and `subject` followed by its outcome. That is the
// outcome's only use, so without the debug level on there is nothing to wait for: none.
platform::WebView::ScriptCompletion logFailure(std::string_view what, const std::string& subject)
{
    if (!sharedLogger().isEnabled(Logger::Level::Debug))
        return nullptr;
    return [failure = std::string(what) + subject](const platform::WebView::ScriptResult& result) {
        if (result.error)
            LOG_DEBUG(failure + " Error: " + describe(result.error) + " Result: " + describe(result.value));
    };
}

// Evaluates `script` on the main queue, if the web view still exists by then.
void evaluateOnMainQueue(std::string script, const std::weak_ptr<platform::WebView>& view,
                         platform::WebView::ScriptCompletion completion)
{
    platform::mainQueue().async(
        [weakView = view, script = std::move(script), completion = std::move(completion)]() mutable {
            if (auto webView = weakView.lock())
                webView->evaluateJavaScript(script, std::move(completion));
        });
}

} // namespace

void callJS(const std::string& script, const std::weak_ptr<platform::WebView>& wView)
{
    if (wView.expired())
        return;
    LOG_DEBUG("calling script " + script);
    evaluateOnMainQueue(script, wView, logFailure("Error evaluating script for server script: ", script));
}

void callJsCallback(const std::optional<std::string>& callBackMethod, const std::string& callBackMethodParameter,
                    const std::weak_ptr<platform::WebView>& owView)
{
    if (owView.expired())
        return;
    if (!callBackMethod || *callBackMethod == "null") {
        LOG_ERROR("callBackMethod could not be force to String, perhaps empty? " + describe(callBackMethod));
        return;
    }
    const std::string& name = *callBackMethod;
    std::string script;
    script.reserve(name.size() + callBackMethodParameter.size() + callBackMethodParameter.size() / 8 + 4);
    script += name;
    if (callBackMethodParameter.empty()) {
        script += "()";
    } else {
        script += "(\"";
        appendJavaScriptString(script, callBackMethodParameter, '"');
        script += "\")";
    }
    LOG_DEBUG("to js eval:" + script);
    evaluateOnMainQueue(std::move(script), owView, logFailure("Error evaluating script for callback ", name));
}
