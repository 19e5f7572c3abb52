#pragma once
// Why a reminder could not be scheduled. what() is the localized description: the text of the
// key "NOTIFICATION_SCHEDULER_PARSE_ERROR" or "NOTIFICATION_SCHEDULER_FREQ_ERROR" (the key
// itself when the string tables lack it). A plain value, thrown on the scheduling caller's
// thread.

#include <stdexcept>

class NotificationSchedulerError : public std::runtime_error {
public:
    enum class Kind {
        invalidDateString,     // the date text holds no six numbers of "%4d%2d%2dT%2d%2d%2d"
        invalidEventFrequency, // the frequency is not "none", "daily", "weekly", "monthly" or "yearly"
    };

    explicit NotificationSchedulerError(Kind kind);
    Kind kind() const { return kind_; }

private:
    Kind kind_;
};
