// The bridge commands in the real WebKitGTK view: the demo page's self-check posts setValue,
// getValue, getUuid, getAppState, getFilesList, getHTML and moveFile and checks every answer
// in the page.
#include "base/Config.h"
#include "platform/Dispatch.h"
#include "tests/support/RealWebScreenFixture.h"

#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace {

class BridgeCommandsTest : public testsupport::RealWebScreenFixture {
protected:
    void SetUp() override
    {
        RealWebScreenFixture::SetUp();
        if (HasFatalFailure())
            return;
        evaluate("document.getElementById('link-bridge').click()");
        ASSERT_TRUE(waitForFinishedNavigations(2)) << "the bridge page did not finish loading";
        ASSERT_EQ(screen->webView->url(), "file://" + sharedConfig().WEBROOT + "/bridge.html");
    }

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

} // namespace

TEST_F(BridgeCommandsTest, ThePagesSelfCheckPassesEveryCommand)
{
    evaluate("bridgeCheck.run(); 0");
    const std::string outcome = waitForOutcome("check-result");
    EXPECT_EQ(outcome, "passed") << evaluate("document.getElementById('checks').innerText").value_or("");
    EXPECT_EQ(evaluate("document.querySelectorAll('#checks tr.pass').length"), "8");

    // The moves went there and back; the value the page stored is removed again.
    const fs::path webRoot = sharedConfig().WEBROOT;
    EXPECT_TRUE(fs::exists(webRoot / "snippets" / "greeting.html"));
    EXPECT_FALSE(fs::exists(webRoot / "moved" / "greeting.html"));
    EXPECT_EQ(sharedConfig().defaults.object("cli_check"), std::nullopt);
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
