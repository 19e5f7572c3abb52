// The bridge commands in the real WebKitGTK view: the demo page's self-check posts setValue,
// getValue, getUuid, getAppState, getFilesList, getHTML, moveFile, controlAudio, vibrate and
// openVideoMeeting and checks every answer in the page, with WebKit's sandbox on and off; every
// button of the page names a word the bridge knows.
#include "base/Config.h"
#include "platform/linux/WebProcessSandbox.h"
#include "portable/Dispatch.h"
#include "tests/support/RealWebScreenFixture.h"
#include "tests/support/TestEnvironment.h"
#include "webcontainer/CommandTable.h"
#include "webcontainer/CommandURL.h"

#include <gtest/gtest.h>

#include <memory>
#include <sstream>

namespace fs = std::filesystem;

namespace {

class BridgeCommandsTest : public testsupport::RealWebScreenFixture {
protected:
    BridgeCommandsTest() : RealWebScreenFixture(StartPage::bridge) {}

    // Waits until the page's element `id` shows a text other than "" and "running".
    std::string waitForOutcome(const std::string& id)
    {
        const std::string script = "document.getElementById('" + id + "').textContent";
        std::string text;
        platform::runMainLoopUntil(
            [&] {
                text = evaluate(script).value_or("");
                return !text.empty() && text != "running";
            },
            kTimeout);
        return text;
    }
};

// The same page with WebKit's sandbox forced on or off: the confinement of the page's file
// reads, with either wall, leaves the page's own files and every command working.
class SelfCheckTest : public BridgeCommandsTest, public testing::WithParamInterface<bool> {
protected:
    void SetUp() override
    {
        if (GetParam() && !platform::gtk::WebProcessSandbox::canRun())
            GTEST_SKIP() << "bubblewrap cannot start a sandbox on this machine: WebKit's sandbox cannot run here";
        sandbox = std::make_unique<testsupport::ScopedEnvironment>(
            std::initializer_list<std::pair<std::string, std::optional<std::string>>>{
                {"WEBCONTAINER_WEB_SANDBOX", GetParam() ? "1" : "0"}});
        BridgeCommandsTest::SetUp();
    }

    std::unique_ptr<testsupport::ScopedEnvironment> sandbox;
};

} // namespace

TEST_P(SelfCheckTest, ThePagesSelfCheckPassesEveryCommand)
{
    evaluate("bridgeCheck.run(); 0");
    const std::string outcome = waitForOutcome("check-result");
    EXPECT_EQ(outcome, "passed") << evaluate("document.getElementById('checks').innerText").value_or("");
    EXPECT_EQ(evaluate("document.querySelectorAll('#checks tr.pass').length"), "10");

    // The moves went there and back; the value the page stored is removed again.
    const fs::path webRoot = sharedConfig().WEBROOT;
    EXPECT_TRUE(fs::exists(webRoot / "snippets" / "greeting.html"));
    EXPECT_FALSE(fs::exists(webRoot / "moved" / "greeting.html"));
    EXPECT_EQ(sharedConfig().defaults.object("cli_check"), std::nullopt);
}

INSTANTIATE_TEST_SUITE_P(Sandbox, SelfCheckTest, testing::Values(true, false),
                         [](const testing::TestParamInfo<bool>& info) { return info.param ? "On" : "Off"; });

// The page's "vibrate" button posted the bare word, which the router drops: a command word
// reaches its handler only as a command URL.
TEST_F(BridgeCommandsTest, EveryButtonOfThePagePostsAWordTheBridgeKnows)
{
    std::istringstream messages(
        evaluate("Array.from(document.querySelectorAll('[data-message]')).map(function (b) {"
                 " return b.getAttribute('data-message'); }).join('\\n')")
            .value_or(""));
    std::size_t count = 0;
    for (std::string message; std::getline(messages, message); ++count) {
        SCOPED_TRACE(message);
        // "update" is also a plain word of the router, which asks before the check.
        if (message.find('?') == std::string::npos) {
            if (message != "update") {
                EXPECT_EQ(bridgeCommandTable().find(message), nullptr) << "a command word without its \"?\"";
            }
            continue;
        }
        const auto url = CommandURL::parse(message);
        ASSERT_TRUE(url);
        EXPECT_NE(bridgeCommandTable().find(url->word()), nullptr);
    }
    EXPECT_GT(count, 40u);
}

TEST_F(BridgeCommandsTest, AnswersCarryTheNativeValues)
{
    sharedConfig().defaults.set("uuid", "e2e-\"uuid\"");
    evaluate("bridgeCheck.ask('getUuid').then(function (a) { window.answer = JSON.parse(a).uuid; }); 0");
    ASSERT_TRUE(platform::runMainLoopUntil(
        [&] { return evaluate("typeof window.answer").value_or("") == "string"; }, kTimeout));
    EXPECT_EQ(evaluate("window.answer"), "e2e-\"uuid\"");

    // A value stored by the page is the native setting, quote and line break included.
    evaluate("window.webkit.messageHandlers.callbackHandler.postMessage("
             "'setValue?lang=e2e&value=' + encodeURIComponent('a \"b\"\\nc'))");
    ASSERT_TRUE(platform::runMainLoopUntil([&] { return sharedConfig().defaults.object("cli_e2e").has_value(); },
                                           kTimeout));
    EXPECT_EQ(sharedConfig().defaults.string("cli_e2e"), "a \"b\"\nc");
}

// A raw U+0000 cut the posted message (setValue stored "abc"), and a lone surrogate cut it
// too (moveFile moved the file to "g" and answered nothing): messages are taken whole, and
// one that is no Unicode text is refused whole.
TEST_F(BridgeCommandsTest, PostedMessagesAreTakenWholeOrRefusedWhole)
{
    const fs::path webRoot = sharedConfig().WEBROOT;
    evaluate(R"JS(
        var post = function (text) { window.webkit.messageHandlers.callbackHandler.postMessage(text); };
        window.answered = 'no';
        window.onMove = function () { window.answered = 'yes'; };
        post('setValue?lang=nul&value=abc\u0000def');
        post('setValue?lang=lone&value=abc\uD800def');
        post('moveFile?fromPath=snippets&fromFileName=greeting.html&toPath=moved&toFileName=g\uD800.html&callback=onMove');
        post('setValue?lang=text&value=\uD83D\uDE00 \\ud800 "q"');
        post(['setValue?lang=array&value=a\uD800b']);
        post('setValue?lang=done&value=1');
        0
    )JS");
    // Messages are handled in the order posted: the last one marks the end.
    ASSERT_TRUE(platform::runMainLoopUntil([&] { return sharedConfig().defaults.object("cli_done").has_value(); },
                                           kTimeout));
    const auto nul = sharedConfig().defaults.string("cli_nul");
    EXPECT_TRUE(!nul || *nul == std::string("abc\0def", 7)) << *nul;
    EXPECT_EQ(sharedConfig().defaults.object("cli_lone"), std::nullopt);
    EXPECT_EQ(sharedConfig().defaults.object("cli_array"), std::nullopt);
    EXPECT_TRUE(fs::exists(webRoot / "snippets" / "greeting.html"));
    EXPECT_FALSE(fs::exists(webRoot / "moved"));
    EXPECT_EQ(evaluate("window.answered"), "no");
    // Text that only looks like an escape, and a character beyond the first plane, arrive as written.
    EXPECT_EQ(sharedConfig().defaults.string("cli_text"), "\xF0\x9F\x98\x80 \\ud800 \"q\"");
}
