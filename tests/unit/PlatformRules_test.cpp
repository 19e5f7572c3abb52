// The rules the platform's base classes keep for every implementation: exactly one policy
// answer, alerts that stack and answer once, the application's state changes, the view tree,
// the progress bar's fraction, the notification centre's pending requests.
#include "platform/Application.h"
#include "platform/Screen.h"
#include "platform/View.h"
#include "portable/Dispatch.h"
#include "portable/NotificationCenter.h"
#include "tests/support/FakeApplication.h"
#include "tests/support/FakeProgressView.h"
#include "tests/support/FakeUserNotificationCenter.h"
#include "tests/support/FakeWebView.h"
#include "tests/support/FakeWindow.h"
#include "tests/support/ManualClock.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>

using platform::WebView;
using testing::ElementsAre;
using testsupport::FakeWebView;
using testsupport::FakeWindow;
using Policy = WebView::NavigationActionPolicy;

TEST(WebViewRules, EveryPolicyQuestionGetsExactlyOneAnswer)
{
    auto view = std::make_shared<FakeWebView>();
    // Nobody decides: the navigation goes ahead.
    EXPECT_THAT(view->requestPolicy({"file:///a.html", false})->answers, ElementsAre(Policy::allow));

    // The owner drops the handler without answering: cancelled.
    view->onDecidePolicy = [](const WebView::NavigationAction&, WebView::DecisionHandler) {};
    EXPECT_THAT(view->requestPolicy({"file:///a.html", false})->answers, ElementsAre(Policy::cancel));

    // The owner answers later: that answer, once.
    WebView::DecisionHandler kept;
    view->onDecidePolicy = [&](const WebView::NavigationAction&, WebView::DecisionHandler handler) { kept = handler; };
    auto request = view->requestPolicy({"https://example.org/", true});
    EXPECT_TRUE(request->answers.empty());
    kept(Policy::allow);
    kept = nullptr;
    EXPECT_THAT(request->answers, ElementsAre(Policy::allow));
}

TEST(WebViewRules, AnUnansweredScriptDialogAnswersFalse)
{
    auto view = std::make_shared<FakeWebView>();
    EXPECT_FALSE(view->runDialog({WebView::ScriptDialog::Type::alert, "hi"})->handled);
    view->onScriptDialog = [](const WebView::ScriptDialog&, WebView::ScriptDialogCompletion) {};
    auto request = view->runDialog({WebView::ScriptDialog::Type::confirm, "sure?"});
    EXPECT_TRUE(request->handled);
    EXPECT_THAT(request->answers, ElementsAre(false));
}

TEST(WindowRules, AlertsStackAndAnswerOnce)
{
    auto window = std::make_shared<FakeWindow>();
    std::vector<std::string> ran;
    auto first = window->present({"first", "", {{"A", {}, [&] { ran.push_back("A"); }}}});
    auto second = window->present({"second", "", {{"B", {}, [&] { ran.push_back("B"); }}}});
    EXPECT_EQ(window->presentedWindow(), first);
    EXPECT_EQ(first->presentedWindow(), second);
    EXPECT_EQ(window->topAlert()->alert()->title, "second");

    // Answering the lower alert closes the one above it too; only its own action runs, once.
    first->pressAlertButton(0);
    first->pressAlertButton(0);
    EXPECT_THAT(ran, ElementsAre("A"));
    EXPECT_TRUE(static_cast<FakeWindow&>(*second).isClosed());
    EXPECT_EQ(window->presentedWindow(), nullptr);
}

TEST(WindowRules, CancelPressesTheCancelButtonOnly)
{
    auto window = std::make_shared<FakeWindow>();
    int cancelled = 0;
    auto plain = window->present({"t", "m", {{"OK", {}, {}}}});
    EXPECT_FALSE(plain->cancelAlert());
    EXPECT_EQ(window->presentedWindow(), plain);
    plain->pressAlertButton(0);

    auto withCancel = window->present(
        {"t", "m", {{"OK", {}, {}}, {"Cancel", platform::AlertAction::Style::Cancel, [&] { ++cancelled; }}}});
    EXPECT_TRUE(withCancel->cancelAlert());
    EXPECT_EQ(cancelled, 1);
}

// Escape on an error alert with one button left it presented, so every later alert went over a
// dead window and never ran its action.
TEST(WindowRules, DismissingAnAlertAnswersItAndLaterAlertsWork)
{
    struct Case {
        const char* name;
        std::vector<platform::AlertAction::Style> styles;
        std::vector<std::string> ran; // the actions that run on dismissal
    };
    using Style = platform::AlertAction::Style;
    const Case cases[] = {
        {"one button", {Style::Default}, {}},
        {"two without cancel", {Style::Default, Style::Default}, {}},
        {"with cancel", {Style::Default, Style::Cancel}, {"1"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto window = std::make_shared<FakeWindow>();
        std::vector<std::string> ran;
        platform::Alert alert{"t", "m", {}};
        for (std::size_t i = 0; i < c.styles.size(); ++i)
            alert.actions.push_back({"b", c.styles[i], [&ran, i] { ran.push_back(std::to_string(i)); }});
        auto dismissed = window->present(alert);
        auto over = dismissed->present({"over", "", {{"OK", {}, [&] { ran.push_back("over"); }}}});
        dismissed->dismissAlert();
        dismissed->dismissAlert();
        EXPECT_EQ(ran, c.ran);
        EXPECT_TRUE(static_cast<FakeWindow&>(*dismissed).isClosed());
        EXPECT_TRUE(static_cast<FakeWindow&>(*over).isClosed());
        EXPECT_EQ(window->presentedWindow(), nullptr);

        auto next = window->present({"next", "", {{"OK", {}, [&] { ran.push_back("next"); }}}});
        EXPECT_EQ(window->presentedWindow(), next);
        next->pressAlertButton(0);
        EXPECT_EQ(ran.back(), "next");
    }
}

namespace {

struct RecordingScreen : platform::Screen {
    std::vector<std::string> calls;
    void viewDidLoad() override { calls.push_back("load"); }
    void viewWillAppear() override { calls.push_back("willAppear"); }
    void viewDidAppear() override { calls.push_back("didAppear"); }
    void viewWillDisappear() override { calls.push_back("willDisappear"); }
};

struct RecordingDelegate : platform::ApplicationDelegate {
    std::vector<std::string> calls;
    std::shared_ptr<platform::Window> window;
    platform::Window* keyWindow() const override { return window.get(); }
    void applicationDidCreateWindow(platform::Application&, std::shared_ptr<platform::Window> w) override
    {
        window = w;
        calls.push_back("window");
    }
    bool application(platform::Application&, const platform::LaunchOptions&) override
    {
        calls.push_back("launch");
        return true;
    }
    bool application(platform::Application&, const std::string& url) override
    {
        calls.push_back("open " + url);
        return true;
    }
    void applicationDidBecomeActive(platform::Application&) override { calls.push_back("active"); }
    void applicationWillResignActive(platform::Application&) override { calls.push_back("resign"); }
    void applicationDidEnterBackground(platform::Application&) override { calls.push_back("background"); }
    void applicationWillEnterForeground(platform::Application&) override { calls.push_back("foreground"); }
    void applicationWillTerminate(platform::Application&) override { calls.push_back("terminate"); }
};

} // namespace

TEST(WindowRules, TheRootScreenLoadsOnceAndAppearsEachTime)
{
    auto window = std::make_shared<FakeWindow>();
    auto screen = std::make_shared<RecordingScreen>();
    window->setRootScreen(screen);
    EXPECT_EQ(screen->view(), window->contentView());
    window->show();
    window->show();
    window->closeByUser();
    EXPECT_THAT(screen->calls,
                ElementsAre("load", "willAppear", "didAppear", "willAppear", "didAppear", "willDisappear"));
}

TEST(ApplicationRules, LifeCycleFollowsFocusAndMinimizing)
{
    testsupport::FakeApplication application;
    RecordingDelegate delegate;
    int foregroundPosts = 0;
    platform::NotificationCenter::defaultCenter().addObserver(
        &delegate, platform::ApplicationWillEnterForegroundNotification,
        [&](const platform::Notification&) { ++foregroundPosts; });

    application.run(0, nullptr, delegate);
    application.windowStateChanged(true, false); // before the launch: nothing
    auto window = std::make_shared<FakeWindow>();
    application.launch(window, {});
    EXPECT_TRUE(window->isShown());
    application.windowStateChanged(true, false);
    application.windowStateChanged(true, false);
    application.windowStateChanged(false, false);
    application.windowStateChanged(false, true);
    application.windowStateChanged(true, false);
    application.windowStateChanged(true, true);
    application.windowStateChanged(false, false);
    application.openURL("app://x/page.html");
    application.terminate();
    EXPECT_THAT(delegate.calls, ElementsAre("window", "launch", "active", "resign", "background", "foreground",
                                            "active", "resign", "background", "foreground", "open app://x/page.html",
                                            "terminate"));
    EXPECT_EQ(foregroundPosts, 2);
    platform::NotificationCenter::defaultCenter().removeObserver(&delegate);
}

TEST(ViewRules, AViewHasOneSuperviewAndPinsOnlyInsideOne)
{
    auto a = std::make_shared<platform::View>();
    auto b = std::make_shared<platform::View>();
    auto child = std::make_shared<platform::View>();
    EXPECT_FALSE(child->pinToSuperviewEdges());
    a->addSubview(child);
    EXPECT_TRUE(child->pinToSuperviewEdges());
    b->addSubview(child);
    EXPECT_TRUE(a->subviews().empty());
    EXPECT_EQ(child->superview(), b.get());
    EXPECT_FALSE(child->isPinnedToSuperviewEdges());
    child->removeFromSuperview();
    EXPECT_EQ(child->superview(), nullptr);
    EXPECT_TRUE(b->subviews().empty());
}

TEST(ProgressViewRules, FractionStaysWithinZeroAndOneAndPinningNeedsASuperview)
{
    auto bar = std::make_shared<testsupport::FakeProgressView>();
    EXPECT_FALSE(bar->pinAlongSuperviewBottom(20, 20));
    EXPECT_FALSE(bar->pinnedAlongBottom);

    const std::vector<std::pair<float, float>> cases = {
        {0.25f, 0.25f}, {1.5f, 1.0f}, {-0.1f, 0.0f}, {std::nanf(""), 0.0f}, {1.0f, 1.0f}};
    for (const auto& [given, held] : cases) {
        bar->setProgress(given, platform::ProgressAnimation::animated);
        EXPECT_EQ(held, bar->progress()) << given;
        EXPECT_EQ(held, bar->progressSteps.back().first) << given;
    }

    auto screenView = std::make_shared<platform::View>();
    screenView->addSubview(bar);
    EXPECT_TRUE(bar->pinAlongSuperviewBottom(20, 20));
    EXPECT_EQ(std::make_pair(20, 20), bar->pinnedAlongBottom);
}

// Under load the timed requests' timers could expire before the one due at once ran, and the
// calendar trigger fired when the test ran at half past eight: the clock is now the test's and
// every timer is waited for, not slept past.
TEST(UserNotificationCenterRules, PendingRequestsAreReplacedRemovedAndDeliveredOnce)
{
    using namespace std::chrono_literals;
    testsupport::ManualClock::install();
    auto center = std::make_shared<testsupport::FakeUserNotificationCenter>();
    auto request = [](std::string identifier, std::string body, std::optional<platform::NotificationTrigger> trigger) {
        platform::UserNotificationRequest made;
        made.identifier = std::move(identifier);
        made.content.body = std::move(body);
        made.trigger = std::move(trigger);
        return made;
    };
    std::vector<std::optional<std::string>> answers;
    // Added first, so its timer is always dispatched first.
    center->add(request("now", "at once", std::nullopt), [&](std::optional<std::string> error) { answers.push_back(error); });
    const platform::TimeIntervalNotificationTrigger soon{50ms, false};
    center->add(request("download", "first", soon));
    // The same identifier replaces the pending request, whose own timer then delivers nothing.
    center->add(request("download", "second", soon));
    center->add(request("removed", "never", soon));
    center->removePendingNotificationRequests({"removed"});
    platform::DateComponents halfPastEight;
    halfPastEight.hour = 8;
    halfPastEight.minute = 30;
    platform::DateComponents past = halfPastEight;
    past.year = 2001;
    past.month = past.day = 1;
    center->add(request("past", "never due", platform::CalendarNotificationTrigger{past, false}),
                [&](std::optional<std::string> error) { answers.push_back(error); });
    center->add(request("calendar", "not yet", platform::CalendarNotificationTrigger{halfPastEight, true}));
    // Its timer was made after every other one: once it has run, so have the others.
    center->add(request("last", "last", soon));

    ASSERT_EQ(5u, center->pendingNotificationRequests().size());
    EXPECT_EQ("second", center->pendingNotificationRequests()[1].content.body);
    ASSERT_TRUE(platform::runMainLoopUntil([&] { return center->delivered.size() >= 3; }, 60s));

    std::vector<std::string> bodies;
    for (const auto& delivered : center->delivered)
        bodies.push_back(delivered.content.body);
    EXPECT_THAT(bodies, ElementsAre("at once", "second", "last"));
    // A calendar trigger with no later date is added all the same; it never fires.
    ASSERT_EQ(2u, center->pendingNotificationRequests().size());
    EXPECT_EQ("past", center->pendingNotificationRequests()[0].identifier);
    EXPECT_EQ("calendar", center->pendingNotificationRequests()[1].identifier);
    EXPECT_THAT(answers, ElementsAre(std::nullopt, std::nullopt));

    center->add(request("later", "cleared", platform::TimeIntervalNotificationTrigger{1h, false}));
    center->removeAllPendingNotificationRequests();
    EXPECT_TRUE(center->pendingNotificationRequests().empty());
}
