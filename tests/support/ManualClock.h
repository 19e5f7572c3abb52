#pragma once
// A clock that moves only when the test moves it. Install it with install(); it stays until
// the test process ends or another clock is installed.

#include "platform/Clock.h"

#include <atomic>
#include <memory>

namespace testsupport {

class ManualClock final : public platform::Clock {
public:
    explicit ManualClock(platform::TimePoint start = platform::TimePoint(std::chrono::hours(24 * 365 * 50)))
        : now_(start)
    {
    }
    // Makes a manual clock the platform's clock and returns it.
    static std::shared_ptr<ManualClock> install()
    {
        auto clock = std::make_shared<ManualClock>();
        platform::setClockForTesting(clock);
        return clock;
    }

    platform::TimePoint now() const override { return now_.load(); }
    void advance(std::chrono::system_clock::duration by) { now_ = now_.load() + by; }

private:
    std::atomic<platform::TimePoint> now_;
};

} // namespace testsupport
