// The web screen with the real WebKitGTK view in a real GTK window (run under Xvfb), in the
// test's temporary home: the first start installs the demo web application from the built
// bundle and the screen loads it. Only the desktop's URL handlers are a double, so no browser
// starts.
#include "base/Config.h"
#include "base/JavaScriptCalls.h"
#include "base/LocalizedTexts.h"
#include "portable/Dispatch.h"
#include "tests/support/RealWebScreenFixture.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace fs = std::filesystem;
using testing::ElementsAre;

namespace {

class WebScreenTest : public testsupport::RealWebScreenFixture {};

} // namespace

TEST_F(WebScreenTest, FirstStartInstallsAndShowsTheDemoIndexPage)
{
    EXPECT_TRUE(fs::exists(fs::path(sharedConfig().WEBROOT) / "index.html"));
    EXPECT_EQ(screen->webView->url(), "file://" + sharedConfig().WEBROOT + "/index.html");
    EXPECT_EQ(evaluate("document.getElementById('title').textContent"), "webcontainer demo");
    // The page sees the bridge.
    EXPECT_EQ(evaluate("document.getElementById('bridge-state').textContent"), "ready");
}

TEST_F(WebScreenTest, AMessagePostedByThePageReachesTheRouter)
{
    // The router's answer reaches the page: the installation's identity in the page's log.
    const std::string answer = "← {\"uuid\":\"" + sharedConfig().defaults.string("uuid").value_or("") + "\"}";
    evaluate("document.querySelector('[data-message=\"getUuid?callback=showAnswer\"]').click()");
    EXPECT_TRUE(platform::runMainLoopUntil(
        [&] {
            return evaluate("document.querySelector('#log .answer:last-child').textContent").value_or("") == answer;
        },
        kTimeout));
}

// A body that was no string ran as the command of its text form (String(value)).
TEST_F(WebScreenTest, OnlyTextMessagesReachTheRouter)
{
    const std::string post = "window.webkit.messageHandlers.callbackHandler.postMessage";
    for (const std::string body : {"['setValue?lang=array&value=1']", "[['setValue?lang=nested&value=1'], 2]"})
        evaluate(post + "(" + body + "); 0");
    // Messages are handled in order: once this one has arrived, the others have been handled.
    evaluate(post + "('setValue?lang=text&value=1'); 0");
    auto& defaults = sharedConfig().defaults;
    ASSERT_TRUE(platform::runMainLoopUntil([&] { return defaults.object("cli_text").has_value(); }, kTimeout));
    EXPECT_FALSE(defaults.object("cli_array").has_value());
    EXPECT_FALSE(defaults.object("cli_nested").has_value());
}

TEST_F(WebScreenTest, AScriptEvaluatedFromNativeChangesThePage)
{
    callJS("document.getElementById('title').textContent = 'changed from native'", screen->webView);
    EXPECT_TRUE(platform::runMainLoopUntil(
        [&] { return evaluate("document.getElementById('title').textContent") == "changed from native"; }, kTimeout));
}

TEST_F(WebScreenTest, AWebLinkWithoutTheMarkerGoesToTheDesktopAndThePageStays)
{
    const auto view = screen->webView;
    evaluate("document.getElementById('link-web').click()");
    ASSERT_TRUE(platform::runMainLoopUntil([&] { return !urlOpener->opened().empty(); }, kTimeout));
    EXPECT_THAT(urlOpener->opened(), ElementsAre("https://example.org/"));
    EXPECT_EQ(screen->webView, view);
    EXPECT_EQ(view->url(), "file://" + sharedConfig().WEBROOT + "/index.html");
    EXPECT_EQ(evaluate("document.getElementById('title').textContent"), "webcontainer demo");
}

TEST_F(WebScreenTest, AMissingPageBringsUpTheRecoveryAlertAndHomeLoadsTheStartPage)
{
    const auto firstView = screen->webView;
    evaluate("document.getElementById('link-missing').click()");
    ASSERT_TRUE(platform::runMainLoopUntil([&] { return topWindow() != delegate.window.get(); }, kTimeout));
    const auto& alert = topWindow()->alert();
    ASSERT_TRUE(alert);
    EXPECT_EQ(alert->title, JS_ALERT_TITLES().at("ERROR"));
    EXPECT_EQ(alert->message, screen->ERROR_LOCAL_DATA);
    ASSERT_EQ(alert->actions.size(), 2u);
    EXPECT_EQ(alert->actions[0].title, screen->ERROR_LOCAL_DATA_HOME);

    topWindow()->pressAlertButton(0);
    EXPECT_EQ(topWindow(), delegate.window.get());
    ASSERT_TRUE(waitForFinishedNavigations(2));
    EXPECT_NE(screen->webView, firstView);
    EXPECT_EQ(screen->webView->url(), "file://" + sharedConfig().WEBROOT + "/index.html");
}

TEST_F(WebScreenTest, ThePagesOwnAlertGoesThroughTheAlertHelper)
{
    evaluate("setTimeout(function () { document.getElementById('page-confirm').click(); }, 0)");
    ASSERT_TRUE(platform::runMainLoopUntil([&] { return topWindow() != delegate.window.get(); }, kTimeout));
    const auto& alert = topWindow()->alert();
    ASSERT_TRUE(alert);
    EXPECT_EQ(alert->title, JS_ALERT_TITLES().at("INFO"));
    EXPECT_EQ(alert->message, "Do you confirm?");
    ASSERT_EQ(alert->actions.size(), 2u);
    topWindow()->pressAlertButton(0);
    EXPECT_TRUE(until([&] { return pageLog().find("confirm() = true") != std::string::npos; }));
}

// A dialog handler that threw released the engine's dialog twice (the dropped answer closed
// and released it, then the signal handler released it again): the page must go on, dialog
// after dialog.
TEST_F(WebScreenTest, ADialogHandlerThatThrowsLeavesThePageWorking)
{
    screen->webView->onScriptDialog = [](const platform::WebView::ScriptDialog&,
                                         const platform::WebView::ScriptDialogCompletion&) {
        throw std::runtime_error("dialog handler failed");
    };
    EXPECT_EQ(evaluate("alert('one'); confirm('two') ? 'ok' : 'cancelled'"), "cancelled");
    EXPECT_EQ(evaluate("alert('three'); 'still running'"), "still running");
}
