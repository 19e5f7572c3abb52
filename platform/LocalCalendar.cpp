#include "platform/LocalCalendar.h"

#include <ctime>
#include <vector>

namespace platform {
namespace {

std::tm localTime(TimePoint moment)
{
    const std::time_t seconds = std::chrono::system_clock::to_time_t(moment);
    std::tm fields{};
    localtime_r(&seconds, &fields);
    return fields;
}

// The values a time field may take: the given one, 0 below the smallest given field, else all.
std::vector<int> candidates(const std::optional<int>& given, bool belowSmallestGiven, int count)
{
    if (given)
        return {*given};
    if (belowSmallestGiven)
        return {0};
    std::vector<int> all(count);
    for (int i = 0; i < count; ++i)
        all[i] = i;
    return all;
}

} // namespace

DateComponents LocalCalendar::components(TimePoint moment)
{
    const std::tm fields = localTime(moment);
    return {fields.tm_year + 1900, fields.tm_mon + 1, fields.tm_mday, fields.tm_hour, fields.tm_min, fields.tm_sec,
            fields.tm_wday + 1};
}

int LocalCalendar::weekday(int year, int month, int day)
{
    std::tm date{};
    date.tm_year = year - 1900;
    date.tm_mon = month - 1;
    date.tm_mday = day;
    date.tm_hour = 12;
    date.tm_isdst = -1;
    std::mktime(&date);
    return date.tm_wday + 1;
}

std::optional<TimePoint> LocalCalendar::nextDate(const DateComponents& matching, TimePoint after)
{
    const bool noHour = !matching.hour;
    const bool noMinute = !matching.minute;
    const bool noSecond = !matching.second;
    const bool timeGiven = !(noHour && noMinute && noSecond);
    // Below the smallest given time field: fixed at 0.
    const auto hours = candidates(matching.hour, !timeGiven, 24);
    const auto minutes = candidates(matching.minute, !timeGiven || (noMinute && !noHour && noSecond), 60);
    const auto seconds = candidates(matching.second, !timeGiven || (noSecond && !(noHour && noMinute)), 60);

    std::tm day = localTime(after);
    day.tm_hour = 12; // noon: stepping by days never crosses a daylight-saving change twice
    day.tm_min = day.tm_sec = 0;
    day.tm_isdst = -1;
    constexpr int kDaysSearched = 366 * 8 + 2;
    for (int step = 0; step < kDaysSearched; ++step, ++day.tm_mday) {
        day.tm_isdst = -1;
        std::mktime(&day); // normalises the day, month and year after the step
        if ((matching.year && *matching.year != day.tm_year + 1900) || (matching.month && *matching.month != day.tm_mon + 1)
            || (matching.day && *matching.day != day.tm_mday) || (matching.weekday && *matching.weekday != day.tm_wday + 1))
            continue;
        for (int hour : hours)
            for (int minute : minutes)
                for (int second : seconds) {
                    std::tm at = day;
                    at.tm_hour = hour;
                    at.tm_min = minute;
                    at.tm_sec = second;
                    at.tm_isdst = -1;
                    const std::time_t made = std::mktime(&at);
                    if (made == std::time_t(-1))
                        continue;
                    const TimePoint moment = std::chrono::system_clock::from_time_t(made);
                    // A time the clocks skip (spring forward) normalises to another hour: not a match.
                    if (moment > after && at.tm_hour == hour && at.tm_min == minute)
                        return moment;
                }
        if (matching.year && *matching.year < day.tm_year + 1900)
            return std::nullopt;
    }
    return std::nullopt;
}

} // namespace platform
