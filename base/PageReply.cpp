#include "base/PageReply.h"

#include "base/JavaScriptCalls.h"
#include "portable/Dispatch.h"

void PageReply::send(const std::string& text) const
{
    callJsCallback(callback_, text, webView_);
}

void PageReply::sendLater(std::string text) const
{
    platform::mainQueue().async([reply = *this, text = std::move(text)] { reply.send(text); });
}

void PageReply::acknowledge() const
{
    if (!callback_)
        return;
    if (callback_->find('(') != std::string::npos)
        callJS(*callback_, webView_);
    else
        callJsCallback(callback_, "", webView_);
}

void PageReply::runScript(const std::string& script) const
{
    callJS(script, webView_);
}

void PageReply::hideAllLoading(HideAllLoading form) const
{
    switch (form) {
    case HideAllLoading::call:
        runScript("hideAllLoading()");
        break;
    case HideAllLoading::ifDefined:
        runScript("if(window.hideAllLoading) { window.hideAllLoading() }");
        break;
    case HideAllLoading::withNullValue:
        callJsCallback("hideAllLoading", R"({"value":null})", webView_);
        break;
    }
}

void PageReply::withWebView(std::function<void(platform::WebView&)> task) const
{
    if (webView_.expired())
        return;
    platform::mainQueue().async([webView = webView_, task = std::move(task)] {
        if (const auto view = webView.lock())
            task(*view);
    });
}
