#pragma once
// Local time in a chosen zone for the life of a test's object, and moments given in UTC.

#include "platform/Clock.h"
#include "tests/support/TestEnvironment.h"

#include <ctime>

namespace testsupport {

// Sets TZ (a POSIX zone text such as "UTC" or "CET-1CEST,M3.5.0,M10.5.0/3") and gives it back.
class LocalTimeZone {
public:
    explicit LocalTimeZone(const char* zone) : environment_({{"TZ", zone}}) { tzset(); }
    ~LocalTimeZone() { tzset(); }

private:
    ScopedEnvironment environment_;
};

inline platform::TimePoint utc(int year, int month, int day, int hour, int minute, int second = 0)
{
    std::tm fields{};
    fields.tm_year = year - 1900;
    fields.tm_mon = month - 1;
    fields.tm_mday = day;
    fields.tm_hour = hour;
    fields.tm_min = minute;
    fields.tm_sec = second;
    return std::chrono::system_clock::from_time_t(timegm(&fields));
}

} // namespace testsupport
