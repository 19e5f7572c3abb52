#pragma once
// The one formatter of stored times: "yyyyMMddHHmmss" in local time, Gregorian calendar,
// ASCII digits whatever the locale. Safe from any thread: it keeps no state.

#include "platform/Clock.h"

#include <optional>
#include <string>

class TimestampFormatter {
public:
    std::string string(platform::TimePoint time) const;
    // Exactly fourteen digits naming a valid local time; nothing otherwise.
    std::optional<platform::TimePoint> date(const std::string& text) const;
};

// The shared formatter, built by the composition root. Safe from any thread.
const TimestampFormatter& timestampFormatter();
