#include "platform/Clock.h"

#include <mutex>

namespace platform {
namespace {

std::mutex gClockMutex;
std::shared_ptr<Clock> gClock; // nullptr: the system clock

} // namespace

TimePoint now()
{
    std::shared_ptr<Clock> clock;
    {
        std::lock_guard lock(gClockMutex);
        clock = gClock;
    }
    return clock ? clock->now() : std::chrono::system_clock::now();
}

void setClockForTesting(std::shared_ptr<Clock> clock)
{
    std::lock_guard lock(gClockMutex);
    gClock = std::move(clock);
}

} // namespace platform
