#include "platform/linux/NetworkMonitorReachability.h"

#include <gio/gio.h>

namespace platform {

std::optional<std::uint32_t> NetworkMonitorReachability::flagsImpl() const
{
    // Owned by GIO and never released; the getters read the monitor's current state.
    GNetworkMonitor* monitor = g_network_monitor_get_default();
    if (!monitor)
        return std::nullopt;
    std::uint32_t flags = 0;
    if (g_network_monitor_get_network_available(monitor))
        flags |= reachable;
    if (g_network_monitor_get_network_metered(monitor))
        flags |= isWWAN;
    return flags;
}

} // namespace platform
