// Sending a server call and answering the page when its reply has been handled.

#include "contentserver/ServerCom.h"

#include "base/JavaScriptCalls.h"
#include "base/Logger.h"
#include "platform/Dispatch.h"
#include "platform/Toast.h"

namespace {

constexpr std::chrono::milliseconds toastDuration{2000};
constexpr const char* hideAllLoading = "hideAllLoading()";

// Toasts go over the window the web view is shown in; a web view in no view gets none.
bool isShown(const std::shared_ptr<platform::WebView>& view)
{
    return view && view->superview();
}

void showBottomToast(const std::string& text)
{
    platform::showToast(text, toastDuration, platform::ToastPosition::bottom);
}

// Shows the toast from any thread, when the web view is still on screen by then.
void showToastOnMainQueue(const std::shared_ptr<platform::WebView>& view, std::string text)
{
    if (!view)
        return;
    platform::mainQueue().async([weakView = std::weak_ptr(view), text = std::move(text)] {
        if (isShown(weakView.lock()))
            showBottomToast(text);
    });
}

} // namespace

void ServerCom::callServer(const std::string& params, const std::optional<std::string>& callback,
                           const std::shared_ptr<platform::WebView>& webView, const std::string& nonEncoded,
                           const std::string& uploadFileName, const std::string& callbackError, bool silent,
                           const std::string& url)
{
    this->webView.set(webView);
    auto created = createRequest(params, nonEncoded, uploadFileName, "", url);
    if (!created.request) {
        LOG_ERROR("failed to create request: " + created.errorDescription);
        if (!webView)
            return;
        callJS(hideAllLoading, webView);
        if (!silent && isShown(webView))
            showBottomToast(SERVERCOM_ERROR_WRONG_URL);
        if (!callbackError.empty())
            callJS(callbackError, webView);
        return;
    }

    // Each call has a session of its own that stores no cookie and shares the redirect rule.
    platform::UrlSessionConfiguration configuration;
    configuration.identifier = "servercall";
    configuration.delegateQueue = replyQueue_;
    configuration.willPerformHTTPRedirection = [this](const platform::HttpUrlResponse& response,
                                                      const platform::UrlRequest& newRequest) {
        return willPerformHTTPRedirection(response, newRequest);
    };
    auto completion = [this, callbackError, silent, callback](platform::DataTaskResult result) {
        callServerCompletion(result, callbackError, silent, callback);
    };
    auto session = platform::makeUrlSession(std::move(configuration));
    if (!session) {
        callServerCompletion({std::nullopt, std::nullopt, platform::UrlError::make(platform::UrlErrorCode::unknown)},
                             callbackError, silent, callback);
        return;
    }
    session->dataTask(std::move(*created.request), std::move(completion));
}

void ServerCom::callServerCompletion(const platform::DataTaskResult& result, const std::string& callbackError,
                                     bool silent, const std::optional<std::string>& callback)
{
    const auto view = webView.get().lock();
    if (!result.data || result.error || !result.response) {
        const std::string description = result.error ? result.error->localizedDescription : "";
        LOG_DEBUG("error=" + description);
        if (!view)
            return;
        // The page's scripts go through callJS, which moves them to the main queue in order;
        // only the toast is posted.
        callJS(hideAllLoading, view);
        if (!callbackError.empty())
            callJS(callbackError, view);
        if (!silent)
            showToastOnMainQueue(view, NO_INTERNET + ":" + description);
        return;
    }

    const platform::HttpUrlResponse& response = *result.response;
    if (response.statusCode >= 400) {
        if (view && !callbackError.empty())
            callJS(callbackError, view);
        if (!silent)
            showToastOnMainQueue(view, SERVERCOM_SERVER_ERROR);
        LOG_DEBUG("statusCode should be 200, but is " + std::to_string(response.statusCode));
        LOG_DEBUG("response = " + response.description());
    }

    parseHeader(response, *result.data);

    if (callback && view) {
        if (callback->find('(') != std::string::npos)
            callJS(*callback, view);
        else
            callJsCallback(callback, "", view);
    }
    callJS(hideAllLoading, view);
}
