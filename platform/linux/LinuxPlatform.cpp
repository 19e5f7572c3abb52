#include "platform/Platform.h"

#include "platform/linux/CurlUrlSession.h"

namespace platform {

Platform makeLinuxPlatform()
{
    Platform linux;
    linux.makeUrlSession = [](UrlSessionConfiguration configuration) -> std::shared_ptr<UrlSession> {
        return std::make_shared<CurlUrlSession>(std::move(configuration));
    };
    return linux;
}

} // namespace platform
