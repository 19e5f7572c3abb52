#include "tests/support/FakeWebView.h"

#include "platform/Dispatch.h"

namespace testsupport {

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

} // namespace testsupport
