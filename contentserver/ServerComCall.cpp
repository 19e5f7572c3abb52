// Sending a server call and answering the page when its reply has been handled.

#include "contentserver/ServerCom.h"

#include "app/JavaScriptCalls.h"
#include "app/Logger.h"
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
        platform::mainQueue().async([this, weakView = std::weak_ptr(webView), callbackError, silent] {
            auto view = weakView.lock();
            if (!view)
                return;
            callJS(hideAllLoading, view);
            if (!silent && isShown(view))
                showBottomToast(SERVERCOM_ERROR_WRONG_URL);
            if (!callbackError.empty())
                callJS(callbackError, view);
        });
        return;
    }

    // Each call has a session of its own that stores no cookie and shares the redirect rule.
    platform::UrlSessionConfiguration configuration;
    configuration.identifier = "servercall";
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
        platform::mainQueue().async([this, weakView = std::weak_ptr(view), callbackError, silent, description] {
            auto shown = weakView.lock();
            if (!shown)
                return;
            callJS(hideAllLoading, shown);
            if (!callbackError.empty())
                callJS(callbackError, shown);
            if (!silent && isShown(shown))
                showBottomToast(NO_INTERNET + ":" + description);
        });
        return;
    }

    const platform::HttpUrlResponse& response = *result.response;
    if (response.statusCode >= 400) {
        platform::mainQueue().async([this, weakView = std::weak_ptr(view), callbackError, silent] {
            auto shown = weakView.lock();
            if (!shown)
                return;
            if (!callbackError.empty())
                callJS(callbackError, shown);
            if (!silent && isShown(shown))
                showBottomToast(SERVERCOM_SERVER_ERROR);
        });
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
