#include "platform/Platform.h"

#include "platform/linux/CurlUrlSession.h"
#include "platform/linux/GtkToast.h"
#include "platform/linux/NetworkMonitorReachability.h"

namespace platform {

Platform makeLinuxPlatform()
{
    Platform linux;
    linux.reachability = std::make_shared<NetworkMonitorReachability>();
    linux.makeUrlSession = [](UrlSessionConfiguration configuration) -> std::shared_ptr<UrlSession> {
        return std::make_shared<CurlUrlSession>(std::move(configuration));
    };
    linux.toast = std::make_shared<GtkToast>();
    return linux;
}

} // namespace platform
