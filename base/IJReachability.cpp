#include "base/IJReachability.h"

#include "platform/Platform.h"

#include <cstdint>
#include <optional>

namespace {

std::optional<std::uint32_t> readFlags()
{
    const auto& reachability = platform::current().reachability;
    if (!reachability)
        return std::nullopt;
    return reachability->flags();
}

} // namespace

bool IJReachability::isConnectedToNetwork()
{
    using platform::Reachability;
    const auto flags = readFlags();
    return flags
        && (*flags & (Reachability::reachable | Reachability::connectionRequired)) == Reachability::reachable;
}

IJReachabilityType IJReachability::isConnectedToNetworkOfType()
{
    using platform::Reachability;
    if (!isConnectedToNetwork())
        return IJReachabilityType::notConnected;
    // Read again: the connection may have changed since.
    const auto flags = readFlags();
    if (!flags || !(*flags & Reachability::reachable))
        return IJReachabilityType::notConnected;
    return (*flags & Reachability::isWWAN) ? IJReachabilityType::wwan : IJReachabilityType::wiFi;
}
