// The web screen's reactions to in-process notifications: a download's end and server replies
// that name a file or a landing page, purchases and restores, an opening URL, the push
// registration's outcome, and the application's return to the foreground with its automatic
// update check.
//
// Observers are registered with the main queue: posts come from the main thread (downloads,
// the store, the application), from a server call's reply queue and from the push service, and
// every reaction touches the screen's fields and the web view.
#include "webcontainer/ViewController.h"

#include "base/Config.h"
#include "base/JavaScriptCalls.h"
#include "base/PageReply.h"
#include "base/SharedInstances.h"
#include "base/TimestampFormatter.h"
#include "contentserver/ServerCom.h"
#include "contentserver/fetchAppXmlError.h"
#include "logger/Logger.h"
#include "platform/Application.h"
#include "platform/Toast.h"
#include "portable/Dispatch.h"
#include "portable/PercentEncoding.h"
#include "portable/URLComponents.h"
#include "services/WebSocketManager.h"

#include <nlohmann/json.hpp>

#include <charconv>
#include <cstdio>

namespace {

using namespace std::chrono_literals;

constexpr auto kToastDuration = 2000ms;
constexpr auto kLongAbsence = std::chrono::minutes(15);
constexpr double kAutoRefreshDefaultMinutes = 1800;
// The name the application delegate announces the push registration's outcome under.
constexpr const char* kRegistrationKey = "onRegistrationCompleted";

// The text of `key` in `info` when it is text.
std::optional<std::string> textAt(const platform::PlistDict& info, const std::string& key)
{
    const auto entry = info.find(key);
    if (entry == info.end() || !entry->second.isString())
        return std::nullopt;
    return *entry->second.asString();
}

// A setting holding a decimal number of minutes; nothing when it is missing, no text or no number.
std::optional<double> minutesSetting(const std::string& key)
{
    const auto text = sharedConfig().defaults.string(key);
    if (!text)
        return std::nullopt;
    const char* first = text->data();
    const char* last = first + text->size();
    if (first != last && *first == '+')
        ++first;
    double minutes = 0;
    const auto [end, error] = std::from_chars(first, last, minutes);
    if (error != std::errc() || end != last || first == last)
        return std::nullopt;
    return minutes;
}

// Whether a refresh of `minutes` is due `elapsed` after the last check: -1 always, otherwise
// only when the time since the last check is known and longer.
bool isDue(double minutes, std::optional<std::chrono::duration<double>> elapsed)
{
    if (minutes == -1)
        return true;
    return elapsed && elapsed->count() > minutes * 60;
}

std::string describe(const std::optional<platform::PlistValue>& value)
{
    return value ? value->description() : "nil";
}

std::string formatDecimal(double seconds)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.1f", seconds);
    return text;
}

} // namespace

void ViewController::viewWillAppear()
{
    addObservers();
}

void ViewController::addObservers()
{
    using Reaction = void (*)(ViewController&, const platform::Notification&);
    auto& center = sharedNotificationCenter();
    auto observe = [&](const std::string& name, Reaction react) {
        center.removeObserver(this, name);
        center.addObserver(
            this, name,
            [weak = weak_from_this(), react](const platform::Notification& notification) {
                if (auto self = weak.lock())
                    react(*self, notification);
            },
            &platform::mainQueue());
    };
    observe(bundleID(), [](ViewController& self, const auto& n) { self.actOnSpecialNotification(n); });
    observe("IAPComPurchaseNotification", [](ViewController& self, const auto& n) { self.actOnPurchaseNotification(n); });
    observe("IAPComRestoreNotification", [](ViewController& self, const auto& n) { self.actOnRestoreNotification(n); });
    observe(sharedConfig().urlSchemeMessageIDKey, [](ViewController& self, const auto& n) { self.actOnUrlScheme(n); });
    observe(kRegistrationKey, [](ViewController& self, const auto& n) { self.updateRegistrationStatus(n); });
    observe(platform::ApplicationWillEnterForegroundNotification,
            [](ViewController& self, const auto&) { self.actOnReturnFromBackground(); });
}

void ViewController::actOnSpecialNotification(const platform::Notification& notification)
{
    if (!notification.userInfo.empty())
        reactOnDownloadFinishedNotification(notification.userInfo);
}

void ViewController::reactOnDownloadFinishedNotification(const platform::PlistDict& userInfo)
{
    LOG_DEBUG("react on download finished");
    Config& config = sharedConfig();
    config.appState = Config::appStateEnum::FRESH;
    callJS(sharedServerCom().HIDEALLLOADING, webView);

    // A sync's file arrived: the page that waits for it is told.
    if (const auto storeKey = textAt(userInfo, "storeKey"); storeKey && !storeKey->empty()) {
        LOG_DEBUG("received notification " + bundleID() + " with key: " + *storeKey);
        const auto address = config.defaults.string(*storeKey);
        if (!address || !platform::URLComponents::parse(*address)) {
            LOG_DEBUG("storvalue for storekey: " + *storeKey + " not found!");
            return;
        }
        {
            auto running = config.runningDownloads.lock();
            if (const auto it = std::find(running->begin(), running->end(), *address); it != running->end())
                running->erase(it);
        }
        // A page on show stays; without one the landing page or the start page is loaded.
        if (!webView || !webView->url())
            reloadWebView();
        syncCallBack.send("");
        return;
    }

    // An update ended: the reply's landing page waits for the reload (unless one already waits).
    if (const auto xml = textAt(userInfo, "xmlstr"); xml && !xml->empty()) {
        ServerCom& serverCom = sharedServerCom();
        // An update that did not install changed nothing: no toast of a finished update and no
        // reload (the user was shown its alert and its notification).
        if (textAt(userInfo, "error")) {
            LOG_DEBUG("the update ended without installing: " + *textAt(userInfo, "error"));
            if (serverCom.isWakeupSync || config.updateSilentMode == Config::UPDATE_SILENT_MODE_NOPROMPTS) {
                config.updateSilentMode = Config::UPDATE_SILENT_MODE_OFF;
                serverCom.isWakeupSync = false;
            }
            serverCom.isPersonalization = false;
            return;
        }
        RequestProperties properties;
        try {
            properties.populate(sharedServerCom().parseXML(*xml));
        } catch (const fetchAppXmlError& error) {
            LOG_DEBUG("Error parsing xmlStr: " + *xml + " " + error.what());
        }
        if (landingPage.empty())
            landingPage = properties.landingPage;
        if (!serverCom.isPersonalization && !config.isSplashScreenShown) {
            platform::showToast(serverCom.SC_UPDATE_FINISHED, kToastDuration, platform::ToastPosition::bottom);
            if (serverCom.isWakeupSync || config.updateSilentMode == Config::UPDATE_SILENT_MODE_NOPROMPTS) {
                config.updateSilentMode = Config::UPDATE_SILENT_MODE_OFF;
                serverCom.isWakeupSync = false;
                LOG_DEBUG("will not call jscript immedeatly");
            }
            reloadWebView();
            return;
        }
        LOG_DEBUG("we are in personalisation state xmlstr provided: " + *xml);
        serverCom.isPersonalization = false;
        reloadWebView();
        return;
    }

    if (textAt(userInfo, "filereceived") == "true") {
        relocateURL(userInfo);
        return;
    }
    if (relocateURL(userInfo))
        return;
    LOG_DEBUG("No xml string found");
    reloadWebView();
}

void ViewController::actOnUrlScheme(const platform::Notification& notification)
{
    const auto message = textAt(notification.userInfo, "message");
    const auto url = message ? platform::URLComponents::parse(*message) : std::nullopt;
    if (!url)
        return;
    landingPage = url->lastPathComponent();
    if (url->percentEncodedQuery())
        landingPage += "?" + *url->percentEncodedQuery();
    reloadWebView();
}

void ViewController::actOnPurchaseNotification(const platform::Notification& notification)
{
    const auto& info = notification.userInfo;
    if (info.empty())
        return;
    const auto identifier = textAt(info, "identifier");
    const auto receipt = textAt(info, "receiptData");
    if (!identifier || !receipt) {
        LOG_ERROR("userinfo not correct: " + platform::PlistValue(info).description());
        return;
    }
    const nlohmann::json request = {{"action", "purchase/ios"}, {"token", *receipt}, {"sku", *identifier}};
    sharedServerCom().callServer(request.dump(), PageReply(webView), "", "", "", false, "");
}

std::string ViewController::restoreRequestText(const std::vector<std::string>& receipts)
{
    std::string text = "&do=restorePurchase%2Fios";
    for (const std::string& receipt : receipts) {
        text += "&token[]=";
        platform::appendPercentEncoded(text, receipt, platform::urlKept::serverValue);
    }
    return text;
}

void ViewController::actOnRestoreNotification(const platform::Notification& notification)
{
    const auto& info = notification.userInfo;
    if (info.empty())
        return;
    const auto set = info.find("receiptSet");
    const auto receipts = set == info.end() ? std::nullopt : set->second.stringArray();
    if (!receipts) {
        LOG_ERROR("ERROR: no receeipts found");
        return;
    }
    sharedServerCom().callServer("", restoreCallBack.value_or(PageReply(webView)), restoreRequestText(*receipts), "",
                                 "", false, "");
}

void ViewController::updateRegistrationStatus(const platform::Notification& notification)
{
    const auto& info = notification.userInfo;
    for (const auto& [key, value] : info) {
        if (!value.isString()) {
            LOG_DEBUG("Error with updateRegistrationStatus ");
            return;
        }
    }
    if (const auto error = textAt(info, "error")) {
        platform::showToast(ERROR_REGISTER_GCM, kToastDuration, platform::ToastPosition::bottom);
        LOG_DEBUG("Error registering with GCM  " + *error);
    } else if (textAt(info, "registrationToken")) {
        platform::showToast(PUSH_SUBSCRIPTION_SUCCESS, kToastDuration, platform::ToastPosition::bottom);
    }
}

void ViewController::actOnReturnFromBackground()
{
    LOG_DEBUG("Return from Background");
    Config& config = sharedConfig();
    const auto entered = config.defaults.object(config.timeBackgroundEnteredKey);
    if (!entered || !entered->isString()) {
        LOG_ERROR("Could not format date from: " + describe(entered));
        return;
    }
    if (const auto since = timestampFormatter().date(*entered->asString())) {
        const std::chrono::duration<double> away = platform::now() - *since;
        if (away > kLongAbsence) {
            LOG_DEBUG("too long in background " + formatDecimal(away.count()) + " will reload webview");
            reloadWebView();
        }
    }
    // The page's real-time channel, when it had opened one, comes back with the page.
    if (auto& channel = sharedWebSocketManager(); !channel.domain.empty() && webView) {
        const std::string domain = channel.domain;
        channel.connect(domain, webView);
    }
    config.isAppStart = false;
    checkForUpdates();
}

void ViewController::checkForUpdates()
{
    Config& config = sharedConfig();
    const auto last = config.defaults.object("lastUpdateCheck");
    if (!last || !last->isString()) {
        LOG_ERROR("Could not format date from: " + describe(last));
        return;
    }
    const auto lastCheck = timestampFormatter().date(*last->asString());
    const auto now = platform::now();
    std::optional<std::chrono::duration<double>> elapsed;
    if (lastCheck)
        elapsed = now - *lastCheck;

    const double autoRefresh = minutesSetting("autorefresh").value_or(kAutoRefreshDefaultMinutes);
    if (autoRefresh != 0 && isDue(autoRefresh, elapsed)) {
        LOG_DEBUG("Doing AUTOREFRESH! " + *last->asString() + " > " + formatDecimal(autoRefresh) + " * 60 ");
        callJS("showWakeUpNotification()", webView);
        showUpdateDialog(false);
    }
    const double wakeupRefresh = minutesSetting("wakeuprefresh").value_or(0);
    if (wakeupRefresh != 0 && isDue(wakeupRefresh, elapsed)) {
        config.isAppStart = false;
        callJS("showWakeUpNotification()", webView);
        showUpdateDialog(true);
    }
    config.defaults.set("lastUpdateCheck", timestampFormatter().string(now));
    config.defaults.synchronize();
}

void ViewController::showUpdateDialog(bool wakeup)
{
    updateCheck_(view(), wakeup);
}
