#include "base/JavaScriptCalls.h"

#include "base/JavaScriptString.h"
#include "base/Logger.h"
#include "platform/Dispatch.h"

#include <functional>

namespace {

std::string describe(const std::optional<std::string>& value)
{
    return value ? *value : "nil";
}

// Evaluates `script` on the main queue, if the web view still exists by then; `onError`
// receives the failed evaluation's outcome.
void evaluateOnMainQueue(std::string script, const std::weak_ptr<platform::WebView>& view,
                         std::function<void(const platform::WebView::ScriptResult&)> onError)
{
    platform::mainQueue().async([weakView = view, script = std::move(script),
                                 onError = std::move(onError)] {
        auto webView = weakView.lock();
        if (!webView)
            return;
        webView->evaluateJavaScript(script, [onError](const platform::WebView::ScriptResult& result) {
            if (result.error)
                onError(result);
        });
    });
}

} // namespace

void callJS(const std::string& script, const std::weak_ptr<platform::WebView>& wView)
{
    if (wView.expired())
        return;
    LOG_DEBUG("calling script " + script);
    evaluateOnMainQueue(script, wView, [script](const platform::WebView::ScriptResult& result) {
        LOG_DEBUG("Error evaluating script for server script: " + script + " Error: " + describe(result.error)
                  + " Result: " + describe(result.value));
    });
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
    std::string script = callBackMethodParameter.empty()
        ? name + "()"
        : name + "(\"" + escapeJavaScriptString(callBackMethodParameter, '"') + "\")";
    LOG_DEBUG("to js eval:" + script);
    evaluateOnMainQueue(std::move(script), owView, [name](const platform::WebView::ScriptResult& result) {
        LOG_DEBUG("Error evaluating script for callback " + name + " Error: " + describe(result.error)
                  + " Result: " + describe(result.value));
    });
}
