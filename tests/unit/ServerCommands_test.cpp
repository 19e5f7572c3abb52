// The server-facing bridge words over the doubles: the update command's silent modes and its
// question, sync callbacks, the store key of a sync, and the plain word "update".
#include "base/Config.h"
#include "base/LocalizedTexts.h"
#include "contentserver/ServerCom.h"
#include "platform/Platform.h"
#include "tests/support/FakeBridgeScreen.h"
#include "tests/support/FakePlatform.h"
#include "tests/support/FakeReachability.h"
#include "tests/support/WebScreenFixture.h"

#include <gmock/gmock.h>

using testing::ElementsAre;

namespace {

class ServerCommandsTest : public testing::Test {
protected:
    ServerCommandsTest()
    {
        network->setFlags(platform::Reachability::reachable);
        platform::current().reachability = network;
    }

    testsupport::FakePlatform fakes;
    std::shared_ptr<testsupport::FakeReachability> network = std::make_shared<testsupport::FakeReachability>();
    testsupport::FakeBridgeScreen screen;
};

} // namespace

TEST_F(ServerCommandsTest, UpdateActsOnEachSilentMode)
{
    struct Case {
        const char* command;
        int modeAfter;
        bool asks;
        std::size_t checksAtOnce;
    };
    const Case cases[] = {
        {"update?landingPage=x", 0, true, 0},
        {"update?silentMode", 0, true, 0},
        {"update?silentMode=silent", 1, false, 1},
        {"update?silentMode=background", 4, false, 1},
        {"update?silentMode=apply", 1, true, 1},
        {"update?silentMode=Silent", 3, false, 1},
        {"update?silentMode=other", 3, false, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command);
        testsupport::FakeBridgeScreen fresh;
        sharedConfig().updateSilentMode = 3;
        testsupport::runCommand(fresh, c.command);
        EXPECT_EQ(sharedConfig().updateSilentMode, c.modeAfter);
        EXPECT_EQ(fresh.updateChecks.size(), c.checksAtOnce);
        ASSERT_EQ(fresh.alerts().size(), c.asks ? 1u : 0u);
        if (!c.asks)
            continue;
        EXPECT_EQ(fresh.alerts()[0].title, localizedString("VC_UPDATE"));
        EXPECT_EQ(fresh.alerts()[0].message, localizedString("VC_Q_UPDATE"));
        fresh.pressButton(0, 1);
        EXPECT_EQ(fresh.updateChecks.size(), c.checksAtOnce);
        fresh.pressButton(0, 0);
        EXPECT_EQ(fresh.updateChecks, std::vector<bool>(c.checksAtOnce + 1, false));
    }
}

TEST_F(ServerCommandsTest, UpdateOkTakesTheLandingPageAndOfflineChecksNothing)
{
    for (const auto& [command, landing] : {std::pair{"update?landingPage=news.html", "news.html"},
                                           std::pair{"update?landingPage=none", ""},
                                           std::pair{"update?landingpage=news.html", ""}}) {
        screen.landingPage = "before";
        testsupport::runCommand(screen, command);
        screen.pressButton(screen.alerts().size() - 1, 0);
        EXPECT_EQ(screen.landingPage, landing) << command;
    }

    network->setFlags({});
    sharedConfig().updateSilentMode = 4;
    fakes.toast->shown.clear();
    testsupport::runCommand(screen, "update?silentMode=silent");
    EXPECT_EQ(sharedConfig().updateSilentMode, 4);
    ASSERT_EQ(fakes.toast->shown.size(), 1u);
    EXPECT_EQ(fakes.toast->shown[0].text, localizedString("ERROR_UPDATE_OFFLINE"));
    EXPECT_EQ(screen.updateChecks.size(), 3u);
}

TEST_F(ServerCommandsTest, SyncCallbackIsTheLatestCommandsAndNeedsAWebView)
{
    sharedConfig().defaults.set("serverprotocol", "http://");
    testsupport::runCommand(screen, "syncFile?callback=first&url=http://127.0.0.1:9/a?file=a.txt");
    EXPECT_EQ(screen.syncCallBack.callback(), "first");
    testsupport::runCommand(screen, "syncFileAuth?callback&url=http://127.0.0.1:9/a?file=a.txt");
    EXPECT_EQ(screen.syncCallBack.callback(), std::nullopt);

    screen.syncCallBack = PageReply({}, "kept");
    screen.view.reset();
    testsupport::runCommand(screen, "syncFile?callback=other&url=http://127.0.0.1:9/a?file=a.txt");
    EXPECT_EQ(screen.syncCallBack.callback(), "kept");
}

TEST_F(ServerCommandsTest, SyncStoreKeyCarriesTheFileAsAQueryItem)
{
    struct Case {
        const char* url;
        std::optional<std::string> fileName;
        const char* keyStart;
        const char* file;
    };
    const Case cases[] = {
        {"sync.php", "a b.pdf", "sync.php?file=a%20b.pdf&nsuuid=", "a b.pdf"},
        {"sync.php?id=3", "c.txt", "sync.php?id=3&file=c.txt&nsuuid=", "c.txt"},
        {"sync.php?file=d.txt", "other.txt", "sync.php?file=d.txt&nsuuid=", "d.txt"},
        {"sync.php", std::nullopt, "sync.php?nsuuid=", ""},
    };
    for (const Case& c : cases) {
        const std::string key = ServerCom::syncStoreKey(c.url, c.fileName);
        EXPECT_TRUE(key.starts_with(c.keyStart)) << key;
        EXPECT_EQ(ServerCom::fileName(key), c.file) << key;
        EXPECT_NE(key, ServerCom::syncStoreKey(c.url, c.fileName));
    }
}

TEST_F(ServerCommandsTest, CallServerWithoutParamsSendsNothing)
{
    sharedConfig().defaults.set("serverprotocol", "http://");
    EXPECT_THAT(testsupport::runCommand(screen, "callServer?callback=done"), ElementsAre());
    EXPECT_THAT(testsupport::runCommand(screen, "callServer?params&callback=done"), ElementsAre());
    EXPECT_TRUE(fakes.toast->shown.empty());
}

namespace {

class UpdateWordTest : public testsupport::WebScreenFixture {
protected:
    UpdateWordTest()
        : WebScreenFixture(UpdateChecks::record)
    {
    }
};

} // namespace

TEST_F(UpdateWordTest, PlainWordAsksWithoutLandingPage)
{
    auto network = std::make_shared<testsupport::FakeReachability>();
    network->setFlags(platform::Reachability::reachable);
    platform::current().reachability = network;
    window->show();
    runMainQueue();
    sharedConfig().updateSilentMode = 4;
    screen->landingPage = "old.html";
    currentWebView().postMessage("update");
    runMainQueue();
    EXPECT_EQ(sharedConfig().updateSilentMode, 0);
    ASSERT_NE(topAlert(), nullptr);
    EXPECT_EQ(topAlert()->alert()->title, localizedString("VC_UPDATE"));
    topAlert()->pressAlertButton(0);
    runMainQueue();
    EXPECT_EQ(screen->landingPage, "");
    EXPECT_EQ(updateChecks, std::vector<bool>{false});
}
