#pragma once
// Notifications for the user from the application itself: a request names what to show
// (title, body, sound, user info) and when (its trigger); it waits as a pending request until
// its trigger fires, then it is delivered (shown by the desktop). A request added under the
// identifier of a pending one replaces it; a delivered notification replaces one shown before
// under the same identifier.
//
// The rules on pending requests live here, so every implementation keeps them; an
// implementation only shows a delivered notification. Time-interval triggers run on the main
// queue's clock; calendar triggers on the wall clock (platform/Clock.h) in local time.
//
// Reminders (requests with calendar triggers) outlive the process once a store file is opened
// (openStore()): they are kept there, armed again at the next start, and one whose time passed
// while the application was not running is shown once then.
//
// While the application is active, a delegate (set by the web screen) decides whether a
// notification is shown; activating a shown notification (the user clicks it) is told to the
// delegate.
//
// Safe from any thread: requests come from the main thread and from background queues alike.
// Deliveries and the delegate's calls run on the main queue. A pending trigger does not keep the
// centre alive: a centre that is gone delivers nothing.

#include "platform/Clock.h"
#include "portable/PlistValue.h"

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace platform {

enum class NotificationSound { none, defaultSound };

struct UserNotificationContent {
    std::string title;
    std::string body;
    NotificationSound sound = NotificationSound::none;
    // Handed back when the notification is delivered or acted on.
    PlistDict userInfo;
};

// Fires once `timeInterval` after the request is added (and again after each interval when it
// repeats).
struct TimeIntervalNotificationTrigger {
    std::chrono::milliseconds timeInterval{0};
    bool repeats = false;
};

// The fields of a calendar date a calendar trigger matches; a field left empty matches any value.
// `weekday` runs from 1 (Sunday) to 7 (Saturday).
// Built in the order of its fields: DateComponents{year, month, day, hour, minute, second, weekday}.
struct DateComponents {
    std::optional<int> year, month, day, hour, minute, second, weekday;
    bool operator==(const DateComponents&) const = default;
};

// Fires at the next local time that matches `dateMatching` (and at every later one when it repeats).
struct CalendarNotificationTrigger {
    DateComponents dateMatching;
    bool repeats = false;
};

using NotificationTrigger = std::variant<TimeIntervalNotificationTrigger, CalendarNotificationTrigger>;

struct UserNotificationRequest {
    std::string identifier;
    UserNotificationContent content;
    // None: delivered at once.
    std::optional<NotificationTrigger> trigger;
};

// --- Reminders, delivered notifications, authorisation and the delegate ---

// A notification that was delivered, and when.
struct UserNotification {
    UserNotificationRequest request;
    TimePoint date;
};

// What the user did with a shown notification.
struct UserNotificationResponse {
    UserNotification notification;
    // UserNotificationDefaultActionIdentifier (clicked) or UserNotificationDismissActionIdentifier.
    std::string actionIdentifier;
};
inline constexpr const char* UserNotificationDefaultActionIdentifier = "default";
inline constexpr const char* UserNotificationDismissActionIdentifier = "dismiss";

// How a notification delivered while the application is active is presented; none: not shown.
struct NotificationPresentationOptions {
    bool badge = false;
    bool sound = false;
    bool alert = false;
};

enum class NotificationAuthorizationStatus { notDetermined = 0, denied = 1, authorized = 2, provisional = 3, ephemeral = 4 };

struct NotificationSettings {
    NotificationAuthorizationStatus authorizationStatus = NotificationAuthorizationStatus::notDetermined;
};

class UserNotificationCenter;

// Told about notifications on the main thread. Each completion must be called exactly once.
class UserNotificationCenterDelegate {
public:
    virtual ~UserNotificationCenterDelegate() = default;
    // A notification is due while the application is active: answer how to present it.
    virtual void willPresent(UserNotificationCenter& center, const UserNotification& notification,
                             std::function<void(NotificationPresentationOptions)> completionHandler) = 0;
    // The user acted on a shown notification.
    virtual void didReceive(UserNotificationCenter& center, const UserNotificationResponse& response,
                            std::function<void()> completionHandler) = 0;
};

class UserNotificationCenter : public std::enable_shared_from_this<UserNotificationCenter> {
public:
    // Runs with nothing on success, else with a sentence saying why the request was not added.
    using AddCompletion = std::function<void(std::optional<std::string> error)>;

    virtual ~UserNotificationCenter() = default;

    // Adds `request` as pending (replacing a pending one with its identifier); `completion`, when
    // given, runs on the main queue. A time interval below zero counts as zero. A calendar
    // trigger that matches no later time is pending all the same and never fires (nor is it
    // kept in the store, having no time to arm).
    void add(UserNotificationRequest request, AddCompletion completion = {});
    // The requests whose triggers have not fired yet, in the order they were added.
    std::vector<UserNotificationRequest> pendingNotificationRequests() const;
    void removePendingNotificationRequests(const std::vector<std::string>& identifiers);
    void removeAllPendingNotificationRequests();

    // --- Reminders, delivered notifications, authorisation and the delegate ---

    // Keeps the calendar requests in `file` from now on: those found there are pending again
    // (a request added before under the same identifier wins), and each whose time passed is
    // delivered once on the main queue (a repeating one is armed again for its next time).
    // Main thread, once, when the application runs (missed reminders are shown at once).
    void openStore(const std::filesystem::path& file);
    // The notifications shown and not yet activated or removed, the oldest first.
    std::vector<UserNotification> deliveredNotifications() const;
    void removeDeliveredNotifications(const std::vector<std::string>& identifiers);
    // The delegate; held weakly. Main thread.
    void setDelegate(std::weak_ptr<UserNotificationCenterDelegate> delegate);
    std::shared_ptr<UserNotificationCenterDelegate> delegate() const;
    // Notifications can be shown when the desktop has a notification service: then permission
    // is granted and the status authorized, else refused and denied. Both answer on a
    // background queue; `options` are accepted as the desktop offers them.
    void requestAuthorization(NotificationPresentationOptions options,
                              std::function<void(bool granted, std::optional<std::string> error)> completionHandler);
    void getNotificationSettings(std::function<void(NotificationSettings)> completionHandler);

protected:
    // Shows `request`'s content now. Main thread.
    virtual void deliverImpl(const UserNotificationRequest& request) = 0;
    // Takes a shown notification off the desktop. Main thread.
    virtual void withdrawImpl(const std::string& identifier) {}
    // Whether the desktop's notification service can be reached. Any thread.
    virtual bool notificationServiceAvailableImpl() { return true; }
    // For implementations, main thread: the user acted on the shown notification `identifier`.
    // The application's key window is brought to the front, then the delegate hears it (once:
    // the notification is no longer among the delivered ones).
    void didActivate(const std::string& identifier, const std::string& actionIdentifier);

private:
    struct Pending {
        UserNotificationRequest request;
        // Tells this entry's timer from one of an earlier request with the same identifier.
        unsigned long long generation = 0;
        // A calendar trigger's next time.
        std::optional<TimePoint> fireDate;
    };

    void schedule(const std::string& identifier, unsigned long long generation, std::chrono::milliseconds delay);
    void fire(const std::string& identifier, unsigned long long generation);
    // Arms `entry` by its trigger; false when a calendar trigger has no next time.
    bool arm(Pending& entry, TimePoint after);
    // Shows `request` now, through the delegate while the application is active. Main thread.
    void present(const UserNotificationRequest& request);
    void show(const UserNotificationRequest& request);
    // Writes the calendar requests to the store, when one is open. Called with mutex_ held.
    void saveLocked() const;

    mutable std::mutex mutex_;
    std::vector<Pending> pending_;
    std::vector<UserNotification> delivered_;
    std::optional<std::filesystem::path> storeFile_;
    std::weak_ptr<UserNotificationCenterDelegate> delegate_;
    unsigned long long nextGeneration_ = 1;
};

// The installed platform's centre; null when none is installed.
UserNotificationCenter* currentUserNotificationCenter();

} // namespace platform
