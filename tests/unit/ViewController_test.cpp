// The web screen over the doubles: which page a name stands for, landing pages, reloads,
// the creation of each web view, and the swipe.
#include "base/Config.h"
#include "tests/support/ManualClock.h"
#include "tests/support/TestEnvironment.h"
#include "tests/support/WebScreenFixture.h"

#include <gmock/gmock.h>

using testing::ElementsAre;
using testsupport::ScopedEnvironment;

namespace {

class ViewControllerTest : public testsupport::WebScreenFixture {};

} // namespace

TEST_F(ViewControllerTest, IndexPageByChosenLanguageThenPreferredLanguageThenPlain)
{
    ScopedEnvironment language({{"LANGUAGE", "de_DE:en"}});
    writeWebFile("index.html");
    writeWebFile("index_en.html");
    auto& defaults = sharedConfig().defaults;

    defaults.set("clang", "en");
    EXPECT_EQ(screen->getIndexPage("index"), "/index_en.html");

    defaults.set("clang", "fr");
    EXPECT_EQ(screen->getIndexPage("index"), "/index.html"); // no index_fr.html, no index_de.html
    writeWebFile("index_de.html");
    EXPECT_EQ(screen->getIndexPage("index"), "/index_de.html");

    defaults.set("clang", "");
    EXPECT_EQ(screen->getIndexPage("index"), "/index_de.html");
    EXPECT_EQ(screen->getIndexPage("news"), "/news.html"); // a page without variants
}

TEST_F(ViewControllerTest, PageNamesLoseQueryAndFragmentAndKeepTheQueryItems)
{
    EXPECT_EQ(screen->getIndexPage("news.html?id=7"), "/news.html");
    EXPECT_EQ(sharedConfig().defaults.string("cli_id"), "7");
    EXPECT_EQ(screen->getIndexPage("a.html#top"), "/a.html");
    EXPECT_EQ(screen->getIndexPage("dir/page.html?x=1"), "/page.html");
}

TEST_F(ViewControllerTest, FirstAppearanceLoadsTheStartPageIntoANewPinnedWebView)
{
    window->show();
    EXPECT_EQ(screen->webView, nullptr); // the load is queued
    runMainQueue();
    auto& view = currentWebView();
    EXPECT_EQ(loadedPage(), "/index.html");
    EXPECT_EQ(view.loads().back().readAccess, sharedConfig().BASEURL);
    // The engine confines the page before its process starts, so the view is made with the folder.
    EXPECT_EQ(view.configuration().readAccessFolder, sharedConfig().BASEURL);
    EXPECT_THAT(view.configuration().scriptMessageHandlers, ElementsAre("callbackHandler"));
    EXPECT_TRUE(view.configuration().allowFileAccessFromFileURLs);
    EXPECT_EQ(view.superview(), window->contentView().get());
    EXPECT_TRUE(view.isPinnedToSuperviewEdges());

    // Every load makes a new web view; the old one leaves the screen.
    screen->loadPage("/other.html");
    runMainQueue();
    ASSERT_EQ(fakes.webViews.size(), 2u);
    EXPECT_EQ(fakes.webViews[0]->superview(), nullptr);
    EXPECT_THAT(window->contentView()->subviews(), ElementsAre(fakes.webViews[1]));

    // Appearing again keeps the web view.
    window->show();
    runMainQueue();
    EXPECT_EQ(fakes.webViews.size(), 2u);
}

// A web view made ahead holds the first page only when it was configured as the screen's
// views are then; the loads after it make new ones.
TEST_F(ViewControllerTest, AWebViewMadeAheadTakesTheFirstPageOnlyWhenConfiguredAlike)
{
    for (const bool alike : {true, false}) {
        SCOPED_TRACE(alike);
        auto prepared = ViewController::prepareWebView();
        const auto madeAhead = prepared.view;
        if (!alike)
            prepared.configuration.readAccessFolder = "/elsewhere";
        screen->adoptPreparedWebView(std::move(prepared));
        screen->initWebView("/index.html");
        EXPECT_EQ(screen->webView == madeAhead, alike);
        EXPECT_EQ(loadedPage(), "/index.html");
        screen->initWebView("/index.html");
        EXPECT_NE(screen->webView, madeAhead);
    }
}

TEST_F(ViewControllerTest, OpeningURLLandingPageWinsOnceThenLoadsAreNotRedirected)
{
    Config& config = sharedConfig();
    config.isStartedViaURLscheme = true;
    config.URLschemeLanding.set("page.html?x=1&y=2");
    screen->initWebView("/index.html");
    EXPECT_EQ(loadedPage(), "/page.html");
    EXPECT_EQ(config.defaults.string("cli_x"), "1");
    EXPECT_FALSE(config.isStartedViaURLscheme);
    EXPECT_EQ(config.URLschemeLanding.get(), "");

    screen->initWebView("/index.html");
    EXPECT_EQ(loadedPage(), "/index.html");
}

TEST_F(ViewControllerTest, TappedPushLandingPageIsUsedOnceAndAnEmptyOneShowsThePageAskedFor)
{
    Config& config = sharedConfig();
    config.isLaunchedViaPNTap = true;
    config.URLschemeLanding.set("news.html");
    screen->initWebView("/index.html");
    EXPECT_EQ(loadedPage(), "/news.html");
    EXPECT_FALSE(config.isLaunchedViaPNTap);

    // A push without a landing page: the start page, not the missing "/.html".
    config.isStartedViaPNTap = true;
    screen->initWebView("/index.html");
    EXPECT_EQ(loadedPage(), "/index.html");
    EXPECT_FALSE(config.isStartedViaPNTap);
}

TEST_F(ViewControllerTest, ReloadAfterRelocateLoadsTheLandingPageThenTheStartPage)
{
    screen->initWebView("/index.html");
    auto* first = &currentWebView();

    EXPECT_FALSE(screen->relocateURL({{"other", "x"}}));
    EXPECT_TRUE(screen->relocateURL({{"landingPage", "shop"}}));
    EXPECT_EQ(screen->landingPage, "shop");
    runMainQueue();
    // Into the current web view, not a new one.
    EXPECT_EQ(&currentWebView(), first);
    EXPECT_EQ(loadedPage(), "/shop.html");

    // A landing page already waiting stays.
    EXPECT_TRUE(screen->relocateURL({{"landingPage", "cart"}}));
    EXPECT_EQ(screen->landingPage, "shop");
    runMainQueue();

    screen->reloadWebView();
    runMainQueue();
    EXPECT_NE(&currentWebView(), first);
    EXPECT_EQ(loadedPage(), "/shop.html");
    EXPECT_EQ(screen->landingPage, "");

    screen->reloadWebView();
    runMainQueue();
    EXPECT_EQ(loadedPage(), "/index.html");
}

TEST_F(ViewControllerTest, RelocateWithoutWebViewKeepsTheLandingPageForTheNextReload)
{
    EXPECT_TRUE(screen->relocateURL({{"landingPage", "shop.html"}}));
    runMainQueue();
    EXPECT_TRUE(fakes.webViews.empty());
    screen->reloadWebView();
    runMainQueue();
    EXPECT_EQ(loadedPage(), "/shop.html");
}

TEST_F(ViewControllerTest, ASwipeWithinThirtySecondsOfTheLastSwipeIsIgnored)
{
    auto clock = testsupport::ManualClock::install();
    screen->initWebView("/index.html");
    auto& view = currentWebView();
    auto swipe = [&] {
        view.swipeDown();
        runMainQueue();
    };

    swipe();
    EXPECT_THAT(view.scripts(), ElementsAre("update(null,'background')"));
    clock->advance(std::chrono::seconds(20));
    swipe(); // ignored, and starts the 30 seconds afresh
    clock->advance(std::chrono::seconds(25));
    swipe(); // 45 s after the let-through swipe, but 25 s after the last one: ignored
    EXPECT_EQ(view.scripts().size(), 1u);
    EXPECT_FALSE(screen->isSwipeDownEnabled);

    clock->advance(std::chrono::seconds(31));
    swipe();
    EXPECT_EQ(view.scripts().size(), 2u);
}
