#include "platform/Platform.h"

namespace platform {
namespace {

// Never destroyed: threads that outlive main() may still ask for it.
Platform& instance()
{
    static Platform* platform = new Platform();
    return *platform;
}

} // namespace

Platform& current()
{
    return instance();
}

void install(Platform platform)
{
    // Replaced in place, so a reference taken from current() stays valid.
    instance() = std::move(platform);
}

} // namespace platform
