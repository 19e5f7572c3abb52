#include "platform/Platform.h"

#include "platform/linux/NetworkMonitorReachability.h"

namespace platform {

Platform makeLinuxPlatform()
{
    Platform linux;
    linux.reachability = std::make_shared<NetworkMonitorReachability>();
    return linux;
}

} // namespace platform
