// The device words from a page in the real web view: reminders, the notification permission,
// the position with its address from the real Nominatim geocoder (against a loopback server),
// the file chooser, the real-time channel and the review request. The desktop's services that
// cannot run in a test are doubles: the notification service, GeoClue and the chooser dialog.
#include "base/Config.h"
#include "base/SharedInstances.h"
#include "platform/Platform.h"
#include "platform/linux/LinuxWindow.h"
#include "platform/linux/NominatimGeocoder.h"
#include "portable/Dispatch.h"
#include "portable/FileURL.h"
#include "services/WebSocketManager.h"
#include "tests/support/FakeDocumentPicker.h"
#include "tests/support/FakeLocationManager.h"
#include "tests/support/FakeUserNotificationCenter.h"
#include "tests/support/RealWebScreenFixture.h"
#include "tests/support/TestContentServer.h"
#include "tests/support/TestEnvironment.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

namespace fs = std::filesystem;
using Strings = std::vector<std::string>;

namespace {

class DeviceWordsTest : public testsupport::RealWebScreenFixture {
protected:
    void SetUpPage() override
    {
        auto& installed = platform::current();
        installed.userNotificationCenter = notifications;
        installed.makeLocationManager = [this] { return location; };
        installed.makeGeocoder = [this] { return std::make_shared<platform::NominatimGeocoder>(nominatim.origin(), ""); };
        installed.makeDocumentPicker = [this](platform::DocumentTypes types) {
            pickers.push_back(std::make_shared<testsupport::FakeDocumentPicker>(types));
            return pickers.back();
        };
        location->status = platform::LocationAuthorizationStatus::authorizedWhenInUse;
    }

    // The ids of the pending reminders once they are `expected`, or when the time is up.
    Strings pendingOnce(const Strings& expected)
    {
        Strings ids;
        platform::runMainLoopUntil(
            [&] {
                ids.clear();
                for (const auto& request : notifications->pendingNotificationRequests())
                    ids.push_back(request.identifier);
                return ids == expected;
            },
            kTimeout);
        return ids;
    }

    testsupport::TestContentServer nominatim;
    std::shared_ptr<testsupport::FakeUserNotificationCenter> notifications =
        std::make_shared<testsupport::FakeUserNotificationCenter>();
    std::shared_ptr<testsupport::FakeLocationManager> location = std::make_shared<testsupport::FakeLocationManager>();
    std::vector<std::shared_ptr<testsupport::FakeDocumentPicker>> pickers;
};

const std::string reminder = "scheduleNotification?datetime=20300131T083000&frequency=daily&title=T&body=B&landing=l.html&id=";

} // namespace

TEST_F(DeviceWordsTest, EveryDeviceWordReachesItsServiceAndAnswersThePage)
{
    // Reminders: scheduled, deleted one by one and all at once; a delete without an id acknowledges.
    post(reminder + "one");
    post(reminder + "two");
    post("deleteNotification?id=one");
    EXPECT_EQ(pendingOnce({"two"}), Strings{"two"});
    // A word without parameters is posted with its "?", or the router takes it for a plain word.
    post("deleteAllNotifications?");
    EXPECT_EQ(pendingOnce({}), Strings{});
    EXPECT_EQ(ask("onDeleted", "deleteNotification?callback=onDeleted"), "no argument");

    EXPECT_EQ(ask("onPermission", "checkNotificationPermission?callback=onPermission"), R"({"permission":"Y"})");
    EXPECT_EQ(ask("onAble", "getIsAbleToLocate?callback=onAble"), R"({"isAbleToLocate":"Y"})");

    // The position, with the address from the Nominatim server.
    nominatim.reply("/reverse", testsupport::TestContentServer::Reply{}
                                    .withHeader("Content-Type", "application/json")
                                    .withBody(R"({"place_id":1,"osm_type":"node","osm_id":7,"lat":"52.52",
                                        "lon":"13.405","category":"building","type":"house","display_name":"x","address":{
                                        "road":"Main \"Street\"","house_number":"12","city":"Berlin",
                                        "postcode":"10115","country":"Germany"}})"));
    platform::Location berlin;
    berlin.latitude = 52.52;
    berlin.longitude = 13.405;
    berlin.horizontalAccuracy = 10;
    const auto address = nlohmann::json::parse(ask(
        "onLocation", "getLocationData?callback=onLocation", [&] { return location->locationRequests > 0; }, [&] {
        EXPECT_EQ(location->locationRequests, 1);
        location->report({berlin});
    }));
    EXPECT_EQ(address["FormattedAddressLines"],
              nlohmann::json::array({"Main \"Street\"", "12", "Berlin", "10115", "Germany"}));
    EXPECT_EQ(address["GPSStamp"], berlin.description());

    // The file chooser: the chosen file is copied into the upload folder, the original stays.
    const fs::path original = testsupport::makeTemporaryFolder("user") / "re\"port.pdf";
    testsupport::writeFile(original, "pdf");
    const auto file = nlohmann::json::parse(ask(
        "onFile", "showFileChooser?callback=onFile&mode=doc", [&] { return !pickers.empty(); }, [&] {
        ASSERT_EQ(pickers.size(), 1u);
        EXPECT_EQ(pickers[0]->shownOver, screen->webView);
        pickers[0]->pick({platform::fileURLString(original)});
    }));
    EXPECT_EQ(file, (nlohmann::json{{"filePath", "re\"port.pdf"}, {"fileType", "other"}}));
    EXPECT_EQ(testsupport::readFile(sharedConfig().UPLOADURL / "re\"port.pdf"), "pdf");
    EXPECT_EQ(testsupport::readFile(original), "pdf");

    // The real-time channel is opened for the page's domain.
    post("connectWebSocket?domain=shop");
    EXPECT_TRUE(platform::runMainLoopUntil([] { return sharedWebSocketManager().domain == "shop"; }, kTimeout));

    // The review request opens the software centre's page while the window is active.
    application->windowStateChanged(true, false);
    post("requestReview?");
    EXPECT_TRUE(platform::runMainLoopUntil([&] { return !urlOpener->opened().empty(); }, kTimeout));
    EXPECT_EQ(urlOpener->opened(), Strings{"appstream://" + bundleID()});
}

// The demo's bridge page offers every device word and the "config" and "reset" words as buttons:
// each button's message reaches what it names.
TEST_F(DeviceWordsTest, DemoPageButtonsReachTheDeviceServices)
{
    screen->loadPage("/bridge.html");
    ASSERT_TRUE(waitForFinishedNavigations(2)) << "the bridge page did not finish loading";
    application->windowStateChanged(true, false);
    const auto pendingIds = [this] {
        Strings ids;
        for (const auto& request : notifications->pendingNotificationRequests())
            ids.push_back(request.identifier);
        return ids;
    };
    const auto answered = [this](const std::string& text) {
        return [this, text] { return pageLog().find("← " + text) != std::string::npos; };
    };
    const auto dialogShown = [this] { return topWindow() != delegate.window.get(); };
    const struct {
        std::string message;
        std::function<bool()> reached;
        // The response that closes the dialog the button brought up.
        std::optional<int> close;
        // What must be there before the click, for the click to show.
        std::function<void()> before = {};
    } buttons[] = {
        {"scheduleNotification?datetime=20300131T083000&frequency=daily&title=Reminder&body=Time%20for%20a%20break"
         "&landing=info.html&id=demo",
         [&] { return pendingIds() == Strings{"demo"}; }, {}},
        {"deleteNotification?id=demo", [&] { return pendingIds().empty(); }, {}},
        {"deleteAllNotifications?", [&] { return pendingIds().empty(); }, {},
         [&] {
             post(reminder + "other");
             ASSERT_TRUE(until([&] { return pendingIds() == Strings{"other"}; }));
         }},
        {"checkNotificationPermission?callback=showAnswer", answered(R"({"permission":"Y"})"), {}},
        {"getIsAbleToLocate?callback=showAnswer", answered(R"({"isAbleToLocate":"Y"})"), {}},
        {"getLocationData?callback=showAnswer", [&] { return location->locationRequests == 1; }, {}},
        {"showFileChooser?callback=showAnswer&mode=file",
         [&] { return pickers.size() == 1 && pickers[0]->types == platform::DocumentTypes::item; }, {}},
        {"showFileChooser?callback=showAnswer&mode=image",
         [&] { return pickers.size() == 2 && pickers[1]->types == platform::DocumentTypes::image; }, {}},
        {"connectWebSocket?domain=demo", [] { return sharedWebSocketManager().domain == "demo"; }, {}},
        {"requestReview?", [&] { return urlOpener->opened() == Strings{"appstream://" + bundleID()}; }, {}},
        {"config", dialogShown, 0},  // Cancel
        {"reset", dialogShown, 1},   // Cancel
    };
    for (const auto& button : buttons) {
        SCOPED_TRACE(button.message);
        const std::string selector = "document.querySelector('[data-message=\"" + button.message + "\"]')";
        ASSERT_EQ(evaluate(selector + " !== null"), "true");
        if (button.before)
            button.before();
        evaluate(selector + ".click(); 0");
        EXPECT_TRUE(platform::runMainLoopUntil(button.reached, kTimeout));
        if (button.close) {
            auto* dialog = dynamic_cast<platform::LinuxWindow*>(topWindow());
            ASSERT_NE(dialog, nullptr);
            gtk_dialog_response(GTK_DIALOG(dialog->gtkWindow()), *button.close);
            EXPECT_TRUE(platform::runMainLoopUntil([&] { return !dialogShown(); }, kTimeout));
        }
    }
    // The user closes the file choosers: an open one keeps its handler alive.
    for (const auto& picker : pickers)
        picker->cancel();
    // Neither dialog changed anything: the page is the bridge page still.
    EXPECT_EQ(screen->webView->url(), "file://" + sharedConfig().WEBROOT + "/bridge.html");
}
