// The bridge commands that show dialogs, toasts, shares and previews, load pages and play
// audio, against the platform doubles.
#include "app/AppDelegate.h"
#include "base/Config.h"
#include "platform/ShareDialog.h"
#include "tests/support/FakeBridgeScreen.h"
#include "tests/support/FakePlatform.h"
#include "tests/support/TestEnvironment.h"
#include "webcontainer/ImageDownload.h"

#include <gtest/gtest.h>

using testsupport::callbackScript;
using Strings = std::vector<std::string>;
namespace fs = std::filesystem;

namespace {

class ScreenCommands : public testing::Test {
protected:
    Strings run(const std::string& command) { return testsupport::runCommand(screen, command); }

    testsupport::FakePlatform fakes;
    testsupport::FakeBridgeScreen screen;
};

} // namespace

TEST_F(ScreenCommands, AlertAndConfirmShowTheirDialogAndAnswerOnTheFirstButton)
{
    struct Case {
        std::string command;
        bool shown;
        std::string title = "";
        std::string message = "";
        std::size_t buttons = 0;
        // What pressing the first button runs in the page.
        Strings onFirst = {};
    };
    const std::string hide = callbackScript("hideAllLoading", R"({"value":null})");
    const Case cases[] = {
        {"alert?text=Hi&type=WARN", true, "Warning", "Hi", 1, {hide}},
        {"alert?text=Hi", true, "Information", "Hi", 1, {hide}},
        {"alert?text=Hi&type=nope", true, "Information", "Hi", 1, {hide}},
        {"alert?type=WARN", false},
        {"alert?text", false},
        {"confirm?message=Sure&callback=go", true, "Information", "Sure", 2, {"go()"}},
        {"confirm?message=Sure&callback=go(1)&type=ERROR", true, "Error", "Sure", 2, {"go(1)"}},
        {"confirm?message=Sure", false},
        {"confirm?callback=go", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.command);
        testsupport::FakeBridgeScreen fresh;
        EXPECT_EQ(testsupport::runCommand(fresh, c.command), Strings{});
        ASSERT_EQ(fresh.alerts().size(), c.shown ? 1u : 0u);
        if (!c.shown)
            continue;
        const auto& alert = fresh.alerts()[0];
        EXPECT_EQ(alert.title, c.title);
        EXPECT_EQ(alert.message, c.message);
        EXPECT_EQ(alert.first.title, "OK");
        EXPECT_EQ(alert.second.has_value(), c.buttons == 2);
        if (alert.second) {
            EXPECT_EQ(alert.second->title, "Cancel");
        }
        fresh.pressButton(0, 0);
        EXPECT_EQ(testsupport::runCommand(fresh, ""), c.onFirst);
    }
    // "Cancel" tells the page nothing.
    run("confirm?message=Sure&callback=go");
    screen.pressButton(0, 1);
    EXPECT_EQ(run(""), Strings{});
}

TEST_F(ScreenCommands, ToastShareLoadPageAndTheSilentWords)
{
    EXPECT_EQ(run("showToast?text=Saved"), Strings{});
    run("showToast?text");
    ASSERT_EQ(fakes.toast->shown.size(), 1u);
    EXPECT_EQ(fakes.toast->shown[0].text, "Saved");
    EXPECT_EQ(fakes.toast->shown[0].duration, std::chrono::milliseconds(2000));
    EXPECT_EQ(fakes.toast->shown[0].position, platform::ToastPosition::bottom);

    run("shareText?text=Hello");
    run("shareText?subject=News&text=Body");
    run("shareText?subject=Only");
    using Shared = std::vector<std::pair<std::string, std::string>>;
    EXPECT_EQ(fakes.shareDialog->shared, (Shared{{"", "Hello"}, {"News", "Body"}}));

    run("loadPage?url=/info.html");
    run("loadPage?url");
    EXPECT_EQ(screen.loadedPages, Strings{"/info.html"});

    EXPECT_EQ(run("vibrate"), Strings{});
    EXPECT_EQ(run("openVideoMeeting?room=x&callback=cb"), Strings{});
    EXPECT_TRUE(screen.alerts().empty());
}

TEST_F(ScreenCommands, ControlAudioFollowsTheCommandsOfOnePlayer)
{
    const fs::path webRoot = sharedConfig().WEBROOT;
    testsupport::writeFile(webRoot / "a.mp3", "sound");
    struct Step {
        std::string command;
        Strings scripts;
        std::size_t players;
        // The player's position afterwards (when there is one) and its last call.
        double position = 0;
        std::string lastCall = "";
    };
    const std::string end = "controlAudioCallback(\"end\")";
    const Step steps[] = {
        // Without a player nothing happens, not even the callback.
        {"controlAudio?callback=cb&file=a.mp3&command=pause", {}, 0},
        {"controlAudio?callback=cb&file=a.mp3&command=rewind", {}, 0},
        // Every one of the three items must be there.
        {"controlAudio?file=a.mp3&command=start", {}, 0},
        {"controlAudio?callback=cb&file=missing.mp3&command=start", {}, 0},
        {"controlAudio?callback=cb&file=../a.mp3&command=start", {}, 0},
        {"controlAudio?callback=cb&file=a.mp3&command=start", {}, 1, 0, "play"},
        {"controlAudio?callback=cb&file=a.mp3&command=pause", {"cb()"}, 1, 0, "pause"},
        {"controlAudio?callback=undefined&file=x&command=resume", {}, 1, 0, "play"},
        {"controlAudio?callback=cb(2)&file&command=pause", {"cb(2)"}, 1, 0, "pause"},
        {"controlAudio?callback=cb&file&command", {"cb()"}, 1, 0, "pause"},
        {"controlAudio?callback=cb&file&command=louder", {}, 1, 0, "pause"},
        {"controlAudio?callback=cb&file&command=forward", {}, 1, 15, "pause"},
        {"controlAudio?callback=cb&file&command=forward", {}, 1, 30, "pause"},
        {"controlAudio?callback=cb&file&command=rewind", {}, 1, 15, "pause"},
        {"controlAudio?callback=cb&file&command=rewind", {}, 1, 0, "pause"},
        {"controlAudio?callback=cb&file&command=rewind", {end}, 1, 0, "stop"},
        {"controlAudio?callback=cb&file&command=resume", {"cb()"}, 1, 0, "play"},
        {"controlAudio?callback=cb&file&command=stop", {}, 1, 0, "stop"},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.command);
        EXPECT_EQ(run(step.command), step.scripts);
        ASSERT_EQ(fakes.audioPlayers.size(), step.players);
        if (!step.players)
            continue;
        EXPECT_EQ(screen.player, fakes.audioPlayers.back());
        EXPECT_EQ(fakes.audioPlayers.back()->file, webRoot / "a.mp3");
        EXPECT_EQ(fakes.audioPlayers.back()->position, step.position);
        EXPECT_EQ(fakes.audioPlayers.back()->calls.back(), step.lastCall);
    }
    // Forward past the end of a 60-second file stops and reports the end; within it, it moves.
    auto& player = *fakes.audioPlayers.back();
    player.position = 40;
    run("controlAudio?callback=cb&file&command=forward");
    EXPECT_EQ(player.position, 55);
    player.position = 50;
    EXPECT_EQ(run("controlAudio?callback=cb&file&command=forward"), Strings{end});
    EXPECT_EQ(player.calls.back(), "stop");
    // A start that fails keeps the old player.
    run("controlAudio?callback=cb&file=gone.mp3&command=start");
    EXPECT_EQ(screen.player, fakes.audioPlayers.back());
}

TEST_F(ScreenCommands, DelegateFilePreviewsWithStableIndices)
{
    const fs::path webRoot = sharedConfig().WEBROOT;
    const fs::path sync = sharedConfig().SYNCURL;
    run("delegateFile?url=docs/a.pdf");
    run("delegateFile?url=sync/b.txt");
    run("delegateFile?url=docs/a.pdf");
    run("delegateFile?url=../../etc/passwd");
    run("delegateFile?url");
    const std::vector<fs::path> list{webRoot / "docs/a.pdf", sync / "b.txt"};
    ASSERT_EQ(fakes.previewController->shown.size(), 3u);
    EXPECT_EQ(fakes.previewController->shown[2].items, list);
    EXPECT_EQ(fakes.previewController->shown[0].index, 0u);
    EXPECT_EQ(fakes.previewController->shown[1].index, 1u);
    EXPECT_EQ(fakes.previewController->shown[2].index, 0u);
}

// A name with a leading "/" was refused as a local file and fetched from the server instead.
TEST_F(ScreenCommands, ShowImagePreviewsAnImageOfTheWebRootWithoutARequest)
{
    const fs::path picture = fs::path(sharedConfig().WEBROOT) / "pic.png";
    testsupport::writeFile(picture, "png");
    for (const std::string name : {"pic.png", "/pic.png"}) {
        SCOPED_TRACE(name);
        fakes.previewController->shown.clear();
        run("showImage?image=" + name);
        ASSERT_EQ(fakes.previewController->shown.size(), 1u);
        EXPECT_EQ(fakes.previewController->shown[0].items, std::vector<fs::path>{picture});
        EXPECT_EQ(sharedConfig().appState, Config::appStateEnum::FRESH);
    }
}

// A server name with folders ("../../x.jpg", "a/b.jpg") was a path in the temporary folder:
// only its last component names the file.
TEST(ImageDownload, TheServerNameIsTheLastComponentOfTheDispositionName)
{
    struct Case {
        std::optional<std::string> type;
        std::string disposition;
        std::optional<std::string> name;
    };
    const Case cases[] = {
        {"image/jpeg", "attachment; filename=photo.jpg", "photo.jpg"},
        {"image/jpeg", "attachment; filename=\"photo.jpg\"", "photo.jpg"},
        {"image/jpeg", "attachment;filename= 'photo.jpg'.\n", "photo.jpg"},
        {"image/jpeg", "attachment; filename=\"../../etc/x.jpg\"", "x.jpg"},
        {"image/jpeg", "attachment; filename=a/b/c.png; size=3", "c.png"},
        {"image/jpeg", "attachment; filename=\"..\"", std::nullopt},
        {"image/jpeg", "attachment; filename=\"dir/\"", "dir"},
        {"image/jpeg", "attachment", std::nullopt},
        {"image/jpeg", "attachment; filename", std::nullopt},
        {std::nullopt, "attachment; filename=photo.jpg", std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.disposition);
        platform::HttpUrlResponse response;
        response.statusCode = 200;
        if (c.type)
            response.headerFields.set("Content-Type", *c.type);
        response.headerFields.set("Content-Disposition", c.disposition);
        EXPECT_EQ(serverFileName(response), c.name);
    }
}

// A reply of 404 or 500 was saved as the image: a status of 400 or more is a failure with the
// alert. The image is the preview's own atomic copy in the temporary folder.
TEST(ImageDownload, FailuresAlertAndImagesBecomeTheirOwnCopyInTheTemporaryFolder)
{
    testsupport::FakePlatform fakes;
    AppDelegate delegate;
    fakes.application->run(0, nullptr, delegate);
    delegate.window = std::make_shared<testsupport::FakeWindow>();
    auto& window = static_cast<testsupport::FakeWindow&>(*delegate.window);
    auto items = std::make_shared<PreviewItems>();
    Config& config = sharedConfig();

    auto reply = [](int status, std::optional<std::string> disposition) {
        platform::DataTaskResult result;
        result.data = "bytes";
        result.response.emplace();
        result.response->statusCode = status;
        result.response->headerFields.set("Content-Type", "image/png");
        if (disposition)
            result.response->headerFields.set("Content-Disposition", *disposition);
        return result;
    };
    struct Failure {
        platform::DataTaskResult result;
        std::string message;
    };
    platform::DataTaskResult transport;
    transport.error = platform::UrlError::make(platform::UrlErrorCode::timedOut);
    const Failure failures[] = {
        {reply(404, "attachment; filename=missing.png"), "Failed to download the image!"},
        {reply(500, std::nullopt), "Failed to download the image!"},
        {transport, transport.error->localizedDescription},
    };
    for (const auto& failure : failures) {
        config.appState = Config::appStateEnum::PENDING;
        showImageCompletion(failure.result, items);
        platform::drainMainQueue();
        auto* alert = window.topAlert();
        ASSERT_NE(alert, nullptr);
        EXPECT_EQ(alert->alert()->title, "Alert");
        EXPECT_EQ(alert->alert()->message, failure.message);
        EXPECT_EQ(alert->alert()->actions.at(0).title, "OK");
        alert->pressAlertButton(0);
        EXPECT_EQ(config.appState, Config::appStateEnum::FRESH);
    }
    EXPECT_FALSE(fs::exists(config.tmpDirURL / "missing.png"));
    EXPECT_TRUE(fakes.previewController->shown.empty());

    showImageCompletion(reply(200, "attachment; filename=\"../up.png\""), items);
    platform::drainMainQueue();
    ASSERT_EQ(fakes.previewController->shown.size(), 1u);
    EXPECT_EQ(fakes.previewController->shown[0].items, std::vector<fs::path>{config.tmpDirURL / "up.png"});
    EXPECT_EQ(testsupport::readFile(config.tmpDirURL / "up.png"), "bytes");
    // No temporary file of the atomic write is left beside it.
    std::size_t entries = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(config.tmpDirURL))
        entries += entry.path().filename().string().find("up.png") != std::string::npos;
    EXPECT_EQ(entries, 1u);

    // A screen that is gone gets no preview; the file is still written.
    items.reset();
    showImageCompletion(reply(200, "attachment; filename=later.png"), std::weak_ptr<PreviewItems>());
    platform::drainMainQueue();
    EXPECT_EQ(fakes.previewController->shown.size(), 1u);
    EXPECT_TRUE(fs::exists(config.tmpDirURL / "later.png"));
}

TEST(ShareDialog, MailtoURLEncodesSubjectAndBody)
{
    const std::pair<std::pair<std::string, std::string>, std::string> cases[] = {
        {{"", "Hello"}, "mailto:?body=Hello"},
        {{"Hi there", "a&b=c\nd"}, "mailto:?subject=Hi%20there&body=a%26b%3Dc%0Ad"},
        {{"Grüße", "100%+?#"}, "mailto:?subject=Gr%C3%BC%C3%9Fe&body=100%25%2B%3F%23"},
    };
    for (const auto& [input, url] : cases)
        EXPECT_EQ(platform::mailtoURL(input.first, input.second), url);
}
