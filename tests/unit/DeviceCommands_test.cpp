// The bridge words for reminders, the notification permission, the position and the file
// chooser, over the platform's doubles: what each word hands to its service, what the page
// hears, and the services' answers (address, errors, the chosen file's copy and its limit).
#include "app/AppDelegate.h"
#include "base/Config.h"
#include "platform/Platform.h"
#include "portable/Dispatch.h"
#include "portable/FileURL.h"
#include "services/LocationServices.h"
#include "services/NotificationScheduler.h"
#include "services/WebSocketManager.h"
#include "tests/support/FakeBridgeScreen.h"
#include "tests/support/FakePlatform.h"
#include "tests/support/FakeToast.h"
#include "tests/support/LogCapture.h"
#include "tests/support/TestEnvironment.h"
#include "tests/support/TestIsolation.h"

#include <gtest/gtest.h>

namespace fs = std::filesystem;
using testsupport::callbackScript;
using Strings = std::vector<std::string>;
using Status = platform::LocationAuthorizationStatus;

namespace {

class DeviceCommands : public testing::Test {
protected:
    // The shared instances are built before these doubles are installed, as main() builds them
    // before it installs the platform.
    DeviceCommands() { platform::current().toast = toast; }

    Strings run(const std::string& command) { return testsupport::runCommand(screen, command); }
    // The scripts the page received since `before`, after the main loop ran until one came (or a while passed).
    Strings awaitScripts(std::size_t before)
    {
        platform::runMainLoopUntil([&] { return screen.view->scripts().size() > before; }, std::chrono::seconds(5));
        platform::drainMainQueue();
        return {screen.view->scripts().begin() + static_cast<std::ptrdiff_t>(before), screen.view->scripts().end()};
    }
    Strings pendingIdentifiers()
    {
        sharedNotificationScheduler().waitUntilDone();
        Strings ids;
        for (const auto& request : fakes.userNotificationCenter->pendingNotificationRequests())
            ids.push_back(request.identifier);
        return ids;
    }

    testsupport::LogCapture log;
    testsupport::FakePlatform fakes;
    std::shared_ptr<testsupport::FakeToast> toast = std::make_shared<testsupport::FakeToast>();
    testsupport::FakeBridgeScreen screen;
};

const std::string schedule = "scheduleNotification?datetime=20300131T083000&frequency=none&title=T&body=B&landing=l.html";

platform::Location berlin()
{
    platform::Location location;
    location.latitude = 52.52;
    location.longitude = 13.405;
    location.horizontalAccuracy = 10;
    return location;
}

} // namespace

// A scheduler built before the platform was installed kept no centre: reminders only logged.
TEST_F(DeviceCommands, RemindersAreScheduledOnlyWithEveryItemAndDeletedByIdOrAcknowledged)
{
    const struct {
        std::string command;
        Strings pending;
        std::string debugLog;
        std::string errorLog;
    } cases[] = {
        {schedule, {}, "Error scheduleNotification not all parameters found", ""},
        {schedule + "&id", {}, "", ""},
        {"scheduleNotification?datetime=2030-01-31T08:30:00&frequency=none&title=T&body=B&landing=l&id=x", {}, "",
         "ERROR scheduling notification: 2030-01-31T08:30:00 none "},
        {schedule + "&id=r1", {"r1"}, "", ""},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.command);
        EXPECT_EQ(run(test.command), Strings{});
        EXPECT_EQ(pendingIdentifiers(), test.pending);
        // The log line is the behaviour here: nothing else is observable.
        if (!test.debugLog.empty()) {
            EXPECT_TRUE(log.has(Logger::Level::Debug, test.debugLog));
        }
        if (!test.errorLog.empty()) {
            EXPECT_TRUE(log.contains(Logger::Level::Error, test.errorLog));
        }
    }
    // What the log leaves out is the behaviour here.
    EXPECT_FALSE(log.contains(Logger::Level::Debug, "&id")) << "the identifier is not logged";

    // With an identifier the callback is not called; without one it is acknowledged.
    EXPECT_EQ(run("deleteNotification?id=r1&callback=done"), Strings{});
    EXPECT_EQ(pendingIdentifiers(), Strings{});
    EXPECT_EQ(run("deleteNotification?id&callback=done"), Strings{"done()"});
    EXPECT_EQ(run("deleteNotification?callback=done('x')"), Strings{"done('x')"});
    EXPECT_EQ(run("deleteNotification"), Strings{});

    run(schedule + "&id=a");
    run(schedule + "&id=b");
    EXPECT_EQ(run("deleteAllNotifications"), Strings{});
    EXPECT_EQ(pendingIdentifiers(), Strings{});
}

TEST_F(DeviceCommands, PermissionIsYesOnlyWhileTheDesktopCanShowNotifications)
{
    EXPECT_EQ(run("checkNotificationPermission"), Strings{});
    for (const bool available : {true, false}) {
        fakes.userNotificationCenter->serviceAvailable = available;
        const std::size_t before = screen.view->scripts().size();
        run("checkNotificationPermission?callback=perm");
        EXPECT_EQ(awaitScripts(before),
                  Strings{callbackScript("perm", available ? R"({"permission":"Y"})" : R"({"permission":"N"})")});
    }
}

TEST_F(DeviceCommands, AbleToLocateNeedsServicesAndWhenInUsePermission)
{
    const struct {
        bool enabled;
        Status answer;
        const char* reply;
    } cases[] = {
        {true, Status::authorizedWhenInUse, R"({"isAbleToLocate":"Y"})"},
        {true, Status::authorizedAlways, R"({"isAbleToLocate":"N"})"},
        {true, Status::denied, R"({"isAbleToLocate":"N"})"},
        {false, Status::authorizedWhenInUse, R"({"isAbleToLocate":"N"})"},
    };
    auto& manager = *fakes.locationManager;
    for (const auto& test : cases) {
        manager.enabled = test.enabled;
        manager.answer = test.answer;
        manager.status = Status::notDetermined;
        EXPECT_EQ(run("getIsAbleToLocate?callback=able"), Strings{callbackScript("able", test.reply)});
    }
    EXPECT_EQ(manager.permissionRequests, 4);
    EXPECT_EQ(run("getIsAbleToLocate"), Strings{});
}

TEST_F(DeviceCommands, PositionIsAnsweredWithTheAddressOrAnEscapedErrorToTheLatestCallback)
{
    auto& manager = *fakes.locationManager;
    manager.status = Status::authorizedWhenInUse;
    EXPECT_EQ(run("getLocationData?callback"), Strings{});
    EXPECT_EQ(manager.locationRequests, 0);
    run("getLocationData?callback=first");
    run("getLocationData?callback=second");
    EXPECT_EQ(manager.locationRequests, 2);

    const std::string stamp = berlin().description();
    platform::Placemark five;
    five.thoroughfare = "Main \"St\"";
    five.subThoroughfare = "12";
    five.locality = "Town";
    five.postalCode = "10115";
    five.country = "Land";
    const struct {
        const char* name;
        std::vector<platform::Placemark> placemarks;
        std::optional<std::string> error;
        std::string reply;
    } cases[] = {
        {"five parts, no district and no region", {five}, std::nullopt,
         R"({"FormattedAddressLines":["Main \"St\"","12","Town","10115","Land"],"GPSStamp":")" + stamp + "\"}"},
        {"no parts", {platform::Placemark{}}, std::nullopt,
         R"({"FormattedAddressLines":[],"GPSStamp":")" + stamp + "\"}"},
        {"error with a quote and a line break", {}, std::string("bad \"host\"\nhere"),
         R"({"value":"bad \"host\"\nhere"})"},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.name);
        const std::size_t before = screen.view->scripts().size();
        manager.report({platform::Location{}, berlin()});
        ASSERT_FALSE(fakes.geocoders.empty());
        EXPECT_EQ(fakes.geocoders.back()->requests.at(0).location.latitude, 52.52) << "the last position counts";
        fakes.geocoders.back()->requests.at(0).completion(test.placemarks, test.error);
        EXPECT_EQ(awaitScripts(before), Strings{callbackScript("second", test.reply)});
    }

    std::size_t before = screen.view->scripts().size();
    manager.fail("no \"fix\"");
    EXPECT_EQ(awaitScripts(before), Strings{callbackScript("second", R"({"value":"GPS ERROR-86: no \"fix\""})")});

    // Without when-in-use permission at the time of the lookup: no geocoding, no answer.
    const std::size_t geocoders = fakes.geocoders.size();
    manager.status = Status::authorizedAlways;
    manager.report({berlin()});
    EXPECT_EQ(fakes.geocoders.size(), geocoders);

    screen.view.reset();
    run("getLocationData?callback=third");
    EXPECT_EQ(manager.locationRequests, 2) << "no web view: no request";
}

TEST_F(DeviceCommands, FileChooserNeedsCallbackModeAndWebViewAndOffersImagesForImageMode)
{
    const struct {
        const char* command;
        std::optional<platform::DocumentTypes> types;
    } cases[] = {
        {"showFileChooser?mode=doc", std::nullopt},
        {"showFileChooser?callback=cb&mode", std::nullopt},
        {"showFileChooser?callback&mode=doc", platform::DocumentTypes::item},
        {"showFileChooser?callback=cb&mode=image", platform::DocumentTypes::image},
    };
    // The user closes every dialog shown: an open picker keeps its handler alive.
    const auto closePickers = [&] {
        for (const auto& picker : fakes.pickers)
            picker->cancel();
        fakes.pickers.clear();
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.command);
        closePickers();
        run(test.command);
        ASSERT_EQ(fakes.pickers.size(), test.types ? 1u : 0u);
        if (test.types) {
            EXPECT_EQ(fakes.pickers[0]->types, *test.types);
            EXPECT_EQ(fakes.pickers[0]->shownOver, screen.view);
        }
    }
    closePickers();
    screen.view.reset();
    run("showFileChooser?callback=cb&mode=doc");
    EXPECT_TRUE(fakes.pickers.empty());
    // The log line is the behaviour here: nothing else is observable.
    EXPECT_TRUE(log.has(Logger::Level::Error, "webView is nil!"));
}

TEST_F(DeviceCommands, ChosenFileIsCopiedUnderTheLimitAndAnsweredEscaped)
{
    AppDelegate delegate;
    fakes.application->run(0, nullptr, delegate);
    delegate.window = std::make_shared<testsupport::FakeWindow>();
    auto& window = static_cast<testsupport::FakeWindow&>(*delegate.window);
    const fs::path userFolder = testsupport::makeTemporaryFolder("user");
    const fs::path upload = sharedConfig().UPLOADURL;
    testsupport::writeFile(upload / "report.pdf", "older");

    const struct {
        const char* limit;
        std::size_t size;
        const char* name;
        std::optional<std::string> reply; // none: not copied
        const char* alert;
    } cases[] = {
        {"1048576", 1048576, "report.pdf", R"({"filePath":"report.pdf", "fileType":"other"})", nullptr},
        {"1048576", 1048577, "big.pdf", std::nullopt, "The chosen file is larger than 1 MB."},
        {"1500000", 1500001, "big.pdf", std::nullopt, "The chosen file is larger than 1 MB."},
        {"abc", 2000000, "any.bin", R"({"filePath":"any.bin", "fileType":"other"})", nullptr},
        {"", 10, "a\"b\\c.txt", R"({"filePath":"a\"b\\c.txt", "fileType":"other"})", nullptr},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.name);
        sharedConfig().defaults.set("maxuploadsize", std::string(test.limit));
        const fs::path original = userFolder / test.name;
        const std::string bytes(test.size, 'u');
        testsupport::writeFile(original, bytes);
        run("showFileChooser?callback=picked&mode=doc");
        const std::size_t before = screen.view->scripts().size();
        fakes.pickers.back()->pick({platform::fileURLString(original)});
        platform::drainMainQueue();
        const Strings scripts(screen.view->scripts().begin() + static_cast<std::ptrdiff_t>(before), screen.view->scripts().end());
        EXPECT_EQ(scripts, test.reply ? Strings{callbackScript("picked", *test.reply)} : Strings{});
        if (test.reply) {
            EXPECT_EQ(testsupport::readFile(upload / test.name), bytes);
        } else {
            EXPECT_FALSE(fs::exists(upload / test.name));
        }
        // The user's file is never moved or deleted.
        EXPECT_EQ(testsupport::readFile(original), bytes);
        if (test.alert) {
            ASSERT_TRUE(window.topAlert());
            EXPECT_EQ(window.topAlert()->alert()->message, test.alert);
            window.topAlert()->pressAlertButton(0);
        }
    }
    EXPECT_TRUE(toast->shown.empty());
}

TEST_F(DeviceCommands, FailedOrCancelledChoicesAnswerNothing)
{
    const fs::path userFolder = testsupport::makeTemporaryFolder("user");
    // The upload folder's parent, the web root, is missing before the first install.
    run("showFileChooser?callback=picked&mode=doc");
    fakes.pickers.back()->pick({platform::fileURLString(userFolder)});
    ASSERT_EQ(toast->shown.size(), 1u);
    fs::create_directories(sharedConfig().WEBROOT);
    const struct {
        std::vector<std::string> urls;
        bool toast;
    } cases[] = {
        {{}, false},
        {{"https://example.invalid/report.pdf"}, true},
        {{platform::fileURLString(userFolder / "missing.pdf")}, true},
    };
    for (const auto& test : cases) {
        toast->shown.clear();
        run("showFileChooser?callback=picked&mode=doc");
        fakes.pickers.back()->pick(test.urls);
        platform::drainMainQueue();
        EXPECT_EQ(toast->shown.size(), test.toast ? 1u : 0u);
        if (test.toast) {
            EXPECT_EQ(toast->shown[0].text, "The chosen file could not be taken for the upload.");
            EXPECT_EQ(toast->shown[0].position, platform::ToastPosition::bottom);
        }
    }
    run("showFileChooser?callback=picked&mode=doc");
    fakes.pickers.back()->cancel();
    EXPECT_TRUE(fakes.pickers.back()->dismissed);
    EXPECT_EQ(std::count(screen.view->scripts().begin(), screen.view->scripts().end(), std::string("picked")), 0);
    EXPECT_TRUE(screen.view->scripts().empty());
}

TEST_F(DeviceCommands, ConnectWebSocketNeedsADomainAndSettingsFoundAgain)
{
    // A server URL that is no text leaves the channel unconfigured when it is built.
    sharedConfig().defaults.set("socketserverurl", std::int64_t(0));
    testsupport::rebuildSharedInstances();
    auto& channel = sharedWebSocketManager();
    ASSERT_FALSE(channel.isConfigured());
    const struct {
        const char* command;
        bool urlIsText;
        const char* domain;
        // Whether the settings were read again: only for a domain.
        bool configured;
    } cases[] = {
        {"connectWebSocket?domain=shop", false, "", false},
        {"connectWebSocket", true, "", false},
        {"connectWebSocket?domain", true, "", false},
        {"connectWebSocket?domain=shop", true, "shop", true},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.command);
        if (test.urlIsText)
            sharedConfig().defaults.set("socketserverurl", std::string("ws://127.0.0.1:9"));
        EXPECT_EQ(run(test.command), Strings{});
        EXPECT_EQ(channel.domain, test.domain);
        EXPECT_EQ(channel.webSocketManager != nullptr, *test.domain != '\0');
        EXPECT_EQ(channel.isConfigured(), test.configured);
        if (!test.urlIsText) {
            // The log line is the behaviour here: nothing else is observable.
            EXPECT_TRUE(log.has(Logger::Level::Error, "Websocket still not configured"));
        }
    }
}
