#pragma once
// Local reminders the page plans: one-off or repeating calendar reminders with a title, a body
// and a landing page, kept by the platform's user-notification centre (which keeps them across
// restarts), and their deletion one by one or all at once.
//
// Scheduling, deleting one and deleting all take effect one after another on one serial queue,
// in the order they were called, so a reminder deleted right after it was scheduled is never
// added afterwards and never fires, and one scheduled right after a delete-all survives it.
// The calls return before their work is done; what the page hears of them is nothing.
//
// Threads: called from the main thread (the bridge); the work runs on `queue`. The composition
// root builds the one shared instance; it lives as long as the shared instances.

#include "platform/UserNotificationCenter.h"
#include "portable/Dispatch.h"
#include "services/NotificationSchedulerError.h"

#include <memory>
#include <string>

class NotificationScheduler {
public:
    // Uses the installed platform's notification centre as it is at each call (the shared
    // instances are built before the platform is installed); without one, every call only logs.
    NotificationScheduler();
    NotificationScheduler(const NotificationScheduler&) = delete;
    NotificationScheduler& operator=(const NotificationScheduler&) = delete;
    // Waits for the work already queued.
    ~NotificationScheduler();

    std::shared_ptr<platform::UserNotificationCenter> center() const;
    const std::shared_ptr<platform::Queue> queue;

    // Title, body, the default sound and the user info {"landingPage": landingPage,
    // "notficationType": "reminder"}.
    static platform::UserNotificationContent makeReminderContent(const std::string& title, const std::string& body,
                                                                 const std::string& landingPage);
    // Schedules `notification` under `id` for the date text `dateStr` ("20260131T083000") and
    // the frequency `freq`: "none" (that moment), "daily" (its hour and minute), "weekly" (and
    // the weekday the date falls on), "monthly" (and the day) or "yearly" (and the month).
    // Throws NotificationSchedulerError for a bad date (checked first) or frequency; otherwise
    // returns before the request is handed to the centre.
    void scheduleNotification(const platform::UserNotificationContent& notification, const std::string& id,
                              const std::string& dateStr, const std::string& freq);
    // Removes the pending reminder `id`.
    void deleteNotification(const std::string& id);
    // Removes every pending reminder.
    void deleteAllNotifications();
    // The six numbers of "%4d%2d%2dT%2d%2d%2d" as year, month, day, hour, minute and second;
    // no range check. Throws invalidDateString when the text does not hold all six.
    static platform::DateComponents parseDateString(const std::string& dateStr);

    // Waits until every call made so far has taken effect.
    void waitUntilDone();
};

// The shared scheduler, built by the composition root. Safe from any thread.
NotificationScheduler& sharedNotificationScheduler();
