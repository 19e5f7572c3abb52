#include "base/Config.h"
#include "contentserver/DownloadSizeRule.h"
#include "platform/Platform.h"
#include "tests/support/FakeReachability.h"

#include <gtest/gtest.h>

using platform::Reachability;
using testsupport::FakeReachability;

class ShouldAskBeforeDownload : public testing::Test {
protected:
    void SetUp() override
    {
        platform::Platform installed;
        installed.reachability = network;
        platform::install(std::move(installed));
    }

    void onCellular() { network->setFlags(Reachability::reachable | Reachability::isWWAN); }
    void onWifi() { network->setFlags(Reachability::reachable); }
    void set(const char* key, platform::PlistValue value) { sharedConfig().defaults.set(key, std::move(value)); }

    std::shared_ptr<FakeReachability> network = std::make_shared<FakeReachability>();
};

TEST_F(ShouldAskBeforeDownload, StrictComparisonsWithTheThresholdOfTheConnection)
{
    set("askumts", "50");
    set("askwifi", "100");
    onCellular();
    EXPECT_TRUE(shouldAskBeforeDownload(51));
    EXPECT_FALSE(shouldAskBeforeDownload(50));
    EXPECT_FALSE(shouldAskBeforeDownload(49.5));
    onWifi();
    EXPECT_FALSE(shouldAskBeforeDownload(51));
    EXPECT_TRUE(shouldAskBeforeDownload(100.5));
}

TEST_F(ShouldAskBeforeDownload, ZeroOrNegativeThresholdNeverAsks)
{
    set("askwifi", "0");
    set("askumts", "-5");
    onWifi();
    EXPECT_FALSE(shouldAskBeforeDownload(1e12));
    onCellular();
    EXPECT_FALSE(shouldAskBeforeDownload(1e12));
}

TEST_F(ShouldAskBeforeDownload, NoConnectionNeverAsks)
{
    set("askwifi", "1");
    set("askumts", "1");
    network->setFlags(Reachability::reachable | Reachability::connectionRequired);
    EXPECT_FALSE(shouldAskBeforeDownload(1e12));
    network->setUnreadable();
    EXPECT_FALSE(shouldAskBeforeDownload(1e12));
}

TEST_F(ShouldAskBeforeDownload, MissingNonTextOrUnreadableThresholdNeverAsks)
{
    onCellular();
    for (const char* text : {" 50", "50 ", "50MB", "", "abc", "0x32", "inf", "nan", "5e", "+-5", ".", "1e999"}) {
        set("askumts", text);
        EXPECT_FALSE(shouldAskBeforeDownload(1e300)) << '"' << text << '"';
    }
    set("askumts", platform::PlistValue(50));
    EXPECT_FALSE(shouldAskBeforeDownload(51));
    sharedConfig().defaults.registerDefaults({{"askumts", platform::PlistValue(50)}});
    sharedConfig().defaults.remove("askumts");
    EXPECT_FALSE(shouldAskBeforeDownload(51));
}

TEST(ParseThreshold, SignFractionAndExponentAndNothingElse)
{
    EXPECT_EQ(parseThreshold("50"), 50.0);
    EXPECT_EQ(parseThreshold("+50"), 50.0);
    EXPECT_EQ(parseThreshold("5e1"), 50.0);
    EXPECT_EQ(parseThreshold("-2.5E+2"), -250.0);
    EXPECT_EQ(parseThreshold(".5"), 0.5);
    EXPECT_EQ(parseThreshold("5."), 5.0);
    for (const char* text : {" 50", "50 ", "50MB", "", "+", "-", ".", "e5", "5e", "5e+", "++5", "0x10", "inf", "NaN",
                             "5,5", "1e999"})
        EXPECT_EQ(parseThreshold(text), std::nullopt) << '"' << text << '"';
}
