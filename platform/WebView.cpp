#include "platform/WebView.h"

#include "platform/Dispatch.h"

#include <cassert>

namespace platform {

void WebView::evaluateJavaScript(const std::string& script, ScriptCompletion completion)
{
    assert(isMainThread() && "web views are used on the main thread only");
    evaluateJavaScriptImpl(script, std::move(completion));
}

} // namespace platform
