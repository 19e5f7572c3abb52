#pragma once
// The one formatter of stored times: "yyyyMMddHHmmss" in local time, Gregorian calendar,
// ASCII digits whatever the locale. Safe from any thread: it keeps no state, and the shared
// formatter is made once and never destroyed.

#include "platform/Clock.h"

#include <optional>
#include <string>

class TimestampFormatter {
public:
    std::string string(platform::TimePoint time) const;
    // Exactly fourteen digits naming a valid local time; nothing otherwise.
    std::optional<platform::TimePoint> date(const std::string& text) const;
};

const TimestampFormatter& timestampFormatter();
