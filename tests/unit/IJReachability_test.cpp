#include "base/IJReachability.h"
#include "platform/Platform.h"
#include "tests/support/FakeReachability.h"

#include <gtest/gtest.h>

using platform::Reachability;
using testsupport::FakeReachability;

namespace {

std::shared_ptr<FakeReachability> installFake()
{
    auto fake = std::make_shared<FakeReachability>();
    platform::Platform installed;
    installed.reachability = fake;
    platform::install(std::move(installed));
    return fake;
}

} // namespace

TEST(IJReachability, ClassesFromFlags)
{
    auto fake = installFake();
    struct Case {
        std::uint32_t flags;
        bool connected;
        IJReachabilityType type;
    };
    const Case cases[] = {
        {Reachability::reachable, true, IJReachabilityType::wiFi},
        {Reachability::reachable | Reachability::isWWAN, true, IJReachabilityType::wwan},
        {Reachability::reachable | Reachability::connectionRequired, false, IJReachabilityType::notConnected},
        {Reachability::connectionRequired, false, IJReachabilityType::notConnected},
        {Reachability::isWWAN, false, IJReachabilityType::notConnected},
        {0, false, IJReachabilityType::notConnected},
        // Bits other than the three are ignored.
        {Reachability::reachable | 0x1 | 0x8, true, IJReachabilityType::wiFi},
        {0x1 | 0x8 | 0x10000, false, IJReachabilityType::notConnected},
    };
    for (const auto& c : cases) {
        fake->setFlags(c.flags);
        EXPECT_EQ(IJReachability::isConnectedToNetwork(), c.connected) << std::hex << c.flags;
        EXPECT_EQ(IJReachability::isConnectedToNetworkOfType(), c.type) << std::hex << c.flags;
    }
}

TEST(IJReachability, UnreadableFlagsOrNoReachabilityMeanNotConnected)
{
    auto fake = installFake();
    fake->setFlags(Reachability::reachable);
    fake->setUnreadable();
    EXPECT_FALSE(IJReachability::isConnectedToNetwork());
    EXPECT_EQ(IJReachability::isConnectedToNetworkOfType(), IJReachabilityType::notConnected);

    platform::install(platform::Platform{});
    EXPECT_FALSE(IJReachability::isConnectedToNetwork());
    EXPECT_EQ(IJReachability::isConnectedToNetworkOfType(), IJReachabilityType::notConnected);
}
