// The composition root: the shared instances it builds, and a start-up it refuses.
#include "app/CompositionRoot.h"
#include "base/Config.h"
#include "base/LocalizedTexts.h"
#include "base/SharedInstances.h"
#include "contentserver/ServerCom.h"
#include "portable/Bundle.h"
#include "portable/NotificationCenter.h"
#include "tests/support/TestEnvironment.h"
#include "tests/support/TestIsolation.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace fs = std::filesystem;
using testing::HasSubstr;

TEST(CompositionRoot, BuildsEachSharedInstanceAfterWhatItReads)
{
    EXPECT_EQ(bundleID(), "org.webcontainer.app");
    // The server client takes its staging folder from the configuration built before it.
    EXPECT_EQ(sharedServerCom().TMPWWWROOT, sharedConfig().WEBROOT + "-1");
    // The platform's posters and the system's observers meet in one centre.
    EXPECT_EQ(&sharedNotificationCenter(), &platform::NotificationCenter::defaultCenter());
    EXPECT_EQ(sharedConfig().defaults.file(),
              fs::path(std::getenv("XDG_CONFIG_HOME")) / "org.webcontainer.app" / "org.webcontainer.app.plist");
}

// A rebuild (as between two tests of one process) starts from nothing the last build held.
TEST(CompositionRoot, ARebuildKeepsNothingOfTheLastBuild)
{
    sharedConfig().stackOfJScript.lock()->push("left over");
    sharedConfig().defaults.registerDefaults({{"registered", "left over"}});
    int observed = 0;
    sharedNotificationCenter().addObserver(&observed, "note", [&](const platform::Notification&) { ++observed; });
    const auto englishTitle = JS_ALERT_TITLES().at("ERROR");

    testsupport::ScopedEnvironment german{{"LANG", "de_DE.UTF-8"}};
    testsupport::rebuildSharedInstances();
    EXPECT_TRUE(sharedConfig().stackOfJScript.lock()->items.empty());
    EXPECT_FALSE(sharedConfig().defaults.string("registered"));
    sharedNotificationCenter().post("note");
    platform::NotificationCenter::defaultCenter().post("note");
    EXPECT_EQ(observed, 0);
    EXPECT_EQ(englishTitle, "Error");
    EXPECT_EQ(JS_ALERT_TITLES().at("ERROR"), "Fehler");
}

// A bundle without a readable "DefaultPreferences.plist" cannot start: the root says why and
// leaves nothing built (main() prints the message and exits with status 1).
TEST(CompositionRoot, RefusesABundleWithoutReadableDefaultPreferences)
{
    for (const auto& broken : testsupport::brokenDefaultPreferences()) {
        const auto bundle = testsupport::makeTemporaryFolder("broken-bundle");
        testsupport::copyBundleWithPreferences(bundle, broken.contents);
        platform::Bundle::setMainForTesting(bundle);
        CompositionRoot::tearDown();

        const auto failure = CompositionRoot::build();
        ASSERT_TRUE(failure) << broken.name;
        EXPECT_THAT(failure->message, HasSubstr("DefaultPreferences.plist is missing or is not a dictionary"))
            << broken.name;
        EXPECT_THAT(failure->message, HasSubstr((bundle / "DefaultPreferences.plist").string())) << broken.name;
        EXPECT_FALSE(SharedInstances::has<MainBundleIdentifier>()) << broken.name;
        EXPECT_FALSE(SharedInstances::has<Config>()) << broken.name;
    }
}
