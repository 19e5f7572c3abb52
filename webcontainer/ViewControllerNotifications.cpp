// The web screen as the notification centre's delegate: reminders and pushes that arrive while
// the application is in front, and the user's click on a shown notification.
#include "webcontainer/ViewController.h"

#include "base/Config.h"
#include "logger/Logger.h"
#include "platform/Toast.h"
#include "portable/Dispatch.h"
#include "services/PushNotificationUtils.h"

namespace {

constexpr std::chrono::milliseconds kReminderToastDuration{4000};

std::string describe(const platform::PlistDict& info)
{
    return platform::PlistValue(info).description();
}

bool isReminder(const platform::PlistDict& info)
{
    const Config& config = sharedConfig();
    const auto mark = info.find(config.notifcationKey);
    return mark != info.end() && mark->second.isString() && *mark->second.asString() == config.REMINDER;
}

} // namespace

void ViewController::willPresent(platform::UserNotificationCenter&, const platform::UserNotification& notification,
                                 std::function<void(platform::NotificationPresentationOptions)> completionHandler)
{
    const auto& content = notification.request.content;
    const auto& info = content.userInfo;
    LOG_DEBUG("user Info on will present delegate: " + describe(info));
    platform::NotificationPresentationOptions options;
    if (isReminder(info)) {
        LOG_DEBUG("Reminder called with " + describe(info));
        platform::mainQueue().async([weak = weak_from_this(), text = content.title + "\n" + content.body] {
            if (auto self = weak.lock(); self && self->view())
                platform::showToast(text, kReminderToastDuration, platform::ToastPosition::center);
        });
        options.sound = true;
        options.alert = true;
    }
    if (info.count("aps"))
        sharedPushNotificationUtils().showReceivedUNNotification(notification);
    LOG_DEBUG("Complete Userinfo: " + describe(info));
    completionHandler(options);
}

void ViewController::didReceive(platform::UserNotificationCenter&, const platform::UserNotificationResponse& response,
                                std::function<void()> completionHandler)
{
    const auto& info = response.notification.request.content.userInfo;
    LOG_DEBUG("user Info on delegate didreceive response: " + describe(info));
    if (isReminder(info)) {
        LOG_DEBUG("Reminder called with " + describe(info));
        if (const auto landing = info.find("landingPage"); landing != info.end() && landing->second.isString()) {
            landingPage = *landing->second.asString();
            LOG_DEBUG("LandingPage in Reminder Notfication found: " + landingPage);
        }
        reloadWebView();
        completionHandler();
        return;
    }
    if (info.count("aps")) {
        LOG_DEBUG("Got PN from background " + describe(info));
        if (response.actionIdentifier == platform::UserNotificationDefaultActionIdentifier) {
            platform::PlistDict opened = info;
            opened["appState"] = 2;
            sharedPushNotificationUtils().showReceivedMessage(opened);
        }
    }
    completionHandler();
    LOG_DEBUG(" UNNC received: " + describe(info));
}
