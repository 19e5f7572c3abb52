#include "platform/Reachability.h"

namespace platform {

std::optional<std::uint32_t> Reachability::flags() const
{
    const auto raw = flagsImpl();
    if (!raw)
        return std::nullopt;
    return *raw & (reachable | connectionRequired | isWWAN);
}

} // namespace platform
