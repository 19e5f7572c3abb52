// Messages the page posts: window.webkit.messageHandlers.callbackHandler.postMessage(text).
// The body is one text, matched whole and case-sensitively against the plain words of
// BridgeWords.cpp, in their order; any other text holding "?" is a command URL
// ("word?name=value&…") for the dispatcher; everything else, a body that is no text among it,
// is ignored. Nothing is answered on this channel: answers reach the page as JavaScript
// evaluated in the web view (the whole protocol: BridgeProtocol.h).
#include "webcontainer/ViewController.h"

#include "base/Config.h"
#include "base/JavaScriptCalls.h"
#include "contentserver/LazyLoad.h"
#include "logger/Logger.h"
#include "platform/Clock.h"
#include "webcontainer/BridgeProtocol.h"

#include <ctime>

namespace {

std::string describe(const std::optional<std::string>& value)
{
    return value ? *value : "nil";
}

} // namespace

void ViewController::userContentController(const std::string& name, const std::optional<std::string>& message)
{
    LOG_DEBUG("Message Script Message Body: " + describe(message));
    // The bridge takes texts only: a number, an array or an object is no word and no command.
    if (name != kBridgeHandlerName || !message)
        return;
    const std::string& body = *message;
    LOG_DEBUG("JavaScript is sending a message " + body);

    for (const PlainWord& plain : plainWords()) {
        if (body == plain.word) {
            plain.action(*this);
            return;
        }
    }
    if (body.find('?') != std::string::npos) {
        if (auto url = CommandURL::parse(body))
            actionDispatcher(std::move(*url));
        else
            LOG_ERROR("FixMe FAILED URL wrapping");
    }
}

// The page stops lazy loading for a day: its notice goes, and no further file is fetched until
// then or until it resumes.
void ViewController::cancelLazyLoad()
{
    callJS("if (window.hideLazyLoadNotification) {hideLazyLoadNotification();}", webView);
    const auto until = platform::now() + std::chrono::seconds(86400);
    sharedLazyLoad().lazyLoadSuspendUntil = until;
    const std::time_t seconds = std::chrono::system_clock::to_time_t(until);
    std::tm local{};
    localtime_r(&seconds, &local);
    char text[96];
    std::strftime(text, sizeof text, "%A, %B %d, %Y at %H:%M:%S %Z", &local);
    LOG_DEBUG(std::string("setting supend date to ") + text + " ");
}

void ViewController::resumeLazyLoad()
{
    LOG_DEBUG("LazyLoad: resuming lazy load");
    sharedLazyLoad().lazyLoadSuspendUntil.reset();
    sharedLazyLoad().lazyLoadNext(webView);
}

// Removes the page's own stored values, the settings whose keys begin with "cli_".
void ViewController::clearAllValues()
{
    auto& defaults = sharedConfig().defaults;
    for (const auto& [key, value] : defaults.dictionaryRepresentation()) {
        if (!key.starts_with("cli_"))
            continue;
        LOG_DEBUG("clearAllVallues: Removing key " + key + " from defaults");
        defaults.remove(key);
    }
    defaults.synchronize();
}

// The desktop offers no settings page of a single application: the request is recognised and
// nothing happens, as when the settings address cannot be opened.
void ViewController::showAppSettings()
{
}

// The plain word "update" is the command "update" without a silent mode: the user is asked.
// Its item "landingpage" is not the command's "landingPage", so no landing page follows.
void ViewController::updateWithQuestion()
{
    if (auto url = CommandURL::parse("update?landingpage=none"))
        actionDispatcher(std::move(*url));
    else
        LOG_ERROR("FixMe FAILED URL wrapping");
}

// Push messages count as active: the page's togglePushNotification(true) runs in the web view.
void ViewController::answerPushNotificationActive()
{
    if (!webView)
        return;
    webView->evaluateJavaScript("togglePushNotification(true)", [](const platform::WebView::ScriptResult& result) {
        LOG_DEBUG("Error evaluating script Error: " + describe(result.error) + " Result: " + describe(result.value));
    });
}
