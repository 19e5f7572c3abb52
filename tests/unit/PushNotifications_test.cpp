// Push and notifications at the application's edge: the delegate's push callbacks, what a push
// payload does, the web screen as the notification centre's delegate, and the launch's
// permission request ending in the push registration.
#include "base/Config.h"
#include "base/SharedInstances.h"
#include "platform/Platform.h"
#include "platform/PushService.h"
#include "portable/Dispatch.h"
#include "services/PushNotificationUtils.h"
#include "tests/support/FakeApplication.h"
#include "tests/support/FakeToast.h"
#include "tests/support/WebScreenFixture.h"

#include <gtest/gtest.h>

using platform::PlistDict;
using platform::PlistValue;

namespace {

class RecordingPushService final : public platform::PushService {
public:
    int registrations = 0;
    void registerApplication(platform::Application&) override { ++registrations; }
    void unregisterApplication() override {}
};

class PushTest : public testsupport::WebScreenFixture {
protected:
    PushTest()
    {
        platform::current().toast = toast;
        platform::current().pushService = pushService;
        for (const char* name : {"onRegistrationCompleted", "apn.didRRN"})
            sharedNotificationCenter().addObserver(this, name, [this](const platform::Notification& posted) {
                posts.push_back(posted);
            });
    }
    ~PushTest() override { sharedNotificationCenter().removeObserver(this); }

    // A payload with an alert, and the given extra entries in "aps".
    static PlistDict push(PlistDict apsExtra = {})
    {
        PlistDict aps{{"alert", PlistDict{{"title", "News"}, {"body", "Read me"}}}};
        aps.merge(apsExtra);
        return {{"aps", aps}};
    }

    std::shared_ptr<testsupport::FakeToast> toast = std::make_shared<testsupport::FakeToast>();
    std::shared_ptr<RecordingPushService> pushService = std::make_shared<RecordingPushService>();
    std::vector<platform::Notification> posts;
};

} // namespace

TEST_F(PushTest, TokenAndFailureAreAnnouncedAndOnlyTheTokenIsStored)
{
    auto& application = *fakes.application;
    delegate.didRegisterForRemoteNotifications(application, {0x00, 0xAB, 0x0F});
    ASSERT_EQ(1u, posts.size());
    EXPECT_EQ("00ab0f", *posts[0].userInfo.at("registrationToken").asString());
    EXPECT_EQ("00ab0f", delegate.registrationToken);
    EXPECT_EQ("00ab0f", sharedConfig().defaults.string("registrationToken"));

    delegate.didFailToRegisterForRemoteNotifications(application, "no distributor");
    ASSERT_EQ(2u, posts.size());
    EXPECT_EQ((PlistDict{{"error", "no distributor"}}), posts[1].userInfo);
    EXPECT_EQ("00ab0f", sharedConfig().defaults.string("registrationToken"));
}

TEST_F(PushTest, RemoteNotificationsCarryTheStateAtDelivery)
{
    auto& application = *fakes.application;
    application.launch(window, {});
    application.windowStateChanged(false, true); // background
    std::vector<platform::BackgroundFetchResult> results;
    auto completion = [&](platform::BackgroundFetchResult result) { results.push_back(result); };

    // Without "aps" the callback with completion posts nothing; the other one posts all the same.
    delegate.didReceiveRemoteNotification(application, PlistDict{{"x", 1}}, completion);
    EXPECT_TRUE(posts.empty());
    delegate.didReceiveRemoteNotification(application, PlistDict{{"x", 1}, {"appState", 0}});
    ASSERT_EQ(1u, posts.size());
    EXPECT_EQ((PlistDict{{"x", 1}, {"appState", 2}}), posts[0].userInfo);

    application.windowStateChanged(true, false); // active
    delegate.didReceiveRemoteNotification(application, push(), completion);
    ASSERT_EQ(2u, posts.size());
    EXPECT_EQ(0, *posts[1].userInfo.at("appState").asInteger());
    EXPECT_EQ((std::vector{platform::BackgroundFetchResult::failed, platform::BackgroundFetchResult::noData}), results);
}

// Pushes shown by the desktop were numbered per run ("push-1", …): the first of a new run
// replaced one still on show from the run before.
TEST_F(PushTest, PushesShownByTheDesktopNeverReplaceOneAnother)
{
    for (int run = 0; run < 2; ++run) {
        testsupport::FakeApplication application; // each run starts afresh; not active
        application.remoteNotificationReceived(R"({"aps":{"alert":{"title":"News","body":"Read me"}}})");
    }
    platform::drainMainQueue();
    EXPECT_EQ(2u, fakes.userNotificationCenter->deliveredNotifications().size());
}

TEST_F(PushTest, PayloadShowsAToastThenLandsOrRunsItsScript)
{
    Config& config = sharedConfig();
    screen->viewDidAppear();
    runMainQueue();
    auto& utils = sharedPushNotificationUtils();
    const struct {
        const char* name;
        PlistDict info;
        bool toast;
        std::optional<std::string> landing; // URLschemeLanding afterwards, when set
        std::optional<std::string> script;  // the script run in the page
    } cases[] = {
        {"tapped with a landing page", [&] { auto p = push({{"landingPage", "news.html"}}); p["appState"] = 2; return p; }(),
         true, "news.html", std::nullopt},
        {"opened without a landing page", [&] { auto p = push(); p["appState"] = 1; return p; }(), true, "",
         std::nullopt},
        {"in front with a script", [&] { auto p = push({{"scriptFG", "go()"}}); p["appState"] = 0; return p; }(), true,
         std::nullopt, "go()"},
        {"in front without a script", [&] { auto p = push(); p["appState"] = 0; return p; }(), true, std::nullopt, ""},
        {"no state: toast only", push({{"landingPage", "x.html"}}), true, std::nullopt, std::nullopt},
        {"alert as text", PlistDict{{"aps", PlistDict{{"alert", "plain"}}}, {"appState", 2}}, false, std::nullopt,
         std::nullopt},
        {"alert without body", PlistDict{{"aps", PlistDict{{"alert", PlistDict{{"title", "t"}}}}}, {"appState", 2}},
         false, std::nullopt, std::nullopt},
        {"no aps", PlistDict{{"appState", 2}}, false, std::nullopt, std::nullopt},
    };
    for (const auto& c : cases) {
        config.isStartedViaPNTap = false;
        config.URLschemeLanding.set("unchanged");
        config.updateSilentMode = 0;
        toast->shown.clear();
        const auto scriptsBefore = currentWebView().scripts().size();

        utils.showReceivedMessage(c.info);
        runMainQueue();

        ASSERT_EQ(c.toast ? 1u : 0u, toast->shown.size()) << c.name;
        if (c.toast) {
            EXPECT_EQ("News\nRead me", toast->shown[0].text) << c.name;
            EXPECT_EQ(platform::ToastPosition::top, toast->shown[0].position) << c.name;
            EXPECT_EQ(std::chrono::milliseconds(2000), toast->shown[0].duration) << c.name;
        }
        EXPECT_EQ(c.landing.has_value(), config.isStartedViaPNTap.load()) << c.name;
        EXPECT_EQ(c.landing.value_or("unchanged"), config.URLschemeLanding.get()) << c.name;
        const auto& scripts = currentWebView().scripts();
        ASSERT_EQ(scriptsBefore + (c.script ? 1 : 0), scripts.size()) << c.name;
        if (c.script) {
            EXPECT_EQ(*c.script, scripts.back()) << c.name;
            EXPECT_EQ(Config::UPDATE_SILENT_MODE_WAKEUP_LOCALLOADING, config.updateSilentMode.load()) << c.name;
        }
    }
    // "apn.didRRN" reaches the same handling.
    config.isStartedViaPNTap = false;
    auto tapped = push({{"landingPage", "posted.html"}});
    tapped["appState"] = 2;
    sharedNotificationCenter().post(config.didRreceiveRemoteN, {}, tapped);
    EXPECT_EQ("posted.html", config.URLschemeLanding.get());
}

TEST_F(PushTest, ScreenAsDelegatePresentsRemindersAndFollowsClicks)
{
    window->show();
    runMainQueue();
    auto& center = *fakes.userNotificationCenter;
    ASSERT_EQ(screen, center.delegate()) << "the screen is the delegate once its view loaded";
    const auto reminder = [](std::string landing) {
        platform::UserNotificationRequest request;
        request.identifier = "r";
        request.content.title = "Call";
        request.content.body = "Mum";
        request.content.userInfo = {{"notficationType", "reminder"}};
        if (!landing.empty())
            request.content.userInfo["landingPage"] = landing;
        return platform::UserNotification{request, platform::now()};
    };
    std::optional<platform::NotificationPresentationOptions> answer;
    auto record = [&](platform::NotificationPresentationOptions options) { answer = options; };

    screen->willPresent(center, reminder(""), record);
    runMainQueue();
    ASSERT_TRUE(answer);
    EXPECT_TRUE(answer->alert && answer->sound);
    ASSERT_EQ(1u, toast->shown.size());
    EXPECT_EQ("Call\nMum", toast->shown[0].text);
    EXPECT_EQ(platform::ToastPosition::center, toast->shown[0].position);
    EXPECT_EQ(std::chrono::milliseconds(4000), toast->shown[0].duration);

    platform::UserNotification pushed;
    pushed.request.identifier = "p";
    pushed.request.content.title = "News";
    pushed.request.content.body = "Read me";
    pushed.request.content.userInfo = push({{"landingPage", "n.html"}});
    screen->willPresent(center, pushed, record);
    runMainQueue();
    EXPECT_FALSE(answer->alert || answer->sound) << "a push in front is not shown by the desktop";
    ASSERT_EQ(2u, toast->shown.size());
    EXPECT_EQ(platform::ToastPosition::top, toast->shown[1].position);
    EXPECT_FALSE(sharedConfig().isStartedViaPNTap) << "no state: no landing page";

    int completions = 0;
    writeWebFile("shop.html");
    screen->didReceive(center, {reminder("shop.html"), platform::UserNotificationDefaultActionIdentifier},
                       [&] { ++completions; });
    runMainQueue();
    EXPECT_EQ("/shop.html", loadedPage());

    screen->didReceive(center, {pushed, platform::UserNotificationDismissActionIdentifier}, [&] { ++completions; });
    EXPECT_FALSE(sharedConfig().isStartedViaPNTap);
    screen->didReceive(center, {pushed, platform::UserNotificationDefaultActionIdentifier}, [&] { ++completions; });
    EXPECT_TRUE(sharedConfig().isStartedViaPNTap);
    EXPECT_EQ("n.html", sharedConfig().URLschemeLanding.get());
    EXPECT_EQ(3, completions);
}

TEST_F(PushTest, LaunchRegistersForPushOnlyWhenNotificationsCanBeShown)
{
    for (bool available : {false, true}) {
        fakes.userNotificationCenter->serviceAvailable = available;
        pushService->registrations = 0;
        sharedPushNotificationUtils().registerForRemoteNotification();
        platform::runMainLoopUntil([&] { return pushService->registrations > 0; }, std::chrono::milliseconds(300));
        EXPECT_EQ(available ? 1 : 0, pushService->registrations) << available;
    }
}
