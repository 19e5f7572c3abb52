#include "services/NotificationScheduler.h"

#include "base/Config.h"
#include "base/SharedInstances.h"
#include "base/TimestampFormatter.h"
#include "logger/Logger.h"
#include "platform/LocalCalendar.h"
#include "platform/Platform.h"

#include <cstdio>

NotificationScheduler::NotificationScheduler()
    : queue(platform::makeSerialQueue("DeleteAllNotificatons"))
{
}

std::shared_ptr<platform::UserNotificationCenter> NotificationScheduler::center() const
{
    return platform::current().userNotificationCenter;
}

NotificationScheduler::~NotificationScheduler()
{
    waitUntilDone();
}

platform::UserNotificationContent NotificationScheduler::makeReminderContent(const std::string& title,
                                                                             const std::string& body,
                                                                             const std::string& landingPage)
{
    const Config& config = sharedConfig();
    platform::UserNotificationContent content;
    content.title = title;
    content.body = body;
    content.sound = platform::NotificationSound::defaultSound;
    content.userInfo = {{"landingPage", landingPage}, {config.notifcationKey, config.REMINDER}};
    return content;
}

platform::DateComponents NotificationScheduler::parseDateString(const std::string& dateStr)
{
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    if (std::sscanf(dateStr.c_str(), "%4d%2d%2dT%2d%2d%2d", &year, &month, &day, &hour, &minute, &second) != 6)
        throw NotificationSchedulerError(NotificationSchedulerError::Kind::invalidDateString);
    return {year, month, day, hour, minute, second, std::nullopt};
}

void NotificationScheduler::scheduleNotification(const platform::UserNotificationContent& notification,
                                                 const std::string& id, const std::string& dateStr,
                                                 const std::string& freq)
{
    const auto date = parseDateString(dateStr);
    platform::DateComponents match;
    match.hour = date.hour;
    match.minute = date.minute;
    bool repeats = true;
    if (freq == "none") {
        match = date;
        repeats = false;
    } else if (freq == "daily") {
    } else if (freq == "weekly") {
        match.weekday = platform::LocalCalendar::weekday(*date.year, *date.month, *date.day);
    } else if (freq == "monthly") {
        match.day = date.day;
    } else if (freq == "yearly") {
        match.day = date.day;
        match.month = date.month;
    } else {
        throw NotificationSchedulerError(NotificationSchedulerError::Kind::invalidEventFrequency);
    }

    queue->async([center = center(), notification, id, trigger = platform::CalendarNotificationTrigger{match, repeats}] {
        if (!center) {
            LOG_ERROR("ERROR adding scheduled notification no notification centre");
            return;
        }
        if (const auto next = platform::LocalCalendar::nextDate(trigger.dateMatching, platform::now()))
            LOG_DEBUG("Next Trigger date: " + timestampFormatter().string(*next));
        else
            LOG_DEBUG("FAIL: cannot print next trigger date: ?!?!");
        center->add({id, notification, trigger}, [](std::optional<std::string> error) {
            if (error)
                LOG_ERROR("ERROR adding scheduled notification " + *error);
        });
    });
}

void NotificationScheduler::deleteNotification(const std::string& id)
{
    queue->async([center = center(), id] {
        if (center)
            center->removePendingNotificationRequests({id});
        LOG_DEBUG("Deleted Notification with " + id + " ");
    });
}

void NotificationScheduler::deleteAllNotifications()
{
    queue->async([center = center()] {
        if (!center)
            return;
        std::vector<std::string> identifiers;
        for (const auto& request : center->pendingNotificationRequests())
            identifiers.push_back(request.identifier);
        center->removePendingNotificationRequests(identifiers);
        std::string list;
        for (const auto& identifier : identifiers)
            list += (list.empty() ? "" : ", ") + identifier;
        LOG_DEBUG("Deleted " + std::to_string(identifiers.size()) + " pending notifications: [" + list + "]");
    });
}

void NotificationScheduler::waitUntilDone()
{
    queue->sync([] {});
}

NotificationScheduler& sharedNotificationScheduler()
{
    return SharedInstances::get<NotificationScheduler>();
}
