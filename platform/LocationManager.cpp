#include "platform/LocationManager.h"

#include <cstdio>
#include <ctime>

namespace platform {

std::string Location::description() const
{
    const std::time_t seconds = std::chrono::system_clock::to_time_t(timestamp);
    std::tm local{};
    localtime_r(&seconds, &local);
    char when[40];
    std::strftime(when, sizeof when, "%Y-%m-%d %H:%M:%S %z", &local);
    char text[200];
    std::snprintf(text, sizeof text, "<%+.8f,%+.8f> +/- %.2fm (speed %.2f mps / course %.2f) @ %s", latitude,
                  longitude, horizontalAccuracy, speed, course, when);
    return text;
}

} // namespace platform
