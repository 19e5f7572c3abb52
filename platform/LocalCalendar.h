#pragma once
// The device's calendar in its local time zone: the date components of a moment, and the next
// moment that matches a set of components, as calendar triggers need them.
//
// Matching: a given field must equal the moment's field; an absent date field (year, month,
// day, weekday) matches any value; of the time fields, those smaller than the smallest given
// one count as 0 and the others match any value ({hour 8, minute 30} is 08:30:00 of every
// day, {minute 30} is half past every hour). Components with no field at all match midnight.
//
// Safe from any thread; reads the process's time zone (TZ) on every call.

#include "platform/Clock.h"
#include "platform/UserNotificationCenter.h"

#include <optional>

namespace platform {

class LocalCalendar {
public:
    // Year, month, day, hour, minute, second and weekday (1 = Sunday) of `moment`.
    static DateComponents components(TimePoint moment);
    // The weekday (1 = Sunday to 7 = Saturday) of a date; the date is normalised first
    // (31 February is 3 or 2 March).
    static int weekday(int year, int month, int day);
    // The first whole second after `after` that matches `matching`; nothing when none ever comes
    // (a date in the past, a day no month has, a field out of its range, a time beyond what a
    // TimePoint holds). Found from the calendar's dates directly, however far ahead.
    static std::optional<TimePoint> nextDate(const DateComponents& matching, TimePoint after);
};

} // namespace platform
