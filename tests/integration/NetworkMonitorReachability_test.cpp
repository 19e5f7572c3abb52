#include "base/IJReachability.h"
#include "platform/Platform.h"

#include <gio/gio.h>
#include <gtest/gtest.h>

// The Linux platform reads GIO's network monitor: an available network is reachable, a metered
// one cellular.
TEST(NetworkMonitorReachability, LinuxPlatformReportsWhatGioSees)
{
    platform::install(platform::makeLinuxPlatform());
    ASSERT_TRUE(platform::current().reachability);
    const auto flags = platform::current().reachability->flags();
    ASSERT_TRUE(flags);

    GNetworkMonitor* monitor = g_network_monitor_get_default();
    const bool available = g_network_monitor_get_network_available(monitor);
    const bool metered = g_network_monitor_get_network_metered(monitor);
    EXPECT_EQ(IJReachability::isConnectedToNetwork(), available);
    EXPECT_EQ(IJReachability::isConnectedToNetworkOfType(),
              !available ? IJReachabilityType::notConnected
                         : (metered ? IJReachabilityType::wwan : IJReachabilityType::wiFi));
}
