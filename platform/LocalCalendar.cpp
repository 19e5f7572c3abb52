#include "platform/LocalCalendar.h"

#include <algorithm>
#include <chrono>
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

// How many years the Gregorian calendar takes to repeat its dates on the same weekdays.
constexpr int kGregorianCycleYears = 400;

bool inRange(const std::optional<int>& field, int low, int high)
{
    return !field || (*field >= low && *field <= high);
}

int daysInMonth(int year, int month)
{
    using namespace std::chrono;
    return static_cast<int>(unsigned(year_month_day_last(std::chrono::year(year), month_day_last(std::chrono::month(month))).day()));
}

// 1 = Sunday to 7 = Saturday.
int weekdayOf(int year, int month, int day)
{
    using namespace std::chrono;
    const sys_days date = year_month_day(std::chrono::year(year), std::chrono::month(month), std::chrono::day(day));
    return static_cast<int>(weekday(date).c_encoding()) + 1;
}

// The last second a TimePoint holds (in the year 2262).
const std::time_t kLatest = std::chrono::system_clock::to_time_t(TimePoint::max());

// The times of day to try, in order.
struct DayTimes {
    std::vector<int> hours, minutes, seconds;
};

// The first of `times` on the given local day that is after `after`.
std::optional<TimePoint> firstTimeOn(int year, int month, int day, const DayTimes& times, TimePoint after)
{
    for (int hour : times.hours)
        for (int minute : times.minutes)
            for (int second : times.seconds) {
                std::tm at{};
                at.tm_year = year - 1900;
                at.tm_mon = month - 1;
                at.tm_mday = day;
                at.tm_hour = hour;
                at.tm_min = minute;
                at.tm_sec = second;
                at.tm_isdst = -1;
                const std::time_t made = std::mktime(&at);
                if (made == std::time_t(-1) || made > kLatest)
                    continue;
                const TimePoint moment = std::chrono::system_clock::from_time_t(made);
                // A time the clocks skip (spring forward) normalises to another hour: not a match.
                if (moment > after && at.tm_hour == hour && at.tm_min == minute)
                    return moment;
            }
    return std::nullopt;
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
    if (!inRange(matching.year, int(std::chrono::year::min()), int(std::chrono::year::max()))
        || !inRange(matching.month, 1, 12) || !inRange(matching.day, 1, 31) || !inRange(matching.weekday, 1, 7)
        || !inRange(matching.hour, 0, 23) || !inRange(matching.minute, 0, 59) || !inRange(matching.second, 0, 59))
        return std::nullopt;
    const bool noHour = !matching.hour;
    const bool noMinute = !matching.minute;
    const bool noSecond = !matching.second;
    const bool timeGiven = !(noHour && noMinute && noSecond);
    // Below the smallest given time field: fixed at 0.
    const DayTimes times{candidates(matching.hour, !timeGiven, 24),
                         candidates(matching.minute, !timeGiven || (noMinute && !noHour && noSecond), 60),
                         candidates(matching.second, !timeGiven || (noSecond && !(noHour && noMinute)), 60)};

    // The matching days in order from the day of `after`, each tried for its times. Without a
    // year the dates repeat, weekdays and all, every 400 years: a date not found by then never comes.
    const std::tm start = localTime(after);
    const int firstYear = start.tm_year + 1900;
    const int firstMonth = start.tm_mon + 1;
    if (matching.year && *matching.year < firstYear)
        return std::nullopt;
    const int lastYear =
        std::min(matching.year ? *matching.year : firstYear + kGregorianCycleYears, localTime(TimePoint::max()).tm_year + 1900);
    for (int year = matching.year.value_or(firstYear); year <= lastYear; ++year) {
        for (int month = matching.month.value_or(1); month <= matching.month.value_or(12); ++month) {
            const bool startMonth = year == firstYear && month == firstMonth;
            if (year == firstYear && month < firstMonth)
                continue;
            const int first = startMonth ? start.tm_mday : 1;
            const int last = daysInMonth(year, month);
            const int from = matching.day.value_or(first);
            const int to = matching.day.value_or(last);
            if (from < first || to > last)
                continue;
            // With a weekday and no day, only every seventh day can match.
            int day = from;
            int step = 1;
            if (matching.weekday && !matching.day) {
                day += (*matching.weekday - weekdayOf(year, month, day) + 7) % 7;
                step = 7;
            }
            for (; day <= to; day += step) {
                if (matching.weekday && weekdayOf(year, month, day) != *matching.weekday)
                    continue;
                if (const auto moment = firstTimeOn(year, month, day, times, after))
                    return moment;
            }
        }
    }
    return std::nullopt;
}

} // namespace platform
