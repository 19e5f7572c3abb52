#include "base/Config.h"
#include "base/LocalizedTexts.h"
#include "base/SharedInstances.h"
#include "portable/Bundle.h"
#include "portable/Paths.h"
#include "tests/support/TestEnvironment.h"

#include <gtest/gtest.h>

#include <set>
#include <thread>

TEST(Config, AppStateRawValuesAreExact)
{
    EXPECT_EQ(Config::rawValue(Config::appStateEnum::FRESH), "fresh");
    EXPECT_EQ(Config::rawValue(Config::appStateEnum::PENDING), "full");
    EXPECT_EQ(Config::rawValue(Config::appStateEnum::OFFLINE), "offline");
    EXPECT_EQ(Config::appStateFromRawValue("full"), Config::appStateEnum::PENDING);
    EXPECT_FALSE(Config::appStateFromRawValue("FULL"));
    EXPECT_FALSE(Config::appStateFromRawValue("pending"));
}

TEST(Config, UtilsStackPopsLastPushedFirst)
{
    UtilsStack<std::string> stack;
    EXPECT_FALSE(stack.pop());
    EXPECT_TRUE(stack.items.empty());
    for (auto s : {"a", "b", "c"})
        stack.push(s);
    EXPECT_EQ(stack.pop(), "c");
    EXPECT_EQ(stack.pop(), "b");
    EXPECT_EQ(stack.pop(), "a");
    EXPECT_FALSE(stack.pop());
}

TEST(Config, FoldersLieInTheApplicationSupportFolderAndAreNotCreated)
{
    Config& config = sharedConfig();
    const auto support = platform::paths::dataHome() / "org.webcontainer.app";
    EXPECT_EQ(config.BASEURL, support);
    EXPECT_EQ(config.WEBROOT, (support / "www").string());
    EXPECT_EQ(config.SYNCURL, support / "sync");
    EXPECT_EQ(config.UPLOADURL, support / "www" / "upload");
    EXPECT_FALSE(std::filesystem::exists(support));
    EXPECT_EQ(bundleID(), "org.webcontainer.app");
    EXPECT_EQ(config.appState.load(), Config::appStateEnum::FRESH);
    EXPECT_EQ(config.updateSilentMode.load(), Config::UPDATE_SILENT_MODE_OFF);
    EXPECT_EQ(config.URLschemeLanding.get(), "");
}

TEST(Config, RegistersTheBundledDefaultPreferences)
{
    Config& config = sharedConfig();
    for (auto key : {"serverprotocol", "servername", "serverpath", "serverfile", "app", "date", "full", "uuid"})
        EXPECT_TRUE(config.defaults.string(key)) << key;
    // Registered values are defaults: a stored one wins, and removing it uncovers the default.
    const auto registered = config.defaults.string("servername");
    config.defaults.set("servername", "example.org");
    EXPECT_EQ(config.defaults.string("servername"), "example.org");
    config.defaults.removeAll();
    EXPECT_EQ(config.defaults.string("servername"), registered);
}

TEST(Config, ConcurrentFirstUseGivesOneObject)
{
    std::vector<std::thread> threads;
    std::vector<Config*> seen(8);
    for (int i = 0; i < 8; ++i)
        threads.emplace_back([&, i] { seen[i] = &sharedConfig(); });
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(std::set<Config*>(seen.begin(), seen.end()).size(), 1u);
}

TEST(Config, GuardedFieldsTakeWritesFromManyThreads)
{
    Config& config = sharedConfig();
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < 100; ++i) {
                config.stackOfJScript.lock()->push("s");
                config.runningDownloads.lock()->push_back("d");
            }
        });
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(config.stackOfJScript.lock()->items.size(), 800u);
    EXPECT_EQ(config.runningDownloads.get().size(), 800u);
}

TEST(LocalizedTexts, TitlesFollowTheLanguageAndMissingKeysShowTheKey)
{
    testsupport::ScopedEnvironment env{{"LANG", "de_DE.UTF-8"}};
    EXPECT_EQ(JS_ALERT_TITLES().at("ERROR"), "Fehler");
    EXPECT_EQ(JS_ALERT_TITLES().size(), 4u);
    EXPECT_EQ(localizedString("NO_SUCH_KEY"), "NO_SUCH_KEY");
    EXPECT_TRUE(PRODUCT_IDENTIFIERS().empty());
}

TEST(LocalizedTexts, AKeyMissingFromTheTablesShowsTheKey)
{
    auto bundle = testsupport::makeTemporaryFolder("bare-bundle");
    testsupport::writeFile(bundle / "en.lproj" / "Localizable.strings", "\"JS_ALERT_TITLE_INFO\" = \"Info\";");
    platform::Bundle::setMainForTesting(bundle);
    EXPECT_EQ(JS_ALERT_TITLES().at("INFO"), "Info");
    EXPECT_EQ(JS_ALERT_TITLES().at("WARN"), "JS_ALERT_TITLE_WARN");
    EXPECT_EQ(UP_TO_DATE(), "UP_TO_DATE");
}
