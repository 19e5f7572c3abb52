#include "services/PushNotificationUtils.h"

#include "base/Config.h"
#include "base/JavaScriptCalls.h"
#include "base/SharedInstances.h"
#include "logger/Logger.h"
#include "platform/Application.h"
#include "platform/Platform.h"
#include "platform/Toast.h"
#include "portable/Dispatch.h"

namespace {

constexpr std::chrono::milliseconds kPushToastDuration{2000};

const platform::PlistDict* apsOf(const platform::PlistDict& info)
{
    const auto aps = info.find("aps");
    return aps == info.end() ? nullptr : aps->second.asDict();
}

} // namespace

PushNotificationUtils::PushNotificationUtils()
{
    sharedNotificationCenter().addObserver(
        this, sharedConfig().didRreceiveRemoteN,
        [this](const platform::Notification& notification) { showReceivedNSNotificationWithUserInfo(notification); },
        &platform::mainQueue());
}

PushNotificationUtils::~PushNotificationUtils()
{
    sharedNotificationCenter().removeObserver(this);
}

void PushNotificationUtils::showReceivedNSNotificationWithUserInfo(const platform::Notification& notification)
{
    if (!notification.userInfo.empty())
        showReceivedMessage(notification.userInfo);
}

void PushNotificationUtils::showReceivedUNNotification(const platform::UserNotification& notification)
{
    const auto& info = notification.request.content.userInfo;
    if (apsOf(info))
        showReceivedMessage(info);
    else
        LOG_DEBUG("aps key not found in info " + platform::PlistValue(info).description());
}

void PushNotificationUtils::showReceivedMessage(const platform::PlistDict& info)
{
    const auto* aps = apsOf(info);
    if (!aps) {
        LOG_DEBUG("aps key not found in info " + platform::PlistValue(info).description());
        return;
    }
    std::string script;
    if (const auto found = aps->find("scriptFG"); found != aps->end() && found->second.isString())
        script = *found->second.asString();
    const auto alert = aps->find("alert");
    const auto* alertDict = alert == aps->end() ? nullptr : alert->second.asDict();
    const platform::PlistValue* title = nullptr;
    const platform::PlistValue* body = nullptr;
    if (alertDict) {
        if (auto found = alertDict->find("title"); found != alertDict->end())
            title = &found->second;
        if (auto found = alertDict->find("body"); found != alertDict->end())
            body = &found->second;
    }
    if (!title || !title->isString() || !body || !body->isString()) {
        LOG_ERROR("Could not get information from dict: " + platform::PlistValue(*aps).description());
        return;
    }
    // The desktop's toast has one text: the title above the body.
    if (!view.expired())
        platform::showToast(*title->asString() + "\n" + *body->asString(), kPushToastDuration,
                            platform::ToastPosition::top);

    const auto stateEntry = info.find("appState");
    const std::int64_t* state = stateEntry == info.end() ? nullptr : stateEntry->second.asInteger();
    if (!state || *state < 0 || *state > 2)
        return;
    Config& config = sharedConfig();
    LOG_DEBUG("appstate when PN was received: " + std::to_string(*state) + ", is activated via PN: "
              + (config.isStartedViaPNTap ? "true" : "false"));
    if (*state == 1 || *state == 2) {
        config.isStartedViaPNTap = true;
        const auto landing = aps->find("landingPage");
        if (landing != aps->end() && landing->second.isString()) {
            config.URLschemeLanding.set(*landing->second.asString());
            LOG_DEBUG("LandingPage in PN found: " + *landing->second.asString());
        } else {
            config.URLschemeLanding.set("");
        }
        return;
    }
    if (auto page = webView.lock()) {
        config.updateSilentMode = Config::UPDATE_SILENT_MODE_WAKEUP_LOCALLOADING;
        callJS(script, page);
    }
}

void PushNotificationUtils::registerForRemoteNotification()
{
    LOG_DEBUG("Registering for FCM remote Notification");
    auto center = platform::current().userNotificationCenter;
    if (!center)
        return;
    center->requestAuthorization({true, true, true}, [center](bool granted, std::optional<std::string>) {
        LOG_DEBUG(std::string("UNUNotification Permission granted: ") + (granted ? "true" : "false"));
        if (!granted)
            return;
        center->getNotificationSettings([](platform::NotificationSettings settings) {
            LOG_DEBUG("Notification settings: authorizationStatus "
                      + std::to_string(static_cast<int>(settings.authorizationStatus)));
            if (settings.authorizationStatus != platform::NotificationAuthorizationStatus::authorized)
                return;
            platform::mainQueue().async([] {
                if (const auto& application = platform::current().application)
                    application->registerForRemoteNotifications();
            });
        });
    });
}

PushNotificationUtils& sharedPushNotificationUtils()
{
    return SharedInstances::get<PushNotificationUtils>();
}
