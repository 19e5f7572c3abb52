// The bridge commands that show something, posted by the demo's bridge page in the real
// WebKitGTK view: dialogs, the toast, the share dialog, previews (local, fetched from the
// content server, and handed to the desktop) and page loading.
#include "base/Config.h"
#include "platform/Platform.h"
#include "platform/linux/GtkPreviewController.h"
#include "platform/linux/GtkShareDialog.h"
#include "portable/Dispatch.h"
#include "portable/FileURL.h"
#include "portable/Paths.h"
#include "tests/support/RealWebScreenFixture.h"
#include "tests/support/TestContentServer.h"
#include "tests/support/TestEnvironment.h"

#include <gtest/gtest.h>
#include <cairo-pdf.h>
#include <gtk/gtk.h>

namespace fs = std::filesystem;
using Shown = platform::GtkPreviewController::Shown;

namespace {

class ScreenCommandsTest : public testsupport::RealWebScreenFixture {
protected:
    ScreenCommandsTest() : RealWebScreenFixture(StartPage::bridge) {}

    platform::GtkPreviewController& preview()
    {
        return dynamic_cast<platform::GtkPreviewController&>(*platform::current().previewController);
    }
};

} // namespace

TEST_F(ScreenCommandsTest, DialogsAnswerThePageOnTheirFirstButton)
{
    post("alert?text=Hi&type=WARN");
    ASSERT_TRUE(until([&] { return topWindow() != delegate.window.get(); }));
    EXPECT_EQ(topWindow()->alert()->title, "Warning");
    EXPECT_EQ(topWindow()->alert()->message, "Hi");
    topWindow()->pressAlertButton(0);
    EXPECT_TRUE(until([&] { return pageLog().find("← hideAllLoading()") != std::string::npos; }));

    evaluate("window.confirmed = 0; window.onConfirm = function () { window.confirmed++; }; 0");
    post("confirm?message=Sure&callback=onConfirm");
    ASSERT_TRUE(until([&] { return topWindow() != delegate.window.get(); }));
    ASSERT_EQ(topWindow()->alert()->actions.size(), 2u);
    EXPECT_EQ(topWindow()->alert()->actions[1].title, "Cancel");
    topWindow()->pressAlertButton(0);
    EXPECT_TRUE(until([&] { return evaluate("window.confirmed") == "1"; }));
}

TEST_F(ScreenCommandsTest, ToastAndShareDialog)
{
    post("showToast?text=From%20the%20page");
    EXPECT_TRUE(until([&] { return toastText() == "From the page"; }));

    auto& share = dynamic_cast<platform::GtkShareDialog&>(*platform::current().shareDialog);
    post("shareText?subject=News&text=Hello%20there");
    ASSERT_TRUE(until([&] { return share.dialog() != nullptr; }));
    EXPECT_TRUE(gtk_widget_get_visible(share.dialog()));
    share.choose(platform::GtkShareDialog::Choice::email);
    EXPECT_EQ(share.dialog(), nullptr);
    EXPECT_EQ(urlOpener->opened(), std::vector<std::string>{"mailto:?subject=News&body=Hello%20there"});
}

TEST_F(ScreenCommandsTest, PreviewsShowImagesPdfAndTextAndHandTheRestToTheDesktop)
{
    const fs::path webRoot = sharedConfig().WEBROOT;
    // A one-page PDF drawn with cairo, and a file of no type the preview shows.
    {
        cairo_surface_t* pdf = cairo_pdf_surface_create((webRoot / "doc.pdf").c_str(), 200, 100);
        cairo_t* cr = cairo_create(pdf);
        cairo_show_text(cr, "page");
        cairo_destroy(cr);
        cairo_surface_destroy(pdf);
    }
    testsupport::writeFile(webRoot / "data.bin", std::string("\x00\x01\x02\xff", 4));

    struct Case {
        std::string command;
        Shown shown;
        fs::path file;
    };
    const Case cases[] = {
        {"delegateFile?url=file_readme.txt", Shown::text, webRoot / "file_readme.txt"},
        {"showImage?image=media/sample.png", Shown::image, webRoot / "media/sample.png"},
        {"delegateFile?url=doc.pdf", Shown::pdf, webRoot / "doc.pdf"},
        {"delegateFile?url=sync/missing.pdf", Shown::missing, sharedConfig().SYNCURL / "missing.pdf"},
        {"delegateFile?url=data.bin", Shown::handedToDesktop, webRoot / "data.bin"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.command);
        post(c.command);
        ASSERT_TRUE(until([&] { return preview().shownFile() == c.file; }));
        EXPECT_EQ(preview().shown(), c.shown);
    }
    EXPECT_NE(preview().visibleWindow(), nullptr);
    EXPECT_EQ(urlOpener->opened(), std::vector<std::string>{platform::fileURLString(webRoot / "data.bin")});
    // Back to the first file, as the window's button goes.
    for (int i = 0; i < 4; ++i)
        preview().step(-1);
    EXPECT_EQ(preview().shownFile(), webRoot / "file_readme.txt");
}

TEST_F(ScreenCommandsTest, ShowImageFetchesAMissingImageFromTheContentServer)
{
    testsupport::TestContentServer server;
    server.reply("/server.php", testsupport::TestContentServer::Reply()
                                    .withHeader("Content-Type", "image/png")
                                    .withHeader("Content-Disposition", "attachment; filename=\"../fetched.png\"")
                                    .withBody(testsupport::readFile(fs::path(sharedConfig().WEBROOT) / "media/sample.png")));
    auto& defaults = sharedConfig().defaults;
    defaults.set("serverprotocol", "http://");
    defaults.set("servername", "127.0.0.1:" + std::to_string(server.port()));
    defaults.set("serverpath", "/");
    defaults.set("serverfile", "server.php");

    post("showImage?image=remote%20pic.png");
    const fs::path fetched = sharedConfig().tmpDirURL / "fetched.png";
    ASSERT_TRUE(until([&] { return preview().shownFile() == fetched; }));
    EXPECT_EQ(preview().shown(), Shown::image);
    EXPECT_EQ(sharedConfig().appState, Config::appStateEnum::FRESH);
    ASSERT_EQ(server.requests().size(), 1u);
    EXPECT_NE(server.requests()[0].body.find("&id=remote%20pic.png"), std::string::npos) << server.requests()[0].body;

    // A reply of 404 is a failure: the alert, and nothing more to preview.
    server.reply("/server.php", testsupport::TestContentServer::Reply().withStatus(404).withBody("not here"));
    post("showImage?image=gone.png");
    ASSERT_TRUE(until([&] { return topWindow() != delegate.window.get(); }));
    EXPECT_EQ(topWindow()->alert()->title, "Alert");
    EXPECT_EQ(topWindow()->alert()->message, "Failed to download the image!");
    EXPECT_EQ(preview().shownFile(), fetched);
}

TEST_F(ScreenCommandsTest, LoadPageRebuildsTheWebViewOnThePage)
{
    const auto before = screen->webView;
    post("loadPage?url=/info.html");
    ASSERT_TRUE(waitForFinishedNavigations(3));
    EXPECT_NE(screen->webView, before);
    EXPECT_EQ(screen->webView->url(), "file://" + sharedConfig().WEBROOT + "/info.html");
}

// A page outside the application's folder was refused by the web view without a word: the
// new web view stayed blank. A refused page, like a missing one, brings up the recovery alert.
TEST_F(ScreenCommandsTest, LoadPageOfARefusedOrMissingPageBringsUpTheRecoveryAlert)
{
    const fs::path outside = platform::paths::home() / "outside.html";
    testsupport::writeFile(outside, "<p>not the application's</p>");
    const std::string climb = fs::relative(outside, sharedConfig().WEBROOT).string();
    std::size_t navigations = 2;
    for (const std::string& page : {"/" + climb, std::string("/missing.html")}) {
        SCOPED_TRACE(page);
        post("loadPage?url=" + page);
        ASSERT_TRUE(until([&] { return topWindow() != delegate.window.get(); }));
        ASSERT_TRUE(topWindow()->alert());
        EXPECT_EQ(topWindow()->alert()->message, screen->ERROR_LOCAL_DATA);
        ASSERT_EQ(topWindow()->alert()->actions.size(), 2u);
        topWindow()->pressAlertButton(0); // HOME
        ASSERT_TRUE(waitForFinishedNavigations(++navigations));
        EXPECT_EQ(screen->webView->url(), "file://" + sharedConfig().WEBROOT + "/index.html");
    }
}
