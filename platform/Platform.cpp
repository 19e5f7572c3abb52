#include "platform/Platform.h"

#include <mutex>

namespace platform {
namespace {

std::once_flag gDefaultOnce;
Platform* gPlatform = nullptr;

} // namespace

Platform& current()
{
    std::call_once(gDefaultOnce, [] {
        if (!gPlatform)
            gPlatform = new Platform(makeLinuxPlatform());
    });
    return *gPlatform;
}

void install(Platform platform)
{
    // Replaced in place, so a reference taken from current() stays valid.
    if (gPlatform)
        *gPlatform = std::move(platform);
    else
        gPlatform = new Platform(std::move(platform));
}

} // namespace platform
