// The router of the page's messages and its hand-over to the bridge's command table, on the
// web screen over the doubles.
#include "base/Config.h"
#include "base/LocalizedTexts.h"
#include "contentserver/LazyLoad.h"
#include "contentserver/ServerCom.h"
#include "tests/support/WebScreenFixture.h"
#include "webcontainer/CommandTable.h"

#include <gmock/gmock.h>

using testing::ElementsAre;
using Level = Logger::Level;

namespace {

// Command URLs that reached the recording handlers.
std::vector<std::string> dispatched;

void record(BridgeScreen&, BridgeRequest& request)
{
    const CommandURL& url = request.url;
    dispatched.push_back(url.word() + " " + url.items().front().name + "=" + url.items().front().value.value_or("-"));
}

class ScriptMessageRouter : public testsupport::WebScreenFixture {
protected:
    explicit ScriptMessageRouter(const CommandTable& commands = bridgeCommandTable())
        : WebScreenFixture(UpdateChecks::run, commands)
    {
        window->show();
        runMainQueue();
    }

    // The page posts `body`; returns the scripts evaluated in the page meanwhile.
    std::vector<std::string> post(const std::string& body, const std::string& name = "callbackHandler")
    {
        auto& view = currentWebView();
        const std::size_t before = view.scripts().size();
        view.postMessage(body, name);
        runMainQueue();
        return {view.scripts().begin() + static_cast<std::ptrdiff_t>(before), view.scripts().end()};
    }
};

// The router over a command table that only records what reaches it.
class RecordingRouter : public ScriptMessageRouter {
protected:
    RecordingRouter()
        : ScriptMessageRouter(recordingTable())
    {
        dispatched.clear();
    }

    static const CommandTable& recordingTable()
    {
        static const CommandTable table = [] {
            CommandTable words;
            words.add("update", record);
            words.add("config", record);
            return words;
        }();
        return table;
    }
};

} // namespace

TEST_F(RecordingRouter, TextsWithAQueryGoToTheDispatcher)
{
    post("update?silentMode=silent");
    post("config?x=1");
    // The plain word "config" is no command URL.
    post("config");
    EXPECT_THAT(dispatched, ElementsAre("update silentMode=silent", "config x=1"));
}

TEST_F(ScriptMessageRouter, CommandURLsAreAnsweredInThePage)
{
    sharedConfig().defaults.set("uuid", "u-7");
    EXPECT_THAT(post("getUuid?callback=onUuid"), ElementsAre(R"(onUuid("{\"uuid\":\"u-7\"}"))"));
}

TEST_F(ScriptMessageRouter, OtherHandlerNamesAndUnknownWordsAreDropped)
{
    EXPECT_THAT(post("getUuid?callback=f", "otherHandler"), ElementsAre());
    EXPECT_THAT(post("Reset"), ElementsAre());
    EXPECT_THAT(post("42"), ElementsAre());
    EXPECT_THAT(post("subscribeGCM"), ElementsAre());
    // The log line is the behaviour here: nothing else is observable.
    EXPECT_TRUE(log.has(Level::Debug, "Subscribe to GCM!"));
    EXPECT_EQ(topAlert(), nullptr);
}

TEST_F(ScriptMessageRouter, TextThatIsNoURLIsLoggedAndDropped)
{
    EXPECT_THAT(post("getValue?key=%zz&callback=f"), ElementsAre());
    // The log line is the behaviour here: nothing else is observable.
    EXPECT_TRUE(log.has(Level::Error, "FixMe FAILED URL wrapping"));
}

// A raw NUL cut the message and setValue stored the prefix "abc"; a text that is no Unicode
// (a lone surrogate arrives as bytes that are no UTF-8) ran as far as it decoded.
TEST_F(ScriptMessageRouter, AMessageWithARawNulOrNoUnicodeTextIsRefusedWhole)
{
    using namespace std::string_literals;
    for (const std::string& body : {"setValue?lang=a&value=abc\0def&callback=f"s,
                                    "setValue?lang=a&value=abc\xED\xA0\x80" "def&callback=f"s}) {
        SCOPED_TRACE(body);
        EXPECT_THAT(post(body), ElementsAre());
        EXPECT_EQ(sharedConfig().defaults.object("cli_a"), std::nullopt);
    }
}

TEST_F(ScriptMessageRouter, ClearAllValuesRemovesOnlyThePagesValues)
{
    auto& defaults = sharedConfig().defaults;
    defaults.set("cli_name", "Ann");
    defaults.set("cli_", "x");
    defaults.set("clang", "de");
    defaults.set("client", "keep");
    post("clearAllValues");
    EXPECT_EQ(defaults.object("cli_name"), std::nullopt);
    EXPECT_EQ(defaults.object("cli_"), std::nullopt);
    EXPECT_EQ(defaults.string("clang"), "de");
    EXPECT_EQ(defaults.string("client"), "keep");
    EXPECT_TRUE(defaults.string("uuid"));
}

TEST_F(ScriptMessageRouter, IsGcmActiveAlwaysAnswersTrue)
{
    EXPECT_THAT(post("isgcmactive"), ElementsAre("togglePushNotification(true)"));
}

TEST_F(ScriptMessageRouter, BridgeDialogsGoThroughTheAlertHelper)
{
    post("deleteSyncFile?callback=done&filename=missing.pdf");
    auto* alert = topAlert();
    ASSERT_NE(alert, nullptr);
    EXPECT_EQ(alert->alert()->title, JS_ALERT_TITLES().at("ERROR") + ":665");
    EXPECT_EQ(alert->alert()->message, screen->VC_FILE_DELETE_ERROR);
    ASSERT_EQ(alert->alert()->actions.size(), 1u);
    EXPECT_EQ(alert->alert()->actions[0].title, localizedString("OK"));
    alert->pressAlertButton(0);
    runMainQueue();
    EXPECT_THAT(currentWebView().scripts(), ElementsAre("hideAllLoading()"));
}

TEST_F(ScriptMessageRouter, CancelLazyLoadSuspendsForADayAndResumeGoesOnAtOnce)
{
    // The screen's loaded view made it known to the content server.
    EXPECT_EQ(screen, std::static_pointer_cast<ViewController>(sharedServerCom().viewController.lock()));
    sharedConfig().defaults.set("LazyLoadList", platform::PlistValue::stringArray({"a.css"}));
    const auto before = platform::now();
    EXPECT_THAT(post("cancelLazyLoad"), ElementsAre("if (window.hideLazyLoadNotification) {hideLazyLoadNotification();}"));
    ASSERT_TRUE(sharedLazyLoad().lazyLoadSuspendUntil);
    const auto ahead = *sharedLazyLoad().lazyLoadSuspendUntil - before;
    EXPECT_GE(ahead, std::chrono::hours(24));
    EXPECT_LT(ahead, std::chrono::hours(24) + std::chrono::minutes(1));
    // While suspended nothing is fetched: no file's progress reaches the page.
    const std::size_t scripts = currentWebView().scripts().size();
    sharedLazyLoad().lazyLoadNext(screen->webView);
    runMainQueue();
    EXPECT_EQ(currentWebView().scripts().size(), scripts);

    // Resumed, the next file is taken: its progress reaches the page.
    EXPECT_THAT(post("resumeLazyLoad"),
                ElementsAre("if (window.showLazyLoadNotification) {showLazyLoadNotification(0, 0);}"));
    EXPECT_FALSE(sharedLazyLoad().lazyLoadSuspendUntil);
}
