// Sending a server call and answering the page when its reply has been handled.

#include "contentserver/ServerCom.h"

#include "logger/Logger.h"
#include "platform/Toast.h"

namespace {

constexpr std::chrono::milliseconds toastDuration{2000};

// Shows the toast on the main queue, over the window the page's web view is shown in; a web
// view that is gone or in no view by then gets none.
void showToastOverPage(const PageReply& page, std::string text)
{
    page.withWebView([text = std::move(text)](platform::WebView& view) {
        if (view.superview())
            platform::showToast(text, toastDuration, platform::ToastPosition::bottom);
    });
}

} // namespace

PageReply ServerCom::latestPage(std::optional<std::string> callback) const
{
    return PageReply(webView.get(), std::move(callback));
}

void ServerCom::callServer(const std::string& params, const PageReply& reply, const std::string& nonEncoded,
                           const std::string& uploadFileName, const std::string& callbackError, bool silent,
                           const std::string& url)
{
    webView.set(reply.webView());
    auto created = createRequest(params, nonEncoded, uploadFileName, "", url);
    if (!created.request) {
        LOG_ERROR("failed to create request: " + created.errorDescription);
        reply.hideAllLoading();
        if (!silent)
            showToastOverPage(reply, SERVERCOM_ERROR_WRONG_URL);
        if (!callbackError.empty())
            reply.runScript(callbackError);
        return;
    }

    // Each call has a session of its own that stores no cookie and shares the redirect rule.
    startDataTask("servercall", Redirects::serverRule, std::move(*created.request),
                  [this, callbackError, silent, callback = reply.callback()](platform::DataTaskResult result) {
                      callServerCompletion(result, callbackError, silent, callback);
                  });
}

void ServerCom::callServerCompletion(const platform::DataTaskResult& result, const std::string& callbackError,
                                     bool silent, const std::optional<std::string>& callback)
{
    // Every answer and toast is posted to the main queue; the web view is never held here.
    const PageReply page = latestPage(callback);
    if (!result.data || result.error || !result.response) {
        const std::string description = result.error ? result.error->localizedDescription : "";
        LOG_DEBUG("error=" + description);
        page.hideAllLoading();
        if (!callbackError.empty())
            page.runScript(callbackError);
        if (!silent)
            showToastOverPage(page, NO_INTERNET + ":" + description);
        return;
    }

    const platform::HttpUrlResponse& response = *result.response;
    if (response.statusCode >= 400) {
        if (!callbackError.empty())
            page.runScript(callbackError);
        if (!silent)
            showToastOverPage(page, SERVERCOM_SERVER_ERROR);
        LOG_DEBUG("statusCode should be 200, but is " + std::to_string(response.statusCode));
        LOG_DEBUG("response = " + response.description());
    }

    parseHeader(response, *result.data);

    page.acknowledge();
    page.hideAllLoading();
}
