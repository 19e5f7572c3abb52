#include "platform/WebView.h"

#include "logger/Logger.h"
#include "portable/Check.h"

#include <memory>
#include <utility>

namespace platform {
namespace {

// Holds an answer that must be given exactly once. A second answer is a fault of the caller
// and is dropped; when the last copy goes without an answer, `fallback` is given.
template <class Answer>
class Once {
public:
    Once(std::function<void(Answer)> apply, Answer fallback) : apply_(std::move(apply)), fallback_(fallback) {}
    ~Once()
    {
        if (apply_)
            apply_(fallback_);
    }

    void answer(Answer value)
    {
        if (auto apply = std::exchange(apply_, nullptr))
            apply(value);
        else
            LOG_ERROR("a web view's question was answered twice; the second answer is dropped");
    }

    static std::function<void(Answer)> wrap(std::function<void(Answer)> apply, Answer fallback)
    {
        auto once = std::make_shared<Once>(std::move(apply), fallback);
        return [once](Answer value) { once->answer(value); };
    }

private:
    std::function<void(Answer)> apply_;
    Answer fallback_;
};

} // namespace

std::string WebView::NavigationError::description() const
{
    std::string text = localizedDescription + " (" + domain + " " + std::to_string(code) + ")";
    if (failingURL)
        text += " " + *failingURL;
    return text;
}

void WebView::evaluateJavaScript(const std::string& script, ScriptCompletion completion)
{
    requireMainThread();
    evaluateJavaScriptImpl(script, std::move(completion));
}

void WebView::loadFileURL(const std::filesystem::path& file, const std::filesystem::path& readAccess)
{
    requireMainThread();
    loadFileURLImpl(file, readAccess);
}

std::optional<std::string> WebView::url() const
{
    requireMainThread();
    return urlImpl();
}

void WebView::didReceiveScriptMessage(const std::string& name, const std::optional<std::string>& body)
{
    if (onScriptMessage)
        onScriptMessage(name, body);
}

void WebView::didFinishNavigation()
{
    if (onNavigationFinished)
        onNavigationFinished();
    if (onNavigationFinishedForTesting)
        onNavigationFinishedForTesting();
}

void WebView::didFailNavigation(const NavigationError& error)
{
    if (onNavigationFailed)
        onNavigationFailed(error);
}

void WebView::didFailProvisionalNavigation(const NavigationError& error)
{
    if (onProvisionalNavigationFailed)
        onProvisionalNavigationFailed(error);
}

void WebView::webContentProcessDidTerminate()
{
    if (onWebContentProcessTerminated)
        onWebContentProcessTerminated();
}

void WebView::didSwipeDown()
{
    if (onSwipeDown)
        onSwipeDown();
}

void WebView::decidePolicy(const NavigationAction& action, std::function<void(NavigationActionPolicy)> apply)
{
    auto handler = Once<NavigationActionPolicy>::wrap(std::move(apply), NavigationActionPolicy::cancel);
    if (!onDecidePolicy) {
        handler(NavigationActionPolicy::allow);
        return;
    }
    onDecidePolicy(action, std::move(handler));
}

bool WebView::runScriptDialog(const ScriptDialog& dialog, std::function<void(bool)> apply)
{
    if (!onScriptDialog)
        return false;
    onScriptDialog(dialog, Once<bool>::wrap(std::move(apply), false));
    return true;
}

} // namespace platform
