#pragma once
// The wall clock the system reads. Tests install a clock they move by hand.

#include <chrono>
#include <memory>

namespace platform {

using TimePoint = std::chrono::system_clock::time_point;

class Clock {
public:
    virtual ~Clock() = default;
    virtual TimePoint now() const = 0;
};

// The installed clock's current time. Safe from any thread.
TimePoint now();
// Replaces the clock (nullptr restores the system clock). Tests only.
void setClockForTesting(std::shared_ptr<Clock> clock);

} // namespace platform
