// Bridge commands for the device's services: reminders ("scheduleNotification",
// "deleteNotification", "deleteAllNotifications") through the shared NotificationScheduler,
// the notification permission ("checkNotificationPermission"), the position
// ("getIsAbleToLocate", "getLocationData") through the shared LocationServices, and the file
// chooser for uploads ("showFileChooser") through a new DocHandler, and the real-time channel
// ("connectWebSocket") through the shared WebSocketManager. Only the permission and
// "getIsAbleToLocate" answer here; the position, the chosen file and the channel's messages
// reach the page from their services later.

#include "logger/Logger.h"
#include "platform/UserNotificationCenter.h"
#include "services/DocHandler.h"
#include "services/LocationServices.h"
#include "services/NotificationScheduler.h"
#include "services/WebSocketManager.h"
#include "webcontainer/BridgeCommands.h"
#include "webcontainer/BridgeConventions.h"

void bridge::scheduleNotification(BridgeScreen&, BridgeRequest& request)
{
    const auto& url = request.url;
    const char* names[] = {"datetime", "frequency", "title", "body", "landing", "id"};
    for (const char* name : names) {
        if (!url.item(name)) {
            LOG_DEBUG("Error scheduleNotification not all parameters found");
            return;
        }
    }
    std::vector<std::string> values;
    for (const char* name : names) {
        const auto value = url.value(name);
        if (!value)
            return;
        values.push_back(*value);
    }
    const auto& [datetime, frequency, title, body, landing, id] =
        std::tie(values[0], values[1], values[2], values[3], values[4], values[5]);
    LOG_DEBUG("scheduling notification with: " + datetime + " " + frequency + " " + title + " " + body + " " + landing);
    const auto content = NotificationScheduler::makeReminderContent(title, body, landing);
    try {
        sharedNotificationScheduler().scheduleNotification(content, id, datetime, frequency);
    } catch (const NotificationSchedulerError& error) {
        LOG_ERROR("ERROR scheduling notification: " + datetime + " " + frequency + " " + error.what());
    }
}

void bridge::deleteNotification(BridgeScreen&, BridgeRequest& request)
{
    if (const auto id = request.url.value("id")) {
        sharedNotificationScheduler().deleteNotification(*id);
        return;
    }
    if (request.url.value("callback"))
        request.reply.acknowledge();
}

void bridge::deleteAllNotifications(BridgeScreen&, BridgeRequest&)
{
    LOG_DEBUG("deleting all pending notifications");
    sharedNotificationScheduler().deleteAllNotifications();
}

void bridge::checkNotificationPermission(BridgeScreen&, BridgeRequest& request)
{
    if (!request.url.item("callback"))
        return;
    const auto reply = [reply = request.reply](bool authorized) {
        const std::string text = member("permission", yesOrNo(authorized));
        reply.send(text);
        LOG_DEBUG("returning checkNotificationPermission to js: " + text);
    };
    auto* center = platform::currentUserNotificationCenter();
    if (!center) {
        reply(false);
        return;
    }
    // Only a full authorisation counts: provisional and ephemeral ones answer "N".
    center->getNotificationSettings([reply](platform::NotificationSettings settings) {
        reply(settings.authorizationStatus == platform::NotificationAuthorizationStatus::authorized);
    });
}

void bridge::getIsAbleToLocate(BridgeScreen&, BridgeRequest& request)
{
    if (!request.url.item("callback"))
        return;
    sharedLocationServices().isAbleToLocate([reply = request.reply](bool able) {
        const std::string text = member("isAbleToLocate", yesOrNo(able));
        reply.send(text);
        LOG_DEBUG("returning isAbleToLocate to js: " + text);
    });
}

void bridge::getLocationData(BridgeScreen& screen, BridgeRequest& request)
{
    const auto webView = screen.pageWebView();
    if (!webView)
        return;
    const auto callback = request.url.value("callback");
    if (!callback)
        return;
    sharedLocationServices().getLocation(*callback, webView);
}

void bridge::showFileChooser(BridgeScreen& screen, BridgeRequest& request)
{
    if (!request.url.item("callback"))
        return;
    const auto mode = request.url.value("mode");
    if (!mode)
        return;
    const auto webView = screen.pageWebView();
    if (!webView) {
        LOG_ERROR("webView is nil!");
        return;
    }
    // "image" offers images only; every other mode every file.
    const std::vector<std::string> types{*mode == "image" ? "public.image" : "public.item"};
    DocHandler::create(types)->presentPicker(webView, request.reply.callback());
}

void bridge::connectWebSocket(BridgeScreen& screen, BridgeRequest& request)
{
    const auto domain = request.url.value("domain");
    if (!domain)
        return;
    auto& channel = sharedWebSocketManager();
    if (!channel.isConfigured() && !channel.reconfigure()) {
        LOG_ERROR("Websocket still not configured");
        return;
    }
    channel.connect(*domain, screen.pageWebView());
}
