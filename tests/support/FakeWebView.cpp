#include "tests/support/FakeWebView.h"

#include "portable/Dispatch.h"

namespace testsupport {

FakeWebView::FakeWebView(platform::WebViewConfiguration configuration) : configuration_(std::move(configuration)) {}

FakeWebView::~FakeWebView()
{
    if (onDestroyed)
        onDestroyed();
}

void FakeWebView::setResult(ScriptResult result)
{
    responder_ = [result = std::move(result)](const std::string&) { return result; };
}

void FakeWebView::evaluateJavaScriptImpl(const std::string& script, ScriptCompletion completion)
{
    scripts_.push_back(script);
    const ScriptResult result = responder_ ? responder_(script) : ScriptResult{};
    platform::mainQueue().async([completion = std::move(completion), result, counter = completionsRun_] {
        ++*counter;
        if (completion)
            completion(result);
    });
}

void FakeWebView::loadFileURLImpl(const std::filesystem::path& file, const std::filesystem::path& readAccess)
{
    loads_.push_back({file, readAccess});
    url_ = "file://" + file.string();
}

void FakeWebView::postMessage(const std::optional<std::string>& body, const std::string& name)
{
    didReceiveScriptMessage(name, body);
}

void FakeWebView::finishNavigation()
{
    didFinishNavigation();
}

void FakeWebView::failNavigation(const NavigationError& error)
{
    didFailNavigation(error);
}

void FakeWebView::failProvisionalNavigation(const NavigationError& error)
{
    didFailProvisionalNavigation(error);
}

void FakeWebView::terminateWebContentProcess()
{
    webContentProcessDidTerminate();
}

void FakeWebView::swipeDown()
{
    didSwipeDown();
}

std::shared_ptr<FakeWebView::PolicyRequest> FakeWebView::requestPolicy(const NavigationAction& action)
{
    auto request = std::make_shared<PolicyRequest>();
    request->action = action;
    decidePolicy(action, [request](NavigationActionPolicy policy) { request->answers.push_back(policy); });
    return request;
}

std::shared_ptr<FakeWebView::DialogRequest> FakeWebView::runDialog(const ScriptDialog& dialog)
{
    auto request = std::make_shared<DialogRequest>();
    request->dialog = dialog;
    request->handled = runScriptDialog(dialog, [request](bool confirmed) { request->answers.push_back(confirmed); });
    return request;
}

} // namespace testsupport
