// Desktop notifications through GNotification, received by a scripted notification service on a
// private session bus.

#include "platform/LocalCalendar.h"
#include "platform/linux/GioUserNotificationCenter.h"
#include "portable/Dispatch.h"
#include "tests/support/ScriptedNotificationService.h"
#include "tests/support/SessionBusApplication.h"

#include <gio/gio.h>

#include <gtest/gtest.h>

#include <atomic>

#include <string>
#include <vector>

using namespace std::chrono_literals;
using testsupport::processBus;
using testsupport::registeredApplication;
using NotificationService = testsupport::ScriptedNotificationService;

namespace {

platform::UserNotificationRequest request(std::string identifier, std::string title, std::string body,
                                          std::chrono::milliseconds after)
{
    platform::UserNotificationRequest made;
    made.identifier = std::move(identifier);
    made.content.title = std::move(title);
    made.content.body = std::move(body);
    made.content.sound = platform::NotificationSound::defaultSound;
    made.trigger = platform::TimeIntervalNotificationTrigger{after, false};
    return made;
}

} // namespace

// A failed download's notification one second on reaches the desktop through the application;
// one removed while pending never does.
TEST(GioUserNotificationCenter, deliversThroughTheApplicationToTheDesktopService)
{
    GApplication* application = registeredApplication();
    ASSERT_TRUE(g_application_get_is_registered(application));
    NotificationService service(processBus());
    auto center = std::make_shared<platform::GioUserNotificationCenter>();

    center->add(request("org.webcontainer.test", "Error", "The download failed.", 1s));
    center->add(request("removed", "Removed", "never shown", 100ms));
    center->removePendingNotificationRequests({"removed"});
    EXPECT_EQ(1u, center->pendingNotificationRequests().size());

    ASSERT_TRUE(platform::runMainLoopUntil([&] { return !service.shown.empty(); }, 10s));
    platform::runMainLoopUntil([] { return false; }, 200ms);
    ASSERT_EQ(1u, service.shown.size());
    EXPECT_EQ("Error", service.shown[0].summary);
    EXPECT_EQ("The download failed.", service.shown[0].body);
    EXPECT_TRUE(center->pendingNotificationRequests().empty());
}

namespace {

// Records what the notification centre tells its delegate.
class RecordingDelegate final : public platform::UserNotificationCenterDelegate {
public:
    void willPresent(platform::UserNotificationCenter&, const platform::UserNotification&,
                     std::function<void(platform::NotificationPresentationOptions)> completionHandler) override
    {
        completionHandler({});
    }
    void didReceive(platform::UserNotificationCenter&, const platform::UserNotificationResponse& response,
                    std::function<void()> completionHandler) override
    {
        responses.push_back(response);
        completionHandler();
    }

    std::vector<platform::UserNotificationResponse> responses;
};

platform::NotificationAuthorizationStatus authorizationStatus(platform::UserNotificationCenter& center)
{
    std::atomic<int> status{-1};
    center.getNotificationSettings(
        [&](platform::NotificationSettings settings) { status = static_cast<int>(settings.authorizationStatus); });
    platform::runMainLoopUntil([&] { return status >= 0; }, 5s);
    return static_cast<platform::NotificationAuthorizationStatus>(status.load());
}

} // namespace

// A reminder two seconds ahead reaches the desktop at its time; the user's click on it reaches
// the centre's delegate with the reminder; permission follows the notification service.
TEST(GioUserNotificationCenter, reminderReachesTheDesktopAndItsClickTheDelegate)
{
    ASSERT_TRUE(g_application_get_is_registered(registeredApplication()));
    auto center = std::make_shared<platform::GioUserNotificationCenter>();
    EXPECT_EQ(platform::NotificationAuthorizationStatus::denied, authorizationStatus(*center))
        << "no notification service on the bus yet";
    NotificationService service(processBus());
    EXPECT_EQ(platform::NotificationAuthorizationStatus::authorized, authorizationStatus(*center));
    auto delegate = std::make_shared<RecordingDelegate>();
    center->setDelegate(delegate);

    const auto at = std::chrono::floor<std::chrono::seconds>(platform::now()) + 2s;
    const auto when = platform::LocalCalendar::components(at);
    platform::UserNotificationRequest reminder = request("lunch", "Lunch", "Noodles", 0ms);
    reminder.trigger = platform::CalendarNotificationTrigger{
        {when.year, when.month, when.day, when.hour, when.minute, when.second, std::nullopt}, false};
    reminder.content.userInfo = {{"notficationType", "reminder"}, {"landingPage", "menu.html"}};
    center->add(reminder);

    ASSERT_TRUE(platform::runMainLoopUntil([&] { return !service.shown.empty(); }, 10s));
    EXPECT_GE(platform::now(), at);
    EXPECT_EQ("Lunch", service.shown.back().summary);
    EXPECT_EQ("Noodles", service.shown.back().body);
    EXPECT_TRUE(center->pendingNotificationRequests().empty());
    ASSERT_EQ(1u, center->deliveredNotifications().size());

    service.click(static_cast<guint32>(service.shown.size()));
    ASSERT_TRUE(platform::runMainLoopUntil([&] { return !delegate->responses.empty(); }, 5s));
    const auto& response = delegate->responses[0];
    EXPECT_EQ(platform::UserNotificationDefaultActionIdentifier, response.actionIdentifier);
    EXPECT_EQ("lunch", response.notification.request.identifier);
    EXPECT_EQ("menu.html", *response.notification.request.content.userInfo.at("landingPage").asString());
    EXPECT_TRUE(center->deliveredNotifications().empty());
}
