// The web screen's reactions to in-process notifications and to the return from the
// background, over the doubles.
#include "base/Config.h"
#include "base/SharedInstances.h"
#include "base/TimestampFormatter.h"
#include "contentserver/ServerCom.h"
#include "platform/Application.h"
#include "platform/Platform.h"
#include "tests/support/FakeToast.h"
#include "tests/support/ManualClock.h"
#include "tests/support/TestEnvironment.h"
#include "tests/support/WebScreenFixture.h"

#include <gmock/gmock.h>

#include <thread>

using testing::ElementsAre;
using testing::IsEmpty;
using namespace std::chrono_literals;

namespace {

class ReactionsTest : public testsupport::WebScreenFixture {
protected:
    ReactionsTest()
        : WebScreenFixture(UpdateChecks::record)
    {
        platform::current().toast = toast;
        writeWebFile("index.html");
        window->show();
        runMainQueue();
    }

    // Posts `name` from another thread, as the content server's reply queue does, then lets the
    // main queue run.
    void postFromWorker(const std::string& name, platform::PlistDict userInfo = {})
    {
        std::thread([&] { sharedNotificationCenter().post(name, {}, userInfo); }).join();
        runMainQueue();
    }

    std::vector<std::string> toasts() const
    {
        std::vector<std::string> texts;
        for (const auto& shown : toast->shown)
            texts.push_back(shown.text);
        return texts;
    }

    std::shared_ptr<testsupport::FakeToast> toast = std::make_shared<testsupport::FakeToast>();
};

const std::string kUpdateReply = "<response><type>full</type><landingpage>shop</landingpage></response>";

} // namespace

TEST_F(ReactionsTest, DownloadFinishedCasesInTheirOrder)
{
    struct Case {
        const char* name;
        platform::PlistDict userInfo;
        std::string waitingLandingPage;
        bool personalization;
        // What the screen shows afterwards, and whether a new web view was made for it.
        std::string page;
        bool newWebView;
        bool updateToast;
        std::vector<std::string> syncAnswers;
    };
    const std::vector<Case> cases = {
        {"sync ends: the page stays, its callback is told",
         {{"storeKey", "sync-1"}, {"xmlstr", kUpdateReply}}, "", false, "/index.html", false, false, {"synced()"}},
        {"sync whose address is not stored", {{"storeKey", "sync-missing"}}, "", false, "/index.html", false, false,
         {}},
        {"update ends at the reply's landing page", {{"xmlstr", kUpdateReply}}, "", false, "/shop.html", true, true, {}},
        {"an older landing page wins", {{"xmlstr", kUpdateReply}}, "older", false, "/older.html", true, true, {}},
        {"unreadable reply still reloads", {{"xmlstr", "not xml"}}, "", false, "/index.html", true, true, {}},
        // A package that did not install used to be announced as installed and the page reloaded.
        {"a failed update: neither toast nor reload", {{"xmlstr", kUpdateReply}, {"error", "does not decrypt"}}, "",
         false, "/index.html", false, false, {}},
        {"personalisation reply: no toast", {{"xmlstr", kUpdateReply}}, "", true, "/shop.html", true, false, {}},
        {"file received without landing page: nothing loads", {{"filereceived", "true"}}, "", false, "/index.html",
         false, false, {}},
        {"landing page of a reply loads into the same web view", {{"landingPage", "news"}}, "", false, "/news.html",
         false, false, {}},
        {"nothing known: the start page reloads", {{"error", "timed out"}}, "", false, "/index.html", true, false, {}},
    };
    Config& config = sharedConfig();
    config.defaults.set("sync-1", "http://127.0.0.1/file.pdf");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        config.runningDownloads.lock()->assign({"http://127.0.0.1/file.pdf", "http://127.0.0.1/file.pdf"});
        config.appState = Config::appStateEnum::PENDING;
        sharedServerCom().isPersonalization = c.personalization;
        toast->shown.clear();
        screen->loadPage("/index.html");
        runMainQueue();
        screen->landingPage = c.waitingLandingPage;
        auto* before = &currentWebView();
        before->setURL("file:///index.html");
        screen->syncCallBack = PageReply(screen->webView, "synced");
        const std::size_t scriptsBefore = before->scripts().size();

        postFromWorker(bundleID(), c.userInfo);

        EXPECT_EQ(loadedPage(), c.page);
        EXPECT_EQ(&currentWebView() != before, c.newWebView);
        EXPECT_EQ(config.appState, Config::appStateEnum::FRESH);
        EXPECT_EQ(toasts(), c.updateToast ? std::vector<std::string>{sharedServerCom().SC_UPDATE_FINISHED}
                                          : std::vector<std::string>{});
        EXPECT_FALSE(sharedServerCom().isPersonalization);
        std::vector<std::string> answers(before->scripts().begin() + scriptsBefore, before->scripts().end());
        std::erase(answers, sharedServerCom().HIDEALLLOADING);
        EXPECT_EQ(answers, c.syncAnswers);
        // A sync's end takes its one entry off the running downloads.
        EXPECT_EQ(config.runningDownloads.lock()->size(), c.syncAnswers.empty() ? 2u : 1u);
    }
}

TEST_F(ReactionsTest, WakeupUpdateEndsWithSilentModeOff)
{
    sharedServerCom().isWakeupSync = true;
    sharedConfig().updateSilentMode = Config::UPDATE_SILENT_MODE_NOPROMPTS;
    postFromWorker(bundleID(), {{"xmlstr", kUpdateReply}});
    EXPECT_FALSE(sharedServerCom().isWakeupSync);
    EXPECT_EQ(sharedConfig().updateSilentMode, Config::UPDATE_SILENT_MODE_OFF);
    EXPECT_EQ(loadedPage(), "/shop.html");
}

// Observers ran on the posting thread and stayed after the screen went: a reply thread then
// wrote the screen's fields while the main thread read them.
TEST_F(ReactionsTest, ObserversRunOnTheMainQueueAndEndWithTheScreen)
{
    std::thread([] {
        sharedNotificationCenter().post(sharedConfig().urlSchemeMessageIDKey, {},
                                        {{"message", "org.webcontainer.app://open/info.html?x=1"}});
    }).join();
    EXPECT_EQ(screen->landingPage, ""); // not yet: the reaction waits for the main queue
    runMainQueue();
    EXPECT_EQ(loadedPage(), "/info.html");
    EXPECT_EQ(sharedConfig().defaults.string("cli_x"), "1");

    // Appearing again does not double the observers: one reload, not two.
    window->show();
    const std::size_t views = fakes.webViews.size();
    postFromWorker(bundleID(), {{"error", "x"}});
    EXPECT_EQ(fakes.webViews.size(), views + 1);

    screen->viewWillDisappear();
    postFromWorker(bundleID(), {{"error", "x"}});
    EXPECT_EQ(fakes.webViews.size(), views + 1);
}

TEST_F(ReactionsTest, RegistrationOutcomeToastsAndPurchaseChecks)
{
    postFromWorker("onRegistrationCompleted", {{"error", "no distributor"}});
    postFromWorker("onRegistrationCompleted", {{"registrationToken", "abc"}});
    postFromWorker("onRegistrationCompleted", {{"registrationToken", 7}});
    EXPECT_THAT(toasts(), ElementsAre(screen->ERROR_REGISTER_GCM, screen->PUSH_SUBSCRIPTION_SUCCESS));
    // The log line is the behaviour here: nothing else is observable.
    EXPECT_TRUE(log.has(Logger::Level::Debug, "Error with updateRegistrationStatus "));

    // A receipt refresh's notification carries no identifier.
    postFromWorker("IAPComPurchaseNotification", {{"receiptData", "R"}});
    EXPECT_TRUE(log.contains(Logger::Level::Error, "userinfo not correct: "));
    postFromWorker("IAPComRestoreNotification", {{"receiptSet", 3}});
    EXPECT_TRUE(log.has(Logger::Level::Error, "ERROR: no receeipts found"));

    EXPECT_EQ(ViewController::restoreRequestText({"a+b/c=", "x y"}),
              "&do=restorePurchase%2Fios&token[]=a%2Bb/c%3D&token[]=x%20y");
    EXPECT_EQ(ViewController::restoreRequestText({}), "&do=restorePurchase%2Fios");
}

TEST_F(ReactionsTest, ReturnFromBackgroundReloadsAfterFifteenMinutesAndRefreshesByTheSettings)
{
    struct Case {
        const char* name;
        std::optional<std::chrono::seconds> away;
        std::optional<std::string> lastCheck; // nothing: not stored; "" is replaced by the time
        std::chrono::seconds sinceLastCheck;
        std::optional<std::string> autorefresh;
        std::optional<std::string> wakeuprefresh;
        bool reload;
        std::vector<bool> checks;
    };
    const std::vector<Case> cases = {
        {"15 minutes and 1 second away reload", 901s, "", 901s, std::nullopt, std::nullopt, true, {}},
        {"14 minutes away do not", 840s, "", 840s, std::nullopt, std::nullopt, false, {}},
        {"no time stored: nothing at all", std::nullopt, "", 100h, "-1", std::nullopt, false, {}},
        {"autorefresh -1: always", 60s, "", 60s, "-1", std::nullopt, false, {false}},
        {"autorefresh missing: not after 29 hours", 60s, "", 29h, std::nullopt, std::nullopt, false, {}},
        {"autorefresh missing: after 31 hours", 60s, "", 31h, std::nullopt, std::nullopt, false, {false}},
        {"autorefresh not a number counts as missing", 60s, "", 31h, "soon", std::nullopt, false, {false}},
        {"wake-up after 6 minutes of 5", 60s, "", 6min, "0", "5", false, {true}},
        {"both due", 60s, "", 6min, "-1", "-1", false, {false, true}},
        {"no last check: nothing", 60s, std::nullopt, 0s, "-1", "-1", false, {}},
        {"unreadable last check: only the always settings", 60s, "junk", 0s, "-1", "5", false, {false}},
    };
    auto clock = testsupport::ManualClock::install();
    Config& config = sharedConfig();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        updateChecks.clear();
        const auto now = clock->now();
        auto setOrRemove = [&](const std::string& key, const std::optional<std::string>& value) {
            if (value)
                config.defaults.set(key, *value);
            else
                config.defaults.remove(key);
        };
        setOrRemove(config.timeBackgroundEnteredKey,
                    c.away ? std::optional(timestampFormatter().string(now - *c.away)) : std::nullopt);
        const auto lastCheck = c.lastCheck && c.lastCheck->empty()
                                   ? std::optional(timestampFormatter().string(now - c.sinceLastCheck))
                                   : c.lastCheck;
        setOrRemove("lastUpdateCheck", lastCheck);
        setOrRemove("autorefresh", c.autorefresh);
        setOrRemove("wakeuprefresh", c.wakeuprefresh);
        const std::size_t views = fakes.webViews.size();

        postFromWorker(platform::ApplicationWillEnterForegroundNotification);

        EXPECT_EQ(fakes.webViews.size(), views + (c.reload ? 1 : 0));
        EXPECT_EQ(updateChecks, c.checks);
        // The time of this check is stored whenever a last one was.
        const bool recorded = c.away && lastCheck;
        EXPECT_EQ(config.defaults.string("lastUpdateCheck"),
                  recorded ? std::optional(timestampFormatter().string(now)) : lastCheck);
        clock->advance(1h);
    }
}
