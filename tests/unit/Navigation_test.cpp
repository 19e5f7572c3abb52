// How navigations end and which ones the web view may follow, over the doubles.
#include "base/Config.h"
#include "base/LocalizedTexts.h"
#include "tests/support/WebScreenFixture.h"

#include <gmock/gmock.h>

using platform::WebView;
using testing::ElementsAre;
using testing::IsEmpty;
using Policy = WebView::NavigationActionPolicy;

namespace {

class NavigationTest : public testsupport::WebScreenFixture {
protected:
    void SetUp() override
    {
        writeWebFile("index.html");
        screen->initWebView("/index.html");
    }

    std::vector<Policy> decide(const std::string& url, bool newWindow = false)
    {
        return currentWebView().requestPolicy({url, newWindow})->answers;
    }

    static WebView::NavigationError missingFile(const std::string& url)
    {
        return {"g-io-error-quark", 1, "Error opening file: No such file or directory", url, false};
    }
};

} // namespace

TEST_F(NavigationTest, FinishedNavigationRunsTheLandingScriptThenTheQueueLastPushedFirst)
{
    auto& stack = sharedConfig().stackOfJScript;
    stack.lock()->push("A()");
    stack.lock()->push("B()");
    stack.lock()->push("C()");
    screen->landingScript = "landing()";
    screen->landingPage = "shop";

    currentWebView().finishNavigation();
    runMainQueue();
    EXPECT_THAT(currentWebView().scripts(), ElementsAre("landing()", "C()", "B()", "A()"));
    EXPECT_TRUE(stack.lock()->items.empty());
    EXPECT_EQ(screen->landingScript, "");
    EXPECT_EQ(screen->landingPage, "");

    // Each acts on one page load only.
    currentWebView().finishNavigation();
    runMainQueue();
    EXPECT_EQ(currentWebView().scripts().size(), 4u);
}

TEST_F(NavigationTest, PolicyKeepsFilesAndMarkedAddressesAndHandsTheRestToTheDesktop)
{
    EXPECT_THAT(decide("file://" + webRoot().string() + "/other.html"), ElementsAre(Policy::allow));
    EXPECT_THAT(decide("https://example.org/page?load_internal=true"), ElementsAre(Policy::allow));
    EXPECT_THAT(decide("data:text/plain,hi"), ElementsAre(Policy::allow));
    EXPECT_THAT(fakes.urlOpener->opened(), IsEmpty());

    for (const std::string url : {"https://example.org/", "http://example.org/x", "mailto:a@example.org",
                                  "sms:+4912345", "about:blank"}) {
        SCOPED_TRACE(url);
        EXPECT_THAT(decide(url), ElementsAre(Policy::cancel));
        EXPECT_EQ(fakes.urlOpener->opened().back(), url);
    }
    // A new-window request follows the same rules.
    EXPECT_THAT(decide("https://example.org/new", true), ElementsAre(Policy::cancel));
    EXPECT_EQ(fakes.urlOpener->opened().back(), "https://example.org/new");
    EXPECT_EQ(fakes.urlOpener->opened().size(), 6u);

    // A request without URL.
    EXPECT_EQ(currentWebView().requestPolicy({std::nullopt, false})->answers, std::vector<Policy>{Policy::cancel});
    EXPECT_EQ(topAlert(), nullptr);
}

TEST_F(NavigationTest, TelephoneNumberIsOfferedForCallingAndNeverLoaded)
{
    EXPECT_THAT(decide("tel:+49%20711%20123"), ElementsAre(Policy::cancel));
    auto* alert = topAlert();
    ASSERT_NE(alert, nullptr);
    EXPECT_EQ(alert->alert()->title, "+49 711 123");
    EXPECT_EQ(alert->alert()->message, "");
    ASSERT_EQ(alert->alert()->actions.size(), 2u);
    EXPECT_EQ(alert->alert()->actions[0].title, localizedString("Cancel"));
    EXPECT_EQ(alert->alert()->actions[0].style, platform::AlertAction::Style::Cancel);
    EXPECT_EQ(alert->alert()->actions[1].title, localizedString("Call"));

    alert->pressAlertButton(0); // Cancel: nothing
    EXPECT_THAT(fakes.urlOpener->opened(), IsEmpty());

    decide("tel:0711-123");
    topAlert()->pressAlertButton(1); // Call: dials
    EXPECT_THAT(fakes.urlOpener->opened(), ElementsAre("tel:0711-123"));

    // A number that does not decode to text: cancelled without alert.
    EXPECT_THAT(decide("tel:%FF"), ElementsAre(Policy::cancel));
    EXPECT_EQ(topAlert(), nullptr);
}

TEST_F(NavigationTest, MissingPageBringsUpTheRecoveryAlertWhoseHomeLoadsTheStartPage)
{
    currentWebView().failProvisionalNavigation(missingFile("file://" + webRoot().string() + "/missing.html"));
    runMainQueue();
    auto* alert = topAlert();
    ASSERT_NE(alert, nullptr);
    EXPECT_EQ(alert->alert()->title, JS_ALERT_TITLES().at("ERROR"));
    EXPECT_EQ(alert->alert()->message, screen->ERROR_LOCAL_DATA);
    ASSERT_EQ(alert->alert()->actions.size(), 2u);
    EXPECT_EQ(alert->alert()->actions[0].title, screen->ERROR_LOCAL_DATA_HOME);
    EXPECT_EQ(alert->alert()->actions[1].title, screen->ERROR_LOCAL_DATA_RESET);

    alert->pressAlertButton(0);
    runMainQueue();
    EXPECT_EQ(fakes.webViews.size(), 2u);
    EXPECT_EQ(loadedPage(), "/index.html");
}

// A page that exists but fails to load (unreadable) is retried once, then recovered by the alert, never looped.
TEST_F(NavigationTest, AnExistingPageThatFailsIsRetriedOnceOnly)
{
    writeWebFile("news.html");
    const std::string url = "file://" + webRoot().string() + "/news.html";
    currentWebView().failProvisionalNavigation(missingFile(url));
    runMainQueue();
    EXPECT_EQ(fakes.webViews.size(), 2u);
    EXPECT_EQ(loadedPage(), "/news.html");
    EXPECT_EQ(topAlert(), nullptr);

    currentWebView().failProvisionalNavigation(missingFile(url));
    runMainQueue();
    EXPECT_EQ(fakes.webViews.size(), 2u);
    EXPECT_NE(topAlert(), nullptr);
}

// A file the web view refuses (outside the application's folder) gets the recovery alert, not
// a load of the web root's page of the same name.
TEST_F(NavigationTest, ARefusedFileGetsTheRecoveryAlertWithoutARetry)
{
    writeWebFile("outside.html");
    auto refused = missingFile("file://" + webRoot().string() + "/outside.html");
    refused.refused = true;
    currentWebView().failProvisionalNavigation(refused);
    runMainQueue();
    EXPECT_EQ(fakes.webViews.size(), 1u);
    ASSERT_NE(topAlert(), nullptr);
    EXPECT_EQ(topAlert()->alert()->message, screen->ERROR_LOCAL_DATA);
}

// A load cancelled because a newer load replaced it is only logged.
TEST_F(NavigationTest, CancelledAndNonFileFailuresAreOnlyLogged)
{
    auto cancelled = missingFile("file://" + webRoot().string() + "/missing.html");
    cancelled.cancelled = true;
    currentWebView().failProvisionalNavigation(cancelled);
    currentWebView().failProvisionalNavigation(missingFile("https://example.org/"));
    currentWebView().failNavigation(missingFile("file://" + webRoot().string() + "/gone.html"));
    runMainQueue();
    EXPECT_EQ(topAlert(), nullptr);
    EXPECT_EQ(fakes.webViews.size(), 1u);
    // The log line is the behaviour here: nothing else is observable.
    EXPECT_TRUE(log.contains(Logger::Level::Debug, "Provisional Nav failed! "));
    EXPECT_TRUE(log.contains(Logger::Level::Debug, "FAILED Navigation! "));
}

TEST_F(NavigationTest, DeadWebContentProcessReloadsTheLandingPage)
{
    screen->landingPage = "shop";
    currentWebView().terminateWebContentProcess();
    runMainQueue();
    EXPECT_EQ(fakes.webViews.size(), 2u);
    EXPECT_EQ(loadedPage(), "/shop.html");
}

TEST_F(NavigationTest, ReplacedWebViewReportsNothingAnyMore)
{
    auto old = fakes.webViews.back();
    screen->initWebView("/index.html");
    sharedConfig().stackOfJScript.lock()->push("queued()");
    old->finishNavigation();
    old->terminateWebContentProcess();
    runMainQueue();
    EXPECT_EQ(sharedConfig().stackOfJScript.lock()->items.size(), 1u);
    EXPECT_EQ(fakes.webViews.size(), 2u);
    EXPECT_THAT(old->requestPolicy({"file:///x.html", false})->answers, ElementsAre(Policy::cancel));
}

// The page's own alert() and confirm() go through the alert helper.
TEST_F(NavigationTest, PageDialogsUseTheAlertHelper)
{
    auto alertRequest = currentWebView().runDialog({WebView::ScriptDialog::Type::alert, "Saved"});
    ASSERT_TRUE(alertRequest->handled);
    auto* shown = topAlert();
    ASSERT_NE(shown, nullptr);
    EXPECT_EQ(shown->alert()->title, JS_ALERT_TITLES().at("INFO"));
    EXPECT_EQ(shown->alert()->message, "Saved");
    EXPECT_EQ(shown->alert()->appearance, platform::Alert::Appearance::Tinted);
    ASSERT_EQ(shown->alert()->actions.size(), 1u);
    shown->pressAlertButton(0);
    EXPECT_THAT(alertRequest->answers, ElementsAre(true));

    auto confirmRequest = currentWebView().runDialog({WebView::ScriptDialog::Type::confirm, "Delete?"});
    ASSERT_EQ(topAlert()->alert()->actions.size(), 2u);
    EXPECT_EQ(topAlert()->alert()->actions[1].title, localizedString("Cancel"));
    topAlert()->pressAlertButton(1);
    EXPECT_THAT(confirmRequest->answers, ElementsAre(false));
}

TEST_F(NavigationTest, PageMessagesReachTheRouter)
{
    sharedConfig().defaults.set("uuid", "u-1");
    currentWebView().postMessage("getUuid?callback=x");
    runMainQueue();
    EXPECT_THAT(currentWebView().scripts(), ElementsAre(R"(x("{\"uuid\":\"u-1\"}"))"));
    // Another handler's messages are not the bridge's.
    currentWebView().postMessage("getUuid?callback=y", "otherHandler");
    runMainQueue();
    EXPECT_EQ(currentWebView().scripts().size(), 1u);
}
