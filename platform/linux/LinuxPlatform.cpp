#include "platform/Platform.h"

namespace platform {

Platform makeLinuxPlatform()
{
    Platform linux;
    return linux;
}

} // namespace platform
