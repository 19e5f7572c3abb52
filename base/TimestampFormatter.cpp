#include "base/TimestampFormatter.h"

#include "base/SharedInstances.h"

#include <cstdio>
#include <ctime>

std::string TimestampFormatter::string(platform::TimePoint time) const
{
    const std::time_t seconds = std::chrono::system_clock::to_time_t(time);
    std::tm local{};
    localtime_r(&seconds, &local);
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%04d%02d%02d%02d%02d%02d", local.tm_year + 1900, local.tm_mon + 1,
                  local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
    return buffer;
}

std::optional<platform::TimePoint> TimestampFormatter::date(const std::string& text) const
{
    if (text.size() != 14)
        return std::nullopt;
    for (char c : text)
        if (c < '0' || c > '9')
            return std::nullopt;
    auto number = [&](std::size_t pos, std::size_t len) { return std::stoi(text.substr(pos, len)); };
    std::tm local{};
    local.tm_year = number(0, 4) - 1900;
    local.tm_mon = number(4, 2) - 1;
    local.tm_mday = number(6, 2);
    local.tm_hour = number(8, 2);
    local.tm_min = number(10, 2);
    local.tm_sec = number(12, 2);
    local.tm_isdst = -1;
    const std::tm asGiven = local;
    const std::time_t seconds = std::mktime(&local);
    // mktime normalizes out-of-range fields (month 13, hour 25); such texts are no dates.
    if (seconds == static_cast<std::time_t>(-1) || local.tm_year != asGiven.tm_year || local.tm_mon != asGiven.tm_mon
        || local.tm_mday != asGiven.tm_mday || local.tm_min != asGiven.tm_min || local.tm_sec != asGiven.tm_sec)
        return std::nullopt;
    return std::chrono::system_clock::from_time_t(seconds);
}

const TimestampFormatter& timestampFormatter()
{
    return SharedInstances::get<TimestampFormatter>();
}
