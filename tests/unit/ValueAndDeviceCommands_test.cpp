#include "base/Config.h"
#include "platform/Platform.h"
#include "portable/Bundle.h"
#include "portable/Device.h"
#include "tests/support/FakeBridgeScreen.h"
#include "tests/support/FakeReachability.h"
#include "tests/support/LogCapture.h"
#include "tests/support/TestEnvironment.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

using platform::Reachability;
using testsupport::callbackScript;
using testsupport::FakeBridgeScreen;
using testsupport::FakeReachability;
using testsupport::LogCapture;
using Level = Logger::Level;
using Strings = std::vector<std::string>;

namespace {

class StoredValues : public testing::Test {
protected:
    Strings run(const std::string& command) { return testsupport::runCommand(screen, command); }
    platform::SettingsStore& settings() { return sharedConfig().defaults; }

    FakeBridgeScreen screen;
};

class DeviceInformation : public StoredValues {
protected:
    DeviceInformation()
    {
        platform::Platform installed;
        installed.reachability = network;
        platform::install(std::move(installed));
        network->setFlags(Reachability::reachable);
    }

    std::shared_ptr<FakeReachability> network = std::make_shared<FakeReachability>();
};

// A bundle whose Info.plist has the short version `version`.
void useBundleWithVersion(const std::string& version)
{
    const auto folder = testsupport::makeTemporaryFolder("bundle-" + version);
    testsupport::writeFile(folder / "Info.plist",
                           "<?xml version=\"1.0\" encoding=\"UTF-8\"?><plist version=\"1.0\"><dict>"
                           "<key>CFBundleShortVersionString</key><string>" + version + "</string></dict></plist>");
    platform::Bundle::setMainForTesting(folder);
}

} // namespace

TEST_F(StoredValues, SetGetAndRemoveAValue)
{
    EXPECT_EQ(run("setValue?lang=color&value=red"), Strings{});
    EXPECT_EQ(settings().string("cli_color"), "red");
    EXPECT_EQ(run("getValue?key=color&callback=f"), Strings{callbackScript("f", R"({"value":"red"})")});
    run("setValue?lang=color&value=");
    EXPECT_EQ(settings().object("cli_color"), std::nullopt);
    EXPECT_EQ(run("getValue?key=color&callback=f"), Strings{callbackScript("f", R"({"value":null})")});
}

// A value with a quote and a line break reached the page as broken JSON.
TEST_F(StoredValues, ValueWithQuoteAndLineBreakRoundTrips)
{
    run("setValue?lang=note&value=say%20%22hi%22%0Aand+go%2Fon");
    const std::string reply = R"({"value":"say \"hi\"\nand+go\/on"})";
    EXPECT_EQ(run("getValue?key=note&callback=f"), Strings{callbackScript("f", reply)});
    EXPECT_EQ(nlohmann::json::parse(reply)["value"], "say \"hi\"\nand+go/on");
}

TEST_F(StoredValues, SetValueReadsTheNameFromLangAndNeedsBothValues)
{
    LogCapture log;
    run("setValue?key=color&value=red");
    // The log line is the behaviour here: nothing else is observable.
    EXPECT_TRUE(log.has(Level::Error, "Error setting language no lang parameter found"));
    run("setValue?lang=color&value");
    run("setValue?lang&value=red");
    run("setValue?lang=color");
    EXPECT_EQ(settings().object("cli_color"), std::nullopt);
}

TEST_F(StoredValues, GetValueParameterRules)
{
    LogCapture log;
    EXPECT_EQ(run("getValue?key=color"), Strings{});
    EXPECT_EQ(run("getValue?callback=f"), Strings{});
    // The log line is the behaviour here: nothing else is observable.
    EXPECT_TRUE(log.has(Level::Error, "Error getting value no value found"));
    // A valueless key is answered, unlike a missing one.
    EXPECT_EQ(run("getValue?key&callback=f"), Strings{callbackScript("f", R"({"value":null})")});
}

TEST_F(StoredValues, SetLangStoresClang)
{
    run("setLang?lang=fr");
    EXPECT_EQ(settings().string("clang"), "fr");
    LogCapture log;
    run("setLang?lang");
    run("setLang?x=1");
    EXPECT_EQ(settings().string("clang"), "fr");
    // The log line is the behaviour here: nothing else is observable.
    EXPECT_TRUE(log.has(Level::Error, "Error setting language no lang parameter found"));
}

// A setting of another type than text stopped the process in a getter.
TEST_F(StoredValues, SettingOfAnotherTypeEndsAGetterWithoutReply)
{
    settings().set("uuid", 5);
    settings().set("user", platform::PlistValue::stringArray({"a"}));
    settings().set("lastnonce", true);
    settings().set("lastUpdateCheck", platform::PlistDate{});
    settings().set("cli_n", 3.5);
    for (const char* command : {"getUuid?callback=f", "getUser?callback=f", "getLastNonce?callback=f",
                                "getLastSyncDate?callback=f", "getValue?key=n&callback=f"})
        EXPECT_EQ(run(command), Strings{}) << command;
}

TEST_F(StoredValues, StoredTextGettersAndTheirEmptyForms)
{
    settings().set("uuid", "u-1");
    settings().set("lastUpdateCheck", "20240307090503");
    EXPECT_EQ(run("getUuid?callback=f"), Strings{callbackScript("f", R"({"uuid":"u-1"})")});
    EXPECT_EQ(run("getLastSyncDate?callback=f"), Strings{callbackScript("f", R"({"lastSyncDate":"20240307090503"})")});
    // The registered "user" is the empty text.
    EXPECT_EQ(run("getUser?callback=f"), Strings{callbackScript("f", R"({"user":""})")});
    EXPECT_EQ(run("getLastNonce?callback=f"), Strings{callbackScript("f", R"({"lastNonce":""})")});
    settings().set("lastnonce", "n0");
    EXPECT_EQ(run("getLastNonce?callback=f"), Strings{callbackScript("f", R"({"lastNonce":"n0"})")});
    settings().remove("lastUpdateCheck");
    EXPECT_EQ(run("getLastSyncDate?callback=f"), Strings{});
}

// A user name with a double quote gave the page a reply that was no JSON.
TEST_F(StoredValues, StoredTextWithQuoteGivesValidJSON)
{
    settings().set("user", "Ann \"A\" O'Neil\\");
    const auto scripts = run("getUser?callback=f");
    const std::string reply = R"({"user":"Ann \"A\" O'Neil\\"})";
    EXPECT_EQ(scripts, Strings{callbackScript("f", reply)});
    EXPECT_EQ(nlohmann::json::parse(reply)["user"], "Ann \"A\" O'Neil\\");
}

TEST_F(StoredValues, MissingOrValuelessCallback)
{
    const struct {
        const char* command;
        const char* logged;
    } cases[] = {
        // An empty query reads every parameter as missing.
        {"getUuid?", "Error getting uuid no parameter found"},
        {"getUuid?x=1", "Error getting uuid no parameter found"},
        {"getLastNonce?x=1", "Error getting lastNonce no parameter found"},
        {"getLastSyncDate?x=1", "Error setting lastupdate no parameter found"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.command);
        LogCapture log;
        EXPECT_EQ(run(c.command), Strings{});
        // The log line is the behaviour here: nothing else is observable.
        EXPECT_TRUE(log.has(Level::Error, c.logged));
    }
    // The item is there but names no function: nothing is called.
    EXPECT_EQ(run("getUuid?callback"), Strings{});
}

TEST_F(DeviceInformation, OsVersionKeepsTheSystemWordAndItsBlanks)
{
    const std::string version = platform::systemVersion();
    ASSERT_FALSE(version.empty());
    EXPECT_EQ(run("getOsVersion?callback=f"),
              Strings{callbackScript("f", R"({"os":"ios", "version": ")" + version + "\"}")});
    LogCapture log;
    EXPECT_EQ(run("getOsVersion?x"), Strings{});
    // The log line is the behaviour here: nothing else is observable.
    EXPECT_TRUE(log.has(Level::Error, "Error setting osVersion no callback found"));
}

TEST_F(DeviceInformation, ContainerVersionDropsTheLastComponent)
{
    useBundleWithVersion("2.3.1");
    EXPECT_EQ(run("getContainerVersion?callback=f"), Strings{callbackScript("f", R"({"containerVersion":"2.3"})")});
    useBundleWithVersion("2.3");
    EXPECT_EQ(run("getContainerVersion?callback=f"), Strings{callbackScript("f", R"({"containerVersion":"2"})")});
    useBundleWithVersion("7");
    EXPECT_EQ(run("getContainerVersion?callback=f"), Strings{});
}

TEST_F(DeviceInformation, AppStateIsOfflineWheneverTheNetworkIsUnreachable)
{
    sharedConfig().appState = Config::appStateEnum::PENDING;
    EXPECT_EQ(run("getAppState?callback=f"), Strings{callbackScript("f", R"({"appState":"full"})")});
    network->setFlags(Reachability::reachable | Reachability::connectionRequired);
    EXPECT_EQ(run("getAppState?callback=f"), Strings{callbackScript("f", R"({"appState":"offline"})")});
    network->setFlags(Reachability::reachable);
    sharedConfig().appState = Config::appStateEnum::OFFLINE;
    EXPECT_EQ(run("getAppState?callback=f"), Strings{callbackScript("f", R"({"appState":"fresh"})")});
}

TEST_F(DeviceInformation, OnlineAndNFCFlags)
{
    EXPECT_EQ(run("isOnline?callback=f"), Strings{callbackScript("f", R"({"isOnline":"Y"})")});
    network->setUnreadable();
    EXPECT_EQ(run("isOnline?callback=f"), Strings{callbackScript("f", R"({"isOnline":"N"})")});
    EXPECT_EQ(run("getIsAbleToNFC?callback=f"), Strings{callbackScript("f", R"({"isAbleToNFC":"N"})")});
    EXPECT_EQ(run("getIsAbleToNFC"), Strings{});
}
