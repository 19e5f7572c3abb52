#pragma once
// Notifications for the user from the application itself: a request names what to show
// (title, body, sound, user info) and when (its trigger); it waits as a pending request until
// its trigger fires, then it is delivered (shown by the desktop). A request added under the
// identifier of a pending one replaces it; a delivered notification replaces one shown before
// under the same identifier.
//
// The rules on pending requests live here, so every implementation keeps them; an
// implementation only shows a delivered notification. Triggers run on the main queue's clock.
//
// Safe from any thread: requests come from the main thread and from background queues alike.
// Deliveries run on the main queue. A pending trigger does not keep the centre alive: a centre
// that is gone delivers nothing.

#include "platform/PlistValue.h"

#include <chrono>
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

class UserNotificationCenter : public std::enable_shared_from_this<UserNotificationCenter> {
public:
    // Runs with nothing on success, else with a sentence saying why the request was not added.
    using AddCompletion = std::function<void(std::optional<std::string> error)>;

    virtual ~UserNotificationCenter() = default;

    // Adds `request` as pending (replacing a pending one with its identifier); `completion`, when
    // given, runs on the main queue. Calendar triggers are not scheduled yet: such a request is
    // refused through `completion`. A time interval below zero counts as zero.
    void add(UserNotificationRequest request, AddCompletion completion = {});
    // The requests whose triggers have not fired yet, in the order they were added.
    std::vector<UserNotificationRequest> pendingNotificationRequests() const;
    void removePendingNotificationRequests(const std::vector<std::string>& identifiers);
    void removeAllPendingNotificationRequests();

protected:
    // Shows `request`'s content now. Main thread.
    virtual void deliverImpl(const UserNotificationRequest& request) = 0;

private:
    struct Pending {
        UserNotificationRequest request;
        // Tells this entry's timer from one of an earlier request with the same identifier.
        unsigned long long generation = 0;
    };

    void schedule(const std::string& identifier, unsigned long long generation, std::chrono::milliseconds delay);
    void fire(const std::string& identifier, unsigned long long generation);

    mutable std::mutex mutex_;
    std::vector<Pending> pending_;
    unsigned long long nextGeneration_ = 1;
};

// The installed platform's centre; null when none is installed.
UserNotificationCenter* currentUserNotificationCenter();

} // namespace platform
