// The server-facing bridge commands, clicked on the demo's bridge page in the real WebKitGTK
// view against the loopback content server: server call, file syncs, the push token and the
// update command in each silent mode, with and without its question, and offline, pausing and
// resuming lazy loading.
#include "base/Config.h"
#include "base/LocalizedTexts.h"
#include "contentserver/LazyLoad.h"
#include "platform/Platform.h"
#include "portable/Dispatch.h"
#include "tests/support/FakeReachability.h"
#include "tests/support/LoopbackContentServer.h"
#include "tests/support/RealWebScreenFixture.h"
#include "tests/support/TestContentServer.h"

#include <gtest/gtest.h>

#include <fstream>

namespace fs = std::filesystem;
using Reply = testsupport::TestContentServer::Reply;

namespace {

class ServerCommandsTest : public testsupport::RealWebScreenFixture {
protected:
    ServerCommandsTest() : RealWebScreenFixture(StartPage::bridge) {}
    void SetUpPage() override { testsupport::storeServerSettings(server, "/app/", "server.php"); }

    // Clicks the page's button that posts `message`.
    void click(const std::string& message)
    {
        evaluate("document.querySelector('[data-message=\"" + message + "\"]').click(); 0");
    }
    // How often the page logged `answer`; by default its hideAllLoading(), through which every
    // command here answers.
    int pageAnswers(const std::string& answer = "← hideAllLoading()")
    {
        const std::string log = pageLog();
        int count = 0;
        for (auto at = log.find(answer); at != std::string::npos; at = log.find(answer, at + 1))
            ++count;
        return count;
    }
    // Waits for the server to have `count` requests with the main loop running: some commands
    // reach the server only through a task on the main queue (the store's answer to a restore).
    bool serverReached(std::size_t count)
    {
        return until([&] { return server.requests().size() >= count; });
    }

    testsupport::TestContentServer server;
};

} // namespace

TEST_F(ServerCommandsTest, ServerCallAndSyncsAnswerThePage)
{
    server.reply("/app/server.php", Reply().withBody("pong"));
    server.reply("/app/report.php", Reply().withBody("%PDF report"));

    click("callServer?params=action%3Dping&callback=hideAllLoading&callbackError=hideAllLoading()");
    ASSERT_TRUE(serverReached(1));
    EXPECT_NE(server.requests()[0].body.find("params=action%3Dping"), std::string::npos);
    ASSERT_TRUE(until([&] { return pageAnswers() >= 2; })) << "the callback, then hideAllLoading()";

    for (const char* command : {"syncFile?callback=hideAllLoading&url=report.php&filename=report.pdf",
                                "syncFileAuth?callback=hideAllLoading&url=report.php&filename=report.pdf"}) {
        SCOPED_TRACE(command);
        fs::remove(sharedConfig().SYNCURL / "report.pdf");
        const int before = pageAnswers();
        click(command);
        ASSERT_TRUE(until([&] { return pageAnswers() >= before + 2; })) << "the sync's end and its callback";
        std::ifstream file(sharedConfig().SYNCURL / "report.pdf");
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(file), {}), "%PDF report");
        EXPECT_TRUE(sharedConfig().runningDownloads.get().empty());
    }
    EXPECT_EQ(server.requests().back().path, "/app/report.php");
    EXPECT_NE(server.requests().back().query.find("app="), std::string::npos) << "syncFileAuth carries the parameters";
}

// The receipts of a restore go to the server; its answer reaches the page that asked.
TEST_F(ServerCommandsTest, RestoreGoesToTheServerAndAnswersThePage)
{
    server.reply("/app/server.php", Reply().withBody("restored"));
    click("restorePurchase?callback=showAnswer");
    ASSERT_TRUE(serverReached(1));
    EXPECT_NE(server.requests()[0].body.find("do=restorePurchase%2Fios"), std::string::npos);
    EXPECT_TRUE(until([&] { return pageAnswers("← (no value)") == 1 && pageAnswers() == 1; }));
}

TEST_F(ServerCommandsTest, TokenAndUpdateReachTheServer)
{
    server.reply("/app/server.php", Reply()
                                        .withHeader("Content-Type", "text/xml")
                                        .withBody("<response><type>nop</type><date>20240101120000</date></response>"));
    sharedConfig().defaults.set("registrationToken", "tok-e2e");
    click("requestToken?x=1");
    ASSERT_TRUE(serverReached(1));
    EXPECT_EQ(server.requests()[0].body, server.requests()[0].path + "?" + server.requests()[0].query);

    // Without asking: the check runs at once and its time is stored.
    click("update?silentMode=background");
    ASSERT_TRUE(serverReached(2));
    ASSERT_TRUE(until([&] { return sharedConfig().defaults.string("lastUpdateCheck").has_value(); }));
    EXPECT_EQ(sharedConfig().updateSilentMode, Config::UPDATE_SILENT_MODE_BACKGROUND);

    // The plain word asks first; OK starts the check.
    click("update");
    ASSERT_TRUE(until([&] { return topWindow() != delegate.window.get(); }));
    EXPECT_EQ(topWindow()->alert()->title, localizedString("VC_UPDATE"));
    EXPECT_EQ(sharedConfig().updateSilentMode, Config::UPDATE_SILENT_MODE_OFF);
    EXPECT_EQ(server.requests().size(), 2u);
    topWindow()->pressAlertButton(0);
    EXPECT_TRUE(serverReached(3));
}

TEST_F(ServerCommandsTest, LazyLoadingPausesAndResumesFromThePage)
{
    server.reply("/app/server.php", Reply().withBody("lazy body"));
    click("cancelLazyLoad");
    ASSERT_TRUE(until([&] { return pageAnswers("← hideLazyLoadNotification()") == 1; }));
    ASSERT_TRUE(sharedLazyLoad().lazyLoadSuspendUntil);

    const auto& key = sharedConfig().LAZYLOAD_STORE_KEY;
    sharedConfig().defaults.set(key, platform::PlistValue::stringArray({"a.css", "b.css"}));
    click("resumeLazyLoad");
    ASSERT_TRUE(until([&] { return sharedConfig().defaults.stringArray(key) == std::vector<std::string>{}; }));
    EXPECT_FALSE(sharedLazyLoad().lazyLoadSuspendUntil);
    // The resumed run's first notice reaches the page it was resumed from.
    EXPECT_TRUE(until([&] { return pageAnswers("← showLazyLoadNotification(") >= 1; }));
    EXPECT_EQ(server.requests().size(), 2u);
    for (const char* name : {"a.css", "b.css"}) {
        std::ifstream file(fs::path(sharedConfig().WEBROOT) / name);
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(file), {}), "lazy body") << name;
    }
}

TEST_F(ServerCommandsTest, UpdateChecksByTheSilentModeAndNotOffline)
{
    server.reply("/app/server.php", Reply()
                                        .withHeader("Content-Type", "text/xml")
                                        .withBody("<response><type>nop</type><date>20240101120000</date></response>"));
    // "apply" checks at once and asks too; its OK checks again.
    for (const auto& [message, asks] : {std::pair{"update?silentMode=silent", false},
                                        std::pair{"update?silentMode=apply", true}}) {
        SCOPED_TRACE(message);
        sharedConfig().updateSilentMode = Config::UPDATE_SILENT_MODE_BACKGROUND;
        const std::size_t before = server.requests().size();
        click(message);
        ASSERT_TRUE(serverReached(before + 1));
        EXPECT_EQ(sharedConfig().updateSilentMode, Config::UPDATE_SILENT_MODE_NOPROMPTS);
        if (!asks) {
            // By the check's answer a question would be on show.
            EXPECT_TRUE(until([] { return toastText() == localizedString("UP_TO_DATE"); }));
            EXPECT_EQ(topWindow(), delegate.window.get());
            continue;
        }
        ASSERT_TRUE(until([&] { return topWindow() != delegate.window.get(); }));
        EXPECT_EQ(topWindow()->alert()->title, localizedString("VC_UPDATE"));
        topWindow()->pressAlertButton(0);
        EXPECT_TRUE(serverReached(before + 2));
    }

    // Offline: the toast, no check, and the mode as it was.
    platform::current().reachability = std::make_shared<testsupport::FakeReachability>();
    const std::size_t before = server.requests().size();
    click("update?silentMode=background");
    EXPECT_TRUE(until([] { return toastText() == localizedString("ERROR_UPDATE_OFFLINE"); }));
    EXPECT_EQ(sharedConfig().updateSilentMode, Config::UPDATE_SILENT_MODE_NOPROMPTS);
    EXPECT_EQ(server.requests().size(), before);
}
