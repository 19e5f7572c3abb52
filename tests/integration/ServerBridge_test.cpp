// The page's server-facing bridge commands and the update decision against the loopback
// content server, with real libcurl: what is sent, what the user sees, what the page hears.

#include "app/AppDelegate.h"
#include "base/Config.h"
#include "base/LocalizedTexts.h"
#include "base/SharedInstances.h"
#include "contentserver/ServerCom.h"
#include "platform/Platform.h"
#include "platform/View.h"
#include "portable/Dispatch.h"
#include "portable/SettingsStore.h"
#include "tests/support/ContentServerFixture.h"
#include "tests/support/FakeBridgeScreen.h"

#include <gtest/gtest.h>

#include <fstream>

namespace fs = std::filesystem;
using testsupport::FakeWindow;
using testsupport::TestContentServer;
using Reply = TestContentServer::Reply;
using namespace std::chrono_literals;

namespace {

std::string updateReply(const std::string& type, int size)
{
    return "<response><type>" + type + "</type><date>20240101120000</date><size>" + std::to_string(size) +
           "</size><path>/pkg/update.zip</path></response>";
}

class ServerBridgeTest : public testsupport::ContentServerFixture {
protected:
    ServerBridgeTest()
    {
        fakes.application->run(0, nullptr, delegate);
        delegate.window = window;
    }

    std::vector<std::string> toasts() const
    {
        std::vector<std::string> texts;
        for (const auto& shown : fakes.toast->shown)
            texts.push_back(shown.text);
        return texts;
    }

    std::size_t requestsFor(const std::string& path) const
    {
        std::size_t count = 0;
        for (const auto& request : server.requests())
            count += request.path == path;
        return count;
    }

    // Lets replies and the main queue settle for a moment.
    static void settle(std::chrono::milliseconds time = 300ms)
    {
        platform::runMainLoopUntil([] { return false; }, time);
    }

    FakeWindow* alert() const { return window->topAlert(); }

    AppDelegate delegate;
    std::shared_ptr<FakeWindow> window = std::make_shared<FakeWindow>();
    testsupport::FakeBridgeScreen screen;
};

} // namespace

TEST_F(ServerBridgeTest, updateDecisionActsOnEachReply)
{
    struct Case {
        const char* name;
        std::optional<std::string> body; // none: the check fails with 404
        int silentMode;
        bool wakeup;
        std::string toast; // "" for none
        std::optional<std::string> alertTitle;
        bool downloads;
        bool storesCheckTime;
    };
    const std::string upToDate = localizedString("UP_TO_DATE");
    const std::string tryLater = localizedString("UPDATE_TRY_AGAIN_LATER");
    const std::string newVersion = localizedString("NEW_VERSION_AVAILABLE");
    const std::string error = JS_ALERT_TITLES().at("ERROR");
    const std::string started = localizedString("SC_DOWNLOAD_STARTED");
    const Case cases[] = {
        {"nop", updateReply("nop", 0), 0, false, upToDate, std::nullopt, false, true},
        {"error", updateReply("ERROR", 0), 0, false, tryLater, std::nullopt, false, true},
        {"failed", std::nullopt, 0, false, "", error, false, false},
        // Replies that are no update reply fail the check, however much of one they hold.
        {"garbage", "Bad gateway", 0, false, "", error, false, false},
        {"empty", "", 0, false, "", error, false, false},
        {"not UTF-8", "<response><type>nop</type><date>\xFF</date></response>", 0, false, "", error, false, false},
        {"cut short", updateReply("full", 10).substr(0, updateReply("full", 10).size() - 11), 0, false, "", error, false, false},
        {"another root", "<reply><type>nop</type></reply>", 0, false, "", error, false, false},
        {"beyond the reply limit", "<response><type>nop</type>" + std::string(1 << 20, ' ') + "</response>", 0, false,
         "", error, false, false},
        {"small", updateReply("full", 10), 0, false, started, std::nullopt,
         true, true},
        {"large asks", updateReply("incremental", 2048), 0, false, "", newVersion, false, true},
        {"large, wakeup", updateReply("full", 2048), 0, true, "", std::nullopt, true, true},
        {"large, silent", updateReply("full", 2048), 1, false, "", std::nullopt, true, true},
        {"large, background", updateReply("full", 2048), 4, false, "", std::nullopt, true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        sharedConfig().defaults.set("askwifi", "100");
        sharedConfig().defaults.remove("lastUpdateCheck");
        sharedConfig().updateSilentMode = c.silentMode;
        fakes.toast->shown.clear();
        const std::size_t packagesBefore = requestsFor("/pkg/update.zip");
        server.reply("/app/server.php",
                     c.body ? Reply().withHeader("Content-Type", "text/xml").withBody(*c.body) : Reply().withStatus(404));
        server.reply("/pkg/update.zip", Reply().withStatus(404));

        auto view = std::make_shared<platform::View>();
        sharedServerCom().showUpdateDialog(view, c.wakeup);
        // Every case ends in a toast, an alert or the package's request; what must not happen
        // gets a moment more.
        const auto toastShown = [&] {
            const auto shown = toasts();
            return std::find(shown.begin(), shown.end(), c.toast) != shown.end();
        };
        ASSERT_TRUE(platform::runMainLoopUntil(
            [&] {
                return (c.toast.empty() || toastShown()) && (!c.alertTitle || alert()) &&
                       (!c.downloads || requestsFor("/pkg/update.zip") > packagesBefore) &&
                       (!c.storesCheckTime || sharedConfig().defaults.string("lastUpdateCheck"));
            },
            20s));
        settle(100ms);

        const auto shown = toasts();
        if (!c.toast.empty()) {
            EXPECT_NE(std::find(shown.begin(), shown.end(), c.toast), shown.end());
        } else if (!c.downloads) {
            EXPECT_EQ(shown, std::vector<std::string>{});
        }
        ASSERT_EQ(alert() != nullptr, c.alertTitle.has_value());
        if (alert()) {
            EXPECT_EQ(alert()->alert()->title, *c.alertTitle);
            alert()->pressAlertButton(alert()->alert()->actions.size() - 1);
            settle(50ms);
        }
        EXPECT_EQ(requestsFor("/pkg/update.zip") > packagesBefore, c.downloads);
        EXPECT_EQ(sharedConfig().defaults.string("lastUpdateCheck").has_value(), c.storesCheckTime);
        EXPECT_FALSE(sharedServerCom().isWakeupSync && !c.downloads);
    }
}

// A secret the settings file cannot hold as it is was stored, and the next start found the file
// unreadable and lost every stored value; control characters made it ill-formed XML.
TEST_F(ServerBridgeTest, ReplyWhoseSecretCannotBeStoredFailsTheCheckAndCostsNoStoredValue)
{
    const std::pair<const char*, std::string> secrets[] = {
        {"a lone surrogate", "k&#xD800;y"},
        {"a byte that is no UTF-8", "k\xFFy"},
        {"a control character", "k\x01y"},
    };
    const std::string error = JS_ALERT_TITLES().at("ERROR");
    auto& defaults = sharedConfig().defaults;
    for (const auto& [name, secret] : secrets) {
        SCOPED_TRACE(name);
        defaults.set("uuid", "6f1c2f0e-installation");
        defaults.set("cli_name", "kept");
        defaults.remove("lastUpdateCheck");
        ASSERT_TRUE(defaults.flush());
        const std::size_t packagesBefore = requestsFor("/pkg/update.zip");
        server.reply("/app/server.php", Reply().withHeader("Content-Type", "text/xml").withBody(
                                            "<response><type>full</type><size>10</size><path>/pkg/update.zip</path>"
                                            "<secret>" + secret + "</secret></response>"));
        // A download that is still running at the restart keeps the secret stored.
        server.reply("/pkg/update.zip", Reply().withStatus(404).withDelay(3s));

        sharedServerCom().showUpdateDialog(std::make_shared<platform::View>(), false);
        ASSERT_TRUE(platform::runMainLoopUntil([&] { return alert() != nullptr; }, 20s));
        settle(100ms);
        EXPECT_EQ(alert()->alert()->title, error);
        alert()->pressAlertButton(0);
        EXPECT_EQ(requestsFor("/pkg/update.zip"), packagesBefore);
        EXPECT_FALSE(defaults.string("lastUpdateCheck"));

        ASSERT_TRUE(defaults.flush());
        platform::SettingsStore restarted(defaults.file());
        EXPECT_EQ(restarted.string("uuid"), "6f1c2f0e-installation");
        EXPECT_EQ(restarted.string("cli_name"), "kept");
        EXPECT_FALSE(restarted.object("ZIPSECRET"));
    }
}

TEST_F(ServerBridgeTest, askedDownloadStartsOnlyFromOkWithTheSizeInMebibytes)
{
    sharedConfig().defaults.set("askwifi", "1");
    server.reply("/app/server.php", Reply().withHeader("Content-Type", "text/xml").withBody(updateReply("full", 1572864)));
    server.reply("/pkg/update.zip", Reply().withStatus(404));
    sharedServerCom().showUpdateDialog(std::make_shared<platform::View>(), false);
    ASSERT_TRUE(platform::runMainLoopUntil([&] { return alert() != nullptr; }, 5s));
    EXPECT_NE(alert()->alert()->message.find(": 1.50  MB)"), std::string::npos) << alert()->alert()->message;
    EXPECT_EQ(sharedConfig().appState, Config::appStateEnum::FRESH);

    alert()->pressAlertButton(0);
    EXPECT_TRUE(server.waitForRequests(2));
    EXPECT_EQ(requestsFor("/pkg/update.zip"), 1u);
}

TEST_F(ServerBridgeTest, syncFileStoresTheFileAndAnswersThePage)
{
    struct Case {
        const char* command;
        const char* serverPath;
        const char* storedName;
    };
    // A relative url without "?" took "&" as its first separator, so the "file" item was never
    // found and the file had no name.
    const Case cases[] = {
        {"syncFile?callback=got&url=doc.php&filename=a%20b.pdf", "/app/doc.php", "a b.pdf"},
        {"syncFile?callback=got&url=doc.php%3Fid%3D3&filename=c.txt", "/app/doc.php", "c.txt"},
        {"syncFileAuth?callback=got&url=doc.php%3Ffile%3Dd.txt", "/app/doc.php", "d.txt"},
        // The request parameters of an address without query were appended after "&", so the
        // server saw the path "/app/doc.php&app=…".
        {"syncFileAuth?callback=got&url=doc.php&filename=e.txt", "/app/doc.php", "e.txt"},
    };
    server.reply("/app/doc.php", Reply().withBody("synced"));
    screen.view->setURL("file:///www/index.html");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command);
        finished.clear();
        testsupport::runCommand(screen, c.command);
        EXPECT_EQ(screen.syncCallBack.callback(), "got");
        EXPECT_EQ(sharedConfig().runningDownloads.get(), std::vector<std::string>{"file:///www/index.html"});
        ASSERT_TRUE(platform::runMainLoopUntil([&] { return !finished.empty(); }, 10s));
        EXPECT_EQ(finished.front().count("error"), 0u);
        EXPECT_EQ(server.requests().back().path, c.serverPath);
        std::ifstream file(fs::path(sharedConfig().SYNCURL) / c.storedName);
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(file), {}), "synced");
        sharedConfig().runningDownloads.lock()->clear();
    }
    // With auth the request carries fresh request parameters.
    EXPECT_NE(server.requests().back().query.find("app="), std::string::npos);
}

// A sync whose file name came out empty seemed to succeed and named the sync folder itself;
// one that named a place outside the folder was started too.
TEST_F(ServerBridgeTest, syncWithoutUsableFileNameFailsForThePage)
{
    for (const char* command : {"syncFile?callback=got&url=doc.php", "syncFile?callback=got&url=doc.php&filename=",
                                "syncFile?callback=got&url=doc.php&filename=..%2Fx", "syncFile?callback=got&url="}) {
        SCOPED_TRACE(command);
        fakes.toast->shown.clear();
        const auto scripts = testsupport::runCommand(screen, command);
        EXPECT_EQ(screen.syncCallBack.callback(), std::nullopt);
        EXPECT_EQ(scripts, std::vector<std::string>{testsupport::callbackScript("hideAllLoading", "{\"value\":null}")});
        EXPECT_EQ(toasts().size(), 1u);
        EXPECT_TRUE(sharedConfig().runningDownloads.get().empty());
    }
    settle(100ms);
    EXPECT_TRUE(server.requests().empty());
    EXPECT_FALSE(fs::exists(fs::path(sharedConfig().SYNCURL).parent_path() / "x"));
}

TEST_F(ServerBridgeTest, callServerSendsThePagesFormAndAnswersItsCallback)
{
    // Toasts of a server call come up over the window the page is shown in.
    screen.root->addSubview(screen.view);
    server.reply("/app/server.php", Reply().withBody("ok"));
    server.reply("/elsewhere", Reply().withBody("ok"));
    fs::create_directories(sharedConfig().UPLOADURL);
    std::ofstream(sharedConfig().UPLOADURL / "note.txt") << "note body";

    struct Case {
        std::string command;
        const char* path;
        const char* bodyPart;
    };
    const Case cases[] = {
        {"callServer?params=a%3D1%26b%3D2&callback=done", "/app/server.php", "params=a%3D1%26b%3D2"},
        {"callServer?params=a%3D1&uploadfile=note.txt&callback=done", "/app/server.php", "note body"},
        {"callServer?params=a%3D1&callback=done&url=" + server.url("/elsewhere"), "/elsewhere", "params=a%3D1"},
    };
    sharedConfig().defaults.set("EXTERNAL_SERVERCALL_STRATEGY", "any");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command);
        const std::size_t before = server.requests().size();
        testsupport::runCommand(screen, c.command);
        ASSERT_TRUE(server.waitForRequests(before + 1));
        const auto request = server.requests().back();
        EXPECT_EQ(request.method, "POST");
        EXPECT_EQ(request.path, c.path);
        EXPECT_NE(request.body.find(c.bodyPart), std::string::npos) << request.body;
        EXPECT_NE(request.body.find("servercall"), std::string::npos);
        EXPECT_TRUE(platform::runMainLoopUntil(
            [&] {
                const auto& s = screen.view->scripts();
                return std::count(s.begin(), s.end(), "done()") == &c - cases + 1;
            },
            5s));
    }

    // Only the exact text "true" makes a failing call silent.
    server.reply("/app/server.php", Reply().withStatus(500).withBody("bad"));
    for (const auto& [silent, toasts] : {std::pair{"true", 0u}, std::pair{"TRUE", 1u}}) {
        fakes.toast->shown.clear();
        const auto failures = [&] {
            const auto& scripts = screen.view->scripts();
            return std::count(scripts.begin(), scripts.end(), "failed()");
        };
        const auto before = failures();
        testsupport::runCommand(screen, std::string("callServer?params=x&callbackError=failed()&silent=") + silent);
        EXPECT_TRUE(platform::runMainLoopUntil(
            [&] { return failures() > before && fakes.toast->shown.size() >= toasts; }, 20s)) << silent;
        EXPECT_EQ(fakes.toast->shown.size(), toasts) << silent;
    }
}

// The token sent is the stored one (end to end in tests/e2e); without one nothing goes out.
TEST_F(ServerBridgeTest, requestTokenWithoutStoredTokenSendsNothing)
{
    testsupport::runCommand(screen, "requestToken?x=1");
    settle(200ms);
    EXPECT_TRUE(server.requests().empty());
}

TEST_F(ServerBridgeTest, checkWithoutDownloadShowsThePageOfTheOpeningURL)
{
    std::vector<platform::PlistDict> opened;
    sharedNotificationCenter().addObserver(
        &opened, sharedConfig().urlSchemeMessageIDKey,
        [&](const platform::Notification& note) { opened.push_back(note.userInfo); }, &platform::mainQueue());
    sharedConfig().isStartedViaURLscheme = true;
    sharedConfig().URLschemeLanding.set("app://open/news.html?id=4");
    server.reply("/app/server.php", Reply().withHeader("Content-Type", "text/xml").withBody(updateReply("nop", 0)));
    sharedServerCom().showUpdateDialog(std::make_shared<platform::View>(), false);
    EXPECT_TRUE(platform::runMainLoopUntil([&] { return !opened.empty(); }, 5s));
    sharedNotificationCenter().removeObserver(&opened);
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(*opened[0].at("message").asString(), "app://open/news.html?id=4");
}
