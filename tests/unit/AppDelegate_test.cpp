// The launch, the first-run install and the life cycle of the application delegate.
#include "app/AppDelegate.h"
#include "app/SplashViewController.h"
#include "base/Config.h"
#include "base/LocalizedTexts.h"
#include "base/TimestampFormatter.h"
#include "portable/Bundle.h"
#include "portable/Dispatch.h"
#include "portable/NotificationCenter.h"
#include "tests/support/FakePlatform.h"
#include "tests/support/FakeWindow.h"
#include "tests/support/LogCapture.h"
#include "tests/support/ManualClock.h"
#include "tests/support/TestEnvironment.h"
#include "tests/support/ZipBuilder.h"
#include "webcontainer/ViewController.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/xattr.h>

namespace fs = std::filesystem;
using testing::ElementsAre;
using testsupport::readFile;
using testsupport::useBundleWithArchive;
using testsupport::writeFile;

namespace {

// True when the file system of `path` keeps user extended attributes.
bool supportsUserAttributes(const fs::path& path)
{
    const fs::path probe = path / ".xattr-probe";
    writeFile(probe, "");
    const bool supported = ::setxattr(probe.c_str(), "user.probe", "1", 1, 0) == 0;
    fs::remove(probe);
    return supported;
}

std::string backupAttribute(const fs::path& path)
{
    char value[16] = {};
    const auto size = ::getxattr(path.c_str(), "user.xdg.robots.backup", value, sizeof value);
    return size < 0 ? "" : std::string(value, static_cast<std::size_t>(size));
}

class AppDelegateTest : public testing::Test {
protected:
    void launch(const platform::LaunchOptions& options = {})
    {
        fakes.application->run(0, nullptr, delegate);
        fakes.application->launch(std::make_shared<testsupport::FakeWindow>(), options);
    }

    testsupport::LogCapture log;
    testsupport::FakePlatform fakes;
    AppDelegate delegate;
};

} // namespace

TEST_F(AppDelegateTest, FirstStartInstallsTheWebRootAndMarksItForNoBackup)
{
    launch();
    Config& config = sharedConfig();
    EXPECT_TRUE(fs::exists(fs::path(config.WEBROOT) / "index.html"));
    EXPECT_TRUE(fs::exists(fs::path(config.WEBROOT) / "index_de.html"));
    EXPECT_FALSE(fs::exists(config.WEBROOT + ".install"));
    EXPECT_FALSE(fs::exists(config.UPLOADURL));
    if (supportsUserAttributes(config.BASEURL)) {
        EXPECT_EQ(backupAttribute(config.WEBROOT), "false");
    } else {
        // The log line is the behaviour here: nothing else is observable.
        EXPECT_TRUE(log.has(Logger::Level::Error, "ERROR: could not exlcude " + config.WEBROOT + " from backup"));
    }
    // The window shows the splash screen, and the web screen once its animation stops.
    ASSERT_TRUE(delegate.window);
    EXPECT_NE(dynamic_cast<SplashViewController*>(delegate.window->rootScreen().get()), nullptr);
    fakes.maskedImageViews.at(0)->stop(true);
    platform::drainMainQueue();
    EXPECT_NE(dynamic_cast<ViewController*>(delegate.window->rootScreen().get()), nullptr);
}

// With the settings file unwritable (a folder in its place stops root too) the run's changes
// were lost at exit, and only a log line that is off by default said so.
TEST_F(AppDelegateTest, SettingsThatCannotBeWrittenAreToldOncePerRunAndKeptInMemory)
{
    auto& defaults = sharedConfig().defaults;
    const auto window = std::make_shared<testsupport::FakeWindow>();
    // The error alerts over the window that say so.
    const auto told = [&] {
        int count = 0;
        for (auto* over = window->presentedWindow().get(); over; over = over->presentedWindow().get())
            count += over->alert()->title == JS_ALERT_TITLES().at("ERROR")
                && over->alert()->message == localizedString("SETTINGS_NOT_SAVED");
        return count;
    };
    fs::create_directories(defaults.file());
    defaults.set("cli_before", "1");
    EXPECT_FALSE(defaults.flush());
    fakes.application->run(0, nullptr, delegate);
    fakes.application->launch(window, {});
    platform::drainMainQueue();
    EXPECT_EQ(told(), 1);

    // A later failure, after a write that succeeded, is not told again in the same run.
    fs::remove(defaults.file());
    defaults.set("cli_after", "2");
    EXPECT_TRUE(defaults.flush());
    fs::remove(defaults.file());
    fs::create_directories(defaults.file());
    defaults.set("cli_last", "3");
    EXPECT_FALSE(defaults.flush());
    platform::drainMainQueue();
    EXPECT_EQ(told(), 1);
    EXPECT_EQ(defaults.string("cli_before"), "1");
    EXPECT_EQ(defaults.string("cli_last"), "3");
}

TEST_F(AppDelegateTest, LaterStartsOnlyRemoveTheUploadFolder)
{
    Config& config = sharedConfig();
    writeFile(fs::path(config.WEBROOT) / "index.html", "changed by an update");
    writeFile(config.UPLOADURL / "picked.pdf", "x");
    launch();
    EXPECT_EQ(readFile(fs::path(config.WEBROOT) / "index.html"), "changed by an update");
    EXPECT_FALSE(fs::exists(fs::path(config.WEBROOT) / "index_de.html"));
    EXPECT_FALSE(fs::exists(config.UPLOADURL));
}

// A failed first install leaves no web root (so the next start installs again) and no half-unpacked folder.
TEST_F(AppDelegateTest, FailedFirstInstallLeavesNoPartialWebRoot)
{
    // The first entry unpacks; the second fails its checksum.
    const fs::path built = testsupport::makeTemporaryFolder("archive") / "app.zip";
    testsupport::ZipBuilder().file("index.html", "<html></html>").file("js/app.js", "ABCDEFGHIJKLMNOP", true).write(built);
    std::string archive = readFile(built);
    archive[archive.find("ABCDEFGH") + 2] = 'x';
    useBundleWithArchive(archive);
    launch();
    Config& config = sharedConfig();
    EXPECT_FALSE(fs::exists(config.WEBROOT));
    EXPECT_FALSE(fs::exists(config.WEBROOT + ".install"));
}

// A process killed in the middle of a full update's swap left the old web root aside and none
// in place, and the next start unpacked "app.zip" over it instead of taking the old one back.
TEST_F(AppDelegateTest, StartAfterAnInterruptedUpdateKeepsAWholeWebRoot)
{
    struct Case {
        const char* scenario;
        std::optional<std::string> webRoot, aside, unpackedCopy;
        std::string expectedIndex;
    };
    const std::vector<Case> cases = {
        {"killed between the two renames", std::nullopt, "old", "new", "old"},
        {"killed while deleting the old one", "new", "old", std::nullopt, "new"},
        {"killed while unpacking", "old", std::nullopt, "half", "old"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.scenario);
        Config& config = sharedConfig();
        const fs::path webRoot = config.WEBROOT;
        const fs::path aside = config.WEBROOT + "-old";
        const fs::path copy = config.WEBROOT + "-1";
        for (const auto& folder : {webRoot, aside, copy})
            fs::remove_all(folder);
        auto fill = [](const fs::path& folder, const std::optional<std::string>& index) {
            if (index)
                writeFile(folder / "index.html", *index);
        };
        fill(webRoot, c.webRoot);
        fill(aside, c.aside);
        fill(copy, c.unpackedCopy);

        delegate.copyFile();

        EXPECT_EQ(readFile(webRoot / "index.html"), c.expectedIndex);
        EXPECT_FALSE(fs::exists(webRoot / "index_de.html")); // not the bundle's application
        EXPECT_FALSE(fs::exists(aside));
        EXPECT_FALSE(fs::exists(copy));
    }
}

TEST_F(AppDelegateTest, MissingArchiveIsLogged)
{
    useBundleWithArchive(std::nullopt);
    launch();
    // The log line is the behaviour here: nothing else is observable.
    EXPECT_TRUE(log.has(Logger::Level::Error, "ERROR: app.zip could not be found"));
    EXPECT_FALSE(fs::exists(sharedConfig().WEBROOT));
}

TEST_F(AppDelegateTest, SearchableActivityFromTheSettings)
{
    auto& defaults = sharedConfig().defaults;
    defaults.set("searchKeywords", "a,b,,a");
    launch();
    EXPECT_FALSE(fakes.application->currentUserActivity()); // no title: nothing published

    defaults.set("searchTitle", "Demo");
    delegate.application(*fakes.application, platform::LaunchOptions{});
    const auto& activity = fakes.application->currentUserActivity();
    ASSERT_TRUE(activity);
    EXPECT_EQ(activity->activityType, "org.webcontainer.app");
    EXPECT_EQ(activity->title, "Demo");
    EXPECT_THAT(activity->keywords, ElementsAre("", "a", "b"));
    EXPECT_TRUE(activity->isEligibleForSearch);
    EXPECT_FALSE(activity->isEligibleForHandoff);
}

TEST_F(AppDelegateTest, LaunchFromAPushKeepsItsLandingPage)
{
    platform::PlistDict aps{{"landingPage", "news.html"}};
    launch({platform::PlistDict{{"aps", aps}}});
    EXPECT_EQ(sharedConfig().URLschemeLanding.get(), "news.html");
    EXPECT_TRUE(sharedConfig().isLaunchedViaPNTap);

    // Without "aps" the launch still counts as one from a push.
    sharedConfig().URLschemeLanding.set("");
    sharedConfig().isLaunchedViaPNTap = false;
    delegate.application(*fakes.application, platform::LaunchOptions{platform::PlistDict{{"other", 1}}});
    EXPECT_EQ(sharedConfig().URLschemeLanding.get(), "");
    EXPECT_TRUE(sharedConfig().isLaunchedViaPNTap);
}

TEST_F(AppDelegateTest, OpeningURLBecomesTheLandingPageAndIsPosted)
{
    launch();
    std::vector<platform::PlistDict> posted;
    platform::NotificationCenter::defaultCenter().addObserver(
        this, "url.scheme_id", [&](const platform::Notification& note) { posted.push_back(note.userInfo); });

    fakes.application->openURL("org.webcontainer.app://open/dir/page.html?x=1&y=2");
    EXPECT_EQ(sharedConfig().URLschemeLanding.get(), "page.html?x=1&y=2");
    EXPECT_TRUE(sharedConfig().isStartedViaURLscheme);
    ASSERT_EQ(posted.size(), 1u);
    EXPECT_EQ(*posted[0].at("message").asString(), "org.webcontainer.app://open/dir/page.html?x=1&y=2");

    fakes.application->openURL("org.webcontainer.app://open/page.html");
    EXPECT_EQ(sharedConfig().URLschemeLanding.get(), "page.html");
    platform::NotificationCenter::defaultCenter().removeObserver(this);
}

TEST_F(AppDelegateTest, BackgroundStoresTheTimeAndBecomingActiveClearsTheBadgeAndWritesInternalJS)
{
    auto clock = testsupport::ManualClock::install();
    launch();
    Config& config = sharedConfig();
    fakes.application->setApplicationIconBadgeNumber(3);
    fs::remove(fs::path(config.WEBROOT) / "internal.js");

    fakes.application->windowStateChanged(true, false);
    EXPECT_EQ(fakes.application->applicationIconBadgeNumber(), 0);
    EXPECT_TRUE(fs::exists(fs::path(config.WEBROOT) / "internal.js"));

    fakes.application->windowStateChanged(false, true);
    EXPECT_EQ(config.defaults.string("timeBackgroundEntered"), timestampFormatter().string(clock->now()));
}

// The store's observer is added first at launch and goes at termination.
TEST_F(AppDelegateTest, TheStoreDeliversToIAPComFromLaunchToTermination)
{
    const auto purchased = [](const std::string& product) {
        auto transaction = std::make_shared<platform::PaymentTransaction>();
        transaction->payment.productIdentifier = product;
        transaction->transactionState = platform::PaymentTransactionState::purchased;
        return transaction;
    };
    launch();
    fakes.paymentQueue->reportUpdated({purchased("before")});
    platform::drainMainQueue();
    EXPECT_EQ(sharedConfig().defaults.string("currentSKU"), "before");
    fakes.application->terminate();
    fakes.paymentQueue->reportUpdated({purchased("after")});
    platform::drainMainQueue();
    EXPECT_EQ(sharedConfig().defaults.string("currentSKU"), "before");
}
