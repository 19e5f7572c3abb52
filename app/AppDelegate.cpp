#include "app/AppDelegate.h"

#include "app/MainStoryboard.h"
#include "base/Config.h"
#include "base/Digest.h"
#include "base/InternalJS.h"
#include "base/LocalizedTexts.h"
#include "base/SharedInstances.h"
#include "base/TimestampFormatter.h"
#include "base/UIHelpers.h"
#include "base/WebRootInstall.h"
#include "base/WebRootSwap.h"
#include "contentserver/ServerCom.h"
#include "logger/Logger.h"
#include "platform/PaymentQueue.h"
#include "platform/Platform.h"
#include "platform/UserNotificationCenter.h"
#include "portable/Bundle.h"
#include "portable/Dispatch.h"
#include "portable/FileURL.h"
#include "portable/URLComponents.h"
#include "services/IAPCom.h"
#include "services/PushNotificationUtils.h"
#include "services/WebSocketManager.h"

#include <glib.h>


namespace {

// The pieces of `text` between its commas, empty ones included ("a,,b" has three).
std::set<std::string> splitAtCommas(const std::string& text)
{
    std::set<std::string> pieces;
    std::size_t start = 0;
    while (true) {
        const auto comma = text.find(',', start);
        pieces.insert(text.substr(start, comma - start));
        if (comma == std::string::npos)
            return pieces;
        start = comma + 1;
    }
}

// The real-time channel's manager when the channel is configured and has one.
socketio::SocketManager* configuredSocketManager()
{
    auto& channel = sharedWebSocketManager();
    return channel.isConfigured() ? channel.webSocketManager.get() : nullptr;
}

} // namespace

void AppDelegate::applicationDidCreateWindow(platform::Application&, std::shared_ptr<platform::Window> newWindow)
{
    window = std::move(newWindow);
    window->setRootScreen(makeInitialScreen());
}

AppDelegate::~AppDelegate()
{
    if (SharedInstances::has<Config>())
        sharedConfig().defaults.setWriteFailureHandler({});
}

void AppDelegate::tellSettingsWriteFailures()
{
    // The store reports from the thread that wrote; the alert comes once per run, whatever
    // fails after.
    sharedConfig().defaults.setWriteFailureHandler([told = std::weak_ptr<bool>(settingsFailureTold_)] {
        platform::mainQueue().async([told] {
            const auto flag = told.lock();
            if (!flag || *flag)
                return;
            *flag = true;
            showAlert(JS_ALERT_TITLES().at("ERROR"), localizedString("SETTINGS_NOT_SAVED"),
                      AlertButton{localizedString("OK"), [] {}});
        });
    });
}

bool AppDelegate::application(platform::Application& application, const platform::LaunchOptions& launchOptions)
{
    // Purchases that ended while the application was not running are delivered now.
    if (const auto& queue = platform::current().paymentQueue)
        queue->addTransactionObserver(sharedIAPCom().shared_from_this());
    tellSettingsWriteFailures();
    publishSearchableActivity(application);
    copyFile();
    // Reminders kept from earlier runs are armed again; those missed meanwhile are shown now.
    if (const auto& center = platform::current().userNotificationCenter)
        center->openStore(sharedConfig().BASEURL / "reminders.plist");
    // Permission, then the push registration; the web screen makes itself the notification
    // centre's delegate when its view loads.
    sharedPushNotificationUtils().registerForRemoteNotification();

    if (!launchOptions.remoteNotification)
        return true;
    LOG_DEBUG("APP is launched via PN Tap!!!");
    const auto& payload = *launchOptions.remoteNotification;
    if (auto aps = payload.find("aps"); aps != payload.end() && aps->second.isDict()) {
        if (const auto* landing = aps->second.find("landingPage"); landing && landing->isString()) {
            sharedConfig().URLschemeLanding.set(*landing->asString());
            LOG_DEBUG("LandingPage in start PN found: " + *landing->asString());
        }
    }
    sharedConfig().isLaunchedViaPNTap = true;
    return true;
}

void AppDelegate::publishSearchableActivity(platform::Application& application)
{
    auto& defaults = sharedConfig().defaults;
    const auto keywords = defaults.string("searchKeywords");
    if (!keywords)
        return;
    const auto title = defaults.string("searchTitle");
    const auto identifier = platform::Bundle::main()->identifier();
    if (!title || !identifier)
        return;
    platform::UserActivity activity;
    activity.activityType = *identifier;
    activity.title = *title;
    activity.isEligibleForSearch = true;
    activity.keywords = splitAtCommas(*keywords);
    activity.isEligibleForHandoff = false;
    userActivity = activity;
    application.becomeCurrent(std::move(activity));
}

void AppDelegate::copyFile()
{
    Config& config = sharedConfig();
    LOG_DEBUG("copy files");
    LOG_DEBUG(config.WEBROOT);
    // An update the process died in leaves the web root whole, old or new, only once the swap
    // is finished; the staging copy of a package (full or incremental) that never got swapped
    // in is of no further use.
    WebRootSwap(config.WEBROOT).recover();
    if (const std::filesystem::path copy = sharedServerCom().TMPWWWROOT; config.fm.fileExists(copy)) {
        LOG_INFO("deleting the unpacked copy of an unfinished update " + copy.string());
        if (auto error = config.fm.removeItem(copy))
            LOG_ERROR("cannot delete " + copy.string() + ": " + error.message());
    }
    if (!config.fm.fileExists(config.WEBROOT)) {
        if (!installBundledWebRoot(config.WEBROOT, "ERROR: app.zip could not be found"))
            return;
        if (config.fm.setExcludedFromBackup(config.WEBROOT, true))
            LOG_ERROR("ERROR: could not exlcude " + config.WEBROOT + " from backup");
        return;
    }
    LOG_DEBUG("Path " + config.WEBROOT + " already exists");
    if (config.fm.fileExists(config.UPLOADURL)) {
        LOG_DEBUG("deleting upload dir " + platform::fileURLString(config.UPLOADURL));
        if (config.fm.removeItem(config.UPLOADURL))
            LOG_ERROR(config.UPLOADURL.string() + " could not be deleted!!!");
    }
}

void AppDelegate::applicationDidEnterBackground(platform::Application&)
{
    if (auto* manager = configuredSocketManager())
        manager->disconnect();
    Config& config = sharedConfig();
    config.defaults.set(config.timeBackgroundEnteredKey, timestampFormatter().string(platform::now()));
    config.defaults.synchronize();
}

void AppDelegate::applicationDidBecomeActive(platform::Application& application)
{
    application.setApplicationIconBadgeNumber(0);
    if (auto* manager = configuredSocketManager())
        manager->connect();
    writeInternalJS(sharedConfig().WEBROOT);
}

void AppDelegate::applicationWillTerminate(platform::Application&)
{
    sharedConfig().defaults.setWriteFailureHandler({});
    if (const auto& queue = platform::current().paymentQueue)
        queue->removeTransactionObserver(sharedIAPCom());
}

namespace {

int stateNumber(platform::Application::State state)
{
    switch (state) {
    case platform::Application::State::active:
        return 0;
    case platform::Application::State::inactive:
        return 1;
    case platform::Application::State::background:
        return 2;
    }
    return 0;
}

// The payload with "appState" set to the application's state now, posted as "apn.didRRN".
void postRemoteNotification(platform::Application& application, platform::PlistDict payload)
{
    payload["appState"] = stateNumber(application.applicationState());
    sharedNotificationCenter().post(sharedConfig().didRreceiveRemoteN, {}, std::move(payload));
}

} // namespace

void AppDelegate::didRegisterForRemoteNotifications(platform::Application&, const std::vector<std::uint8_t>& deviceToken)
{
    g_autofree char* base64 = g_base64_encode(deviceToken.data(), deviceToken.size());
    LOG_DEBUG(std::string("APNs device token retrieved: ") + base64);
    std::string text;
    for (const auto& byte : hexByteStrings(deviceToken))
        text += byte;
    LOG_DEBUG("Apple Push Device Token: " + text);
    registrationHandler(text);
}

void AppDelegate::registrationHandler(const std::string& token)
{
    registrationToken = token;
    LOG_DEBUG("Registration Token: " + token + " Key: " + registrationKey);
    sharedNotificationCenter().post(registrationKey, {}, platform::PlistDict{{"registrationToken", token}});
    auto& defaults = sharedConfig().defaults;
    defaults.set("registrationToken", token);
    defaults.synchronize();
    sharedServerCom().sendToken(token);
}

void AppDelegate::didFailToRegisterForRemoteNotifications(platform::Application&, const std::string& error)
{
    LOG_ERROR("Registration for remote notification failed with error: " + error);
    sharedNotificationCenter().post(registrationKey, {}, platform::PlistDict{{"error", error}});
}

void AppDelegate::didReceiveRemoteNotification(platform::Application& application, const platform::PlistDict& userInfo)
{
    LOG_DEBUG("*** Notification received : " + platform::PlistValue(userInfo).description());
    postRemoteNotification(application, userInfo);
}

void AppDelegate::didReceiveRemoteNotification(
    platform::Application& application, const platform::PlistDict& userInfo,
    const std::function<void(platform::BackgroundFetchResult)>& completionHandler)
{
    LOG_DEBUG("Notification with handler received: " + platform::PlistValue(userInfo).description());
    const auto aps = userInfo.find("aps");
    if (aps == userInfo.end() || !aps->second.isDict()) {
        completionHandler(platform::BackgroundFetchResult::failed);
        LOG_DEBUG("aps array not found");
        return;
    }
    postRemoteNotification(application, userInfo);
    completionHandler(platform::BackgroundFetchResult::noData);
}

bool AppDelegate::application(platform::Application&, const std::string& openURL)
{
    Config& config = sharedConfig();
    config.isStartedViaURLscheme = true;
    std::string landing;
    if (const auto url = platform::URLComponents::parse(openURL)) {
        landing = url->lastPathComponent();
        if (url->percentEncodedQuery())
            landing += "?" + *url->percentEncodedQuery();
    }
    config.URLschemeLanding.set(landing);
    LOG_DEBUG("URLSCHEME: " + openURL);
    sharedNotificationCenter().post(config.urlSchemeMessageIDKey, {}, platform::PlistDict{{"message", openURL}});
    return true;
}
