// How navigations of the web view end, and which ones it may follow itself: web addresses,
// mail and messages go to the desktop, a telephone number is offered for calling, and the
// marker "load_internal=true" keeps an address inside the web view.
#include "webcontainer/ViewController.h"

#include "base/Config.h"
#include "base/JavaScriptCalls.h"
#include "base/LocalizedTexts.h"
#include "base/UIHelpers.h"
#include "logger/Logger.h"
#include "platform/Platform.h"
#include "platform/URLOpener.h"
#include "platform/Window.h"
#include "portable/Dispatch.h"
#include "portable/URLComponents.h"

#include <glib.h>

namespace {

using platform::WebView;
using Policy = WebView::NavigationActionPolicy;

// The schemes the desktop handles instead of the web view.
bool isHandedToDesktop(const std::string& scheme)
{
    return scheme == "about" || scheme == "http" || scheme == "https" || scheme == "mailto" || scheme == "sms";
}

// The URL's scheme as written; empty when it has none.
std::string schemeOf(const std::string& url)
{
    g_autofree char* scheme = g_uri_parse_scheme(url.c_str());
    return scheme ? scheme : "";
}

// Everything after the scheme and its colon, with its percent-encoding removed; nothing when
// that is no text.
std::optional<std::string> decodedResourceSpecifier(const std::string& url)
{
    const auto colon = url.find(':');
    if (colon == std::string::npos)
        return std::nullopt;
    g_autofree char* decoded = g_uri_unescape_string(url.c_str() + colon + 1, nullptr);
    if (!decoded || !g_utf8_validate(decoded, -1, nullptr))
        return std::nullopt;
    return std::string(decoded);
}

void openWithDesktop(const std::string& url)
{
    if (const auto& opener = platform::current().urlOpener)
        opener->open(url);
}

} // namespace

void ViewController::webViewDidFinish(const std::shared_ptr<WebView>& view)
{
    LOG_DEBUG("WEBVIEW: finished loading page");
    if (!landingScript.empty()) {
        LOG_DEBUG("WEBVIEW: calling landingScript: " + landingScript);
        callJS(landingScript, view);
        landingScript.clear();
    }
    auto& stack = sharedConfig().stackOfJScript;
    while (auto script = stack.lock()->pop()) {
        LOG_DEBUG("Calling jsCript after webview navigation: " + *script);
        callJS(*script, webView);
    }
    landingPage.clear();
    retriedURLs_.clear();
}

void ViewController::webViewDidFail(const std::shared_ptr<WebView>&, const WebView::NavigationError& error)
{
    LOG_DEBUG("FAILED Navigation! " + error.description());
}

void ViewController::webViewDidFailProvisionalNavigation(const std::shared_ptr<WebView>&,
                                                         const WebView::NavigationError& error)
{
    LOG_DEBUG("Provisional Nav failed! " + error.description());
    // A load that a newer one replaced: the newer one is on its way.
    if (error.cancelled)
        return;
    if (!error.failingURL || !error.failingURL->starts_with("file"))
        return;
    const std::string& failing = *error.failingURL;
    const auto url = platform::URLComponents::parse(failing);
    // A page that exists is loaded once more, with its language variant chosen afresh; a page
    // that fails again (it exists but can't be read) gets the recovery alert instead of a loop,
    // and so does a file the web view refuses (it lies outside the application's folder).
    if (!error.refused && url && sharedConfig().fm.fileExists(url->path()) && retriedURLs_.insert(failing).second) {
        loadPage(getIndexPage(url->lastPathComponent()));
        return;
    }
    platform::mainQueue().async([weak = weak_from_this()] {
        auto self = weak.lock();
        if (!self)
            return;
        // HOME loads the start page; RESET restores the installed content, with no question
        // (a web root removed altogether among it).
        showAlert(JS_ALERT_TITLES().at("ERROR"), self->ERROR_LOCAL_DATA,
                  {self->ERROR_LOCAL_DATA_HOME,
                   [weak] {
                       if (auto self = weak.lock())
                           self->loadPage(self->getIndexPage("index"));
                   }},
                  AlertButton{self->ERROR_LOCAL_DATA_RESET, [weak] {
                                  if (auto self = weak.lock())
                                      self->resetToDefaultSettings();
                              }});
    });
}

void ViewController::webViewWebContentProcessDidTerminate(const std::shared_ptr<WebView>&)
{
    LOG_DEBUG("Webview died!");
    reloadWebView();
}

void ViewController::webViewDecidePolicy(const std::shared_ptr<WebView>&, const WebView::NavigationAction& action,
                                         const WebView::DecisionHandler& decisionHandler)
{
    if (!action.url) {
        decisionHandler(Policy::cancel);
        LOG_DEBUG("decision Handler canceled this request: { URL: (null) } ");
        return;
    }
    const std::string& url = *action.url;
    if (url.find("load_internal=true") != std::string::npos) {
        LOG_DEBUG("Loading " + url + " internally");
        decisionHandler(Policy::allow);
        return;
    }
    const std::string scheme = schemeOf(url);
    if (isHandedToDesktop(scheme)) {
        openWithDesktop(url);
        decisionHandler(Policy::cancel);
        return;
    }
    if (scheme == "tel") {
        const auto number = decodedResourceSpecifier(url);
        if (number && window()) {
            platform::Alert alert;
            alert.title = *number;
            alert.actions.push_back({localizedString("Cancel"), platform::AlertAction::Style::Cancel, {}});
            alert.actions.push_back(
                {localizedString("Call"), platform::AlertAction::Style::Default, [url] { openWithDesktop(url); }});
            window()->present(std::move(alert));
        }
        decisionHandler(Policy::cancel);
        return;
    }
    decisionHandler(Policy::allow);
}
