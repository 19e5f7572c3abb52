// Server calls from the page's side: what the page, the user and the web root see once the
// loopback content server has answered.

#include "app/AppDelegate.h"
#include "base/Config.h"
#include "base/LocalizedTexts.h"
#include "base/SharedInstances.h"
#include "contentserver/ServerCom.h"
#include "platform/Platform.h"
#include "platform/View.h"
#include "portable/Dispatch.h"
#include "portable/UTF8.h"
#include "tests/support/ContentServerFixture.h"
#include "tests/support/FakeToast.h"
#include "tests/support/TestEnvironment.h"
#include "tests/support/TestIsolation.h"
#include "tests/support/ZipBuilder.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace fs = std::filesystem;
using testsupport::FakeWindow;
using testsupport::TestContentServer;
using Reply = TestContentServer::Reply;
using Scripts = std::vector<std::string>;
using namespace std::chrono_literals;

namespace {

class ServerCallTest : public testsupport::ContentServerFixture {
protected:
    ServerCallTest()
        : ContentServerFixture("/", "server.php")
    {
        platform::current().toast = toast;
        fakes.application->run(0, nullptr, delegate);
        delegate.window = window;
        screenView->addSubview(webView);
    }


    static fs::path webRoot() { return sharedConfig().WEBROOT; }

    // Answers the server call with `reply`, makes it, and waits until the page has been told
    // `count` scripts.
    Scripts call(const Reply& reply, std::size_t count, const std::string& callback = "done",
                 const std::string& callbackError = "failed()", bool silent = false, const std::string& url = "")
    {
        server.reply("/server.php", reply);
        sharedServerCom().callServer("p", PageReply(webView, callback), "", "", callbackError, silent, url);
        return waitForScripts(count);
    }

    Scripts waitForScripts(std::size_t count)
    {
        EXPECT_TRUE(platform::runMainLoopUntil([&] { return webView->scripts().size() >= count; }))
            << "scripts so far: " << webView->scripts().size();
        // Anything else the page would be told arrives right behind.
        platform::runMainLoopUntil([] { return false; }, 100ms);
        return webView->scripts();
    }

    std::vector<std::string> toastTexts() const
    {
        std::vector<std::string> texts;
        for (const auto& shown : toast->shown) {
            EXPECT_EQ(2000ms, shown.duration);
            EXPECT_EQ(platform::ToastPosition::bottom, shown.position);
            texts.push_back(shown.text);
        }
        return texts;
    }

    const std::vector<platform::PlistDict>& posted() const { return finished; }

    FakeWindow* alert() const { return window->topAlert(); }

    std::shared_ptr<testsupport::FakeToast> toast = std::make_shared<testsupport::FakeToast>();
    AppDelegate delegate;
    std::shared_ptr<FakeWindow> window = std::make_shared<FakeWindow>();
    std::shared_ptr<platform::View> screenView = std::make_shared<platform::View>();
    std::shared_ptr<testsupport::FakeWebView> webView = std::make_shared<testsupport::FakeWebView>();
};

const platform::PlistDict fileReceived = {{"filereceived", "true"}};

} // namespace

TEST_F(ServerCallTest, callbackIsCalledOrRunAsAScriptThenLoadingIsHidden)
{
    EXPECT_EQ((Scripts{"done()", "hideAllLoading()"}), call(Reply().withBody("{}"), 2));
    EXPECT_EQ((Scripts{"done()", "hideAllLoading()", "done(1, 'x')", "hideAllLoading()"}),
              call(Reply().withBody("{}"), 4, "done(1, 'x')"));
    EXPECT_TRUE(toast->shown.empty());
    EXPECT_EQ(2u, server.requests().size());
}

TEST_F(ServerCallTest, errorStatusReportsAndStillHandlesTheReply)
{
    auto scripts = call(Reply()
                            .withStatus(404)
                            .withCookie("nonces=x%3By")
                            .withCookie("script=fromCookie()")
                            .withBody("not here"),
                        4);
    EXPECT_EQ((Scripts{"failed()", "fromCookie()", "done()", "hideAllLoading()"}), scripts);
    EXPECT_EQ((std::vector<std::string>{localizedString("SERVERCOM_SERVER_ERROR")}), toastTexts());
    EXPECT_EQ("x;y", sharedConfig().defaults.string("nonces"));
}

TEST_F(ServerCallTest, transportErrorTellsThePageAndShowsTheReason)
{
    int closedPort = 0;
    {
        TestContentServer gone;
        closedPort = gone.port();
    }
    sharedConfig().defaults.set("servername", "127.0.0.1:" + std::to_string(closedPort));
    sharedServerCom().callServer("p", PageReply(webView, "done"), "", "", "failed()", false, "");
    EXPECT_EQ((Scripts{"hideAllLoading()", "failed()"}), waitForScripts(2));
    EXPECT_EQ((std::vector<std::string>{localizedString("NO_INTERNET") + ":" +
                                        platform::UrlError::make(platform::UrlErrorCode::cannotConnectToHost)
                                            .localizedDescription}),
              toastTexts());
}

// A reply beyond its limit fails as a lost transfer does, the server stopped early; a file may be
// larger than a text reply.
TEST_F(ServerCallTest, replyBeyondItsLimitFailsAndAFileMayBeLarger)
{
    constexpr std::size_t MiB = 1 << 20;
    const auto scripts = call(Reply().withStream({300 * MiB, 64 * 1024, 0ms, false, std::nullopt}), 2);
    EXPECT_EQ((Scripts{"hideAllLoading()", "failed()"}), scripts);
    EXPECT_EQ((std::vector<std::string>{localizedString("NO_INTERNET") + ":" +
                                        platform::UrlError::make(platform::UrlErrorCode::dataLengthExceedsMaximum)
                                            .localizedDescription}),
              toastTexts());

    call(Reply().withHeader("Content-Type", "application/octet-stream")
             .withHeader("Content-Disposition", "attachment; filename=big.bin")
             .withStream({9 * MiB, 64 * 1024, 0ms, true, std::nullopt}),
         4);
    EXPECT_EQ(9 * MiB, fs::file_size(webRoot() / "big.bin"));
}

TEST_F(ServerCallTest, refusedAddressIsReportedAndNothingIsSent)
{
    sharedServerCom().callServer("p", PageReply(webView, "done"), "", "", "failed()", false, server.url("/other"));
    EXPECT_EQ((Scripts{"hideAllLoading()", "failed()"}), waitForScripts(2));
    EXPECT_EQ((std::vector<std::string>{localizedString("SERVERCOM_ERROR_WRONG_URL")}), toastTexts());
    EXPECT_TRUE(server.requests().empty());
}

TEST_F(ServerCallTest, silentCallsAndWebViewsOnNoScreenShowNoToast)
{
    call(Reply().withStatus(500).withBody("x"), 3, "done", "failed()", true);
    sharedServerCom().callServer("p", PageReply(webView, "done"), "", "", "failed()", true, server.url("/other"));
    waitForScripts(5);
    webView->removeFromSuperview();
    call(Reply().withStatus(500).withBody("x"), 8);
    EXPECT_TRUE(toast->shown.empty());
}

TEST_F(ServerCallTest, attachmentIsWrittenIntoTheWebRoot)
{
    fs::create_directories(webRoot() / "sub");
    call(Reply()
             .withHeader("Content-Type", "application/json")
             .withHeader("Content-Disposition", "attachment; filename=data.json")
             .withBody(R"({"a":1})"),
         2);
    call(Reply()
             .withHeader("Content-Type", "text/plain")
             .withHeader("Content-Disposition", "attachment; filename=\"quoted.txt\"")
             .withBody("q"),
         4);
    call(Reply()
             .withHeader("Content-Type", "text/plain")
             .withHeader("Content-Disposition", "attachment; filename= sub/inner.txt")
             .withBody("inner"),
         6);
    call(Reply().withHeader("Content-Disposition", "attachment; filename=untyped.txt").withBody("u"), 8);

    EXPECT_EQ(R"({"a":1})", testsupport::readFile(webRoot() / "data.json"));
    EXPECT_EQ("q", testsupport::readFile(webRoot() / "\"quoted.txt\""));
    EXPECT_EQ("inner", testsupport::readFile(webRoot() / "sub" / "inner.txt"));
    // Without a content type the disposition is not looked at.
    EXPECT_FALSE(fs::exists(webRoot() / "untyped.txt"));
    EXPECT_EQ((std::vector<platform::PlistDict>{fileReceived, fileReceived, fileReceived}), posted());
    EXPECT_EQ(nullptr, alert());
    // Nothing of the file runs in the page.
    EXPECT_EQ(8u, webView->scripts().size());
}

// A file name that would land outside the web root, or no file name at all, is refused.
TEST_F(ServerCallTest, fileNamesOutsideTheWebRootAreRefused)
{
    const fs::path outside = webRoot().parent_path();
    std::size_t scripts = 0;
    const std::vector<std::string> dispositions = {
        "attachment; filename=../evil.txt", "attachment; filename=" + (outside / "evil.txt").string(),
        "attachment; filename=sub/../../evil.txt", "attachment", "attachment; filename", "attachment; filename="};
    for (const auto& disposition : dispositions) {
        scripts += 2;
        call(Reply().withHeader("Content-Type", "text/plain").withHeader("Content-Disposition", disposition).withBody("x"),
             scripts);
        ASSERT_NE(nullptr, alert()) << disposition;
        EXPECT_EQ(JS_ALERT_TITLES().at("ERROR") + "317", alert()->alert()->title) << disposition;
        EXPECT_EQ(localizedString("SC_UPDATE_ERROR"), alert()->alert()->message);
        ASSERT_EQ(1u, alert()->alert()->actions.size());
        alert()->pressAlertButton(0);
        scripts += 1;
        EXPECT_EQ("hideAllLoading()", waitForScripts(scripts).back());
    }
    EXPECT_FALSE(fs::exists(outside / "evil.txt"));
    // Handling went on after each refusal, without a notification of a received file.
    EXPECT_TRUE(posted().empty());
}

TEST_F(ServerCallTest, zipReplyIsUnpackedAndDeleted)
{
    const fs::path archive = testsupport::makeTemporaryFolder("zip") / "pack.zip";
    testsupport::ZipBuilder().folder("pages/").file("pages/new.html", "<p>new</p>").file("top.txt", "top").write(archive);
    call(Reply()
             .withHeader("Content-Type", "application/zip")
             .withHeader("Content-Disposition", "attachment; filename=pack.zip")
             .withBody(testsupport::readFile(archive)),
         2);
    EXPECT_EQ("<p>new</p>", testsupport::readFile(webRoot() / "pages" / "new.html"));
    EXPECT_EQ("top", testsupport::readFile(webRoot() / "top.txt"));
    EXPECT_FALSE(fs::exists(webRoot() / "pack.zip"));
    EXPECT_EQ((std::vector<platform::PlistDict>{fileReceived}), posted());
}

// A ".zip" reply whose bytes happen to be valid UTF-8 is still unpacked, not kept as a text file.
TEST_F(ServerCallTest, zipReplyThatReadsAsTextIsUnpackedToo)
{
    const fs::path archive = testsupport::makeTemporaryFolder("zip") / "text.zip";
    std::string bytes;
    // A stored entry keeps its bytes as they are; with its Unix mode cleared (external attributes
    // of the central directory entry) only the checksum can leave ASCII, and a content whose
    // checksum does not turns up within a few tries.
    for (int attempt = 0; attempt < 1000 && (bytes.empty() || !platform::isValidUTF8(bytes)); ++attempt) {
        testsupport::ZipBuilder().file("t.txt", "text " + std::to_string(attempt), true).write(archive);
        bytes = testsupport::readFile(archive);
        const auto central = bytes.find(std::string("PK\x01\x02", 4));
        ASSERT_NE(std::string::npos, central);
        bytes.replace(central + 38, 4, std::string(4, '\0'));
    }
    ASSERT_TRUE(platform::isValidUTF8(bytes));
    call(Reply()
             .withHeader("Content-Type", "application/zip")
             .withHeader("Content-Disposition", "attachment; filename=text.zip")
             .withBody(bytes),
         2);
    EXPECT_EQ("text ", testsupport::readFile(webRoot() / "t.txt").substr(0, 5));
    EXPECT_FALSE(fs::exists(webRoot() / "text.zip"));
}

TEST_F(ServerCallTest, corruptZipRaisesItsAlertAndEndsTheHandling)
{
    sharedConfig().stackOfJScript.lock()->push("queued()");
    call(Reply()
             .withHeader("Content-Type", "application/zip")
             .withHeader("Content-Disposition", "attachment; filename=broken.zip")
             .withHeader("Location", "landing.html")
             .withBody(std::string("PK\x03\x04\xff\xfe garbage \x80\x81", 16)),
         2);
    ASSERT_NE(nullptr, alert());
    EXPECT_EQ(JS_ALERT_TITLES().at("ERROR") + ":280", alert()->alert()->title);
    // No landing page, no file notification, the queue untouched; the page is still answered.
    EXPECT_TRUE(posted().empty());
    EXPECT_EQ((Scripts{"queued()"}), sharedConfig().stackOfJScript.lock()->items);
    EXPECT_EQ((Scripts{"done()", "hideAllLoading()"}), webView->scripts());
}

// An XML reply that holds the server's error element is no update reply: alert "340", no
// download, and the page is answered as for any reply.
TEST_F(ServerCallTest, xmlReplyWithTheServerErrorRaisesItsAlert)
{
    call(Reply().withHeader("Content-Type", "text/xml").withBody("<response><error>denied</error></response>"), 2);
    ASSERT_NE(nullptr, alert());
    EXPECT_EQ(JS_ALERT_TITLES().at("ERROR") + "340", alert()->alert()->title);
    EXPECT_EQ(localizedString("SC_UPDATE_ERROR"), alert()->alert()->message);
    EXPECT_FALSE(sharedServerCom().isPersonalization);
    EXPECT_EQ(1u, server.requests().size());
    EXPECT_EQ((Scripts{"done()", "hideAllLoading()"}), webView->scripts());
}

TEST_F(ServerCallTest, javaScriptRunsOnlyForTheExactContentType)
{
    EXPECT_EQ((Scripts{"ran(1)", "done()", "hideAllLoading()"}),
              call(Reply().withHeader("Content-Type", "application/javascript").withBody("ran(1)"), 3));
    EXPECT_EQ((Scripts{"ran(1)", "done()", "hideAllLoading()", "done()", "hideAllLoading()"}),
              call(Reply().withHeader("Content-Type", "application/javascript; charset=utf-8").withBody("ran(2)"), 5));
}

TEST_F(ServerCallTest, locationPostsTheLandingPageAndLeavesTheQueue)
{
    sharedConfig().stackOfJScript.lock()->push("first()");
    sharedConfig().stackOfJScript.lock()->push("second()");
    call(Reply().withHeader("Location", "landing.html?x=1").withCookie("script=fromCookie()").withBody("{}"), 2);
    EXPECT_EQ((std::vector<platform::PlistDict>{{{"landingPage", "landing.html?x=1"}}}), posted());
    EXPECT_EQ((Scripts{"first()", "second()", "fromCookie()"}), sharedConfig().stackOfJScript.lock()->items);

    // Without a landing page the queue is emptied, the last queued first.
    EXPECT_EQ((Scripts{"done()", "hideAllLoading()", "fromCookie()", "second()", "first()", "done()",
                       "hideAllLoading()"}),
              call(Reply().withBody("{}"), 7));
    EXPECT_TRUE(sharedConfig().stackOfJScript.lock()->items.empty());
}

TEST_F(ServerCallTest, messageCookieShowsAnAlertWhoseButtonHidesLoading)
{
    call(Reply().withCookie("message=Hello%2C%20world").withCookie("message=second").withBody("{}"), 2);
    ASSERT_TRUE(platform::runMainLoopUntil([&] { return alert() != nullptr; }));
    EXPECT_EQ(JS_ALERT_TITLES().at("INFO"), alert()->alert()->title);
    EXPECT_EQ("Hello, world", alert()->alert()->message);
    ASSERT_EQ(1u, alert()->alert()->actions.size());
    EXPECT_EQ(localizedString("OK"), alert()->alert()->actions[0].title);
    alert()->pressAlertButton(0);
    EXPECT_EQ("hideAllLoading()", waitForScripts(3).back());
    EXPECT_EQ(nullptr, alert());
}

TEST_F(ServerCallTest, cookiesThatDoNotDecodeAreSkipped)
{
    sharedConfig().defaults.set("nonces", "kept");
    call(Reply().withCookie("nonces=%zz").withCookie("script=%E0%A4").withCookie("message=%").withBody("{}"), 2);
    EXPECT_FALSE(sharedConfig().defaults.string("nonces"));
    EXPECT_EQ(nullptr, alert());
    EXPECT_EQ((Scripts{"done()", "hideAllLoading()"}), webView->scripts());
}

TEST_F(ServerCallTest, redirectsAreFollowedOnlyToHttp)
{
    server.reply("/target", Reply().withHeader("Content-Type", "application/javascript").withBody("arrived()"));
    EXPECT_EQ((Scripts{"arrived()", "done()", "hideAllLoading()"}),
              call(Reply().withStatus(302).withHeader("Location", server.url("/target")), 3));
    ASSERT_EQ(2u, server.requests().size());
    EXPECT_EQ("GET", server.requests()[1].method);

    // Not followed: the redirect itself is the reply, and its Location names the landing page.
    const std::string secure = "https://127.0.0.1:" + std::to_string(server.port()) + "/target";
    call(Reply().withStatus(302).withHeader("Location", secure), 5);
    EXPECT_EQ(3u, server.requests().size());
    EXPECT_EQ((std::vector<platform::PlistDict>{{{"landingPage", secure}}}), posted());
}

// The main thread dropped the web view while the reply thread wrote a received file; the reply
// thread held the last reference and destroyed the web view off the main thread.
TEST_F(ServerCallTest, webViewDroppedDuringReplyHandlingDiesOnTheMainThread)
{
    std::atomic<bool> destroyed = false;
    std::atomic<bool> destroyedOnMain = false;
    webView->onDestroyed = [&] {
        destroyedOnMain = platform::isMainThread();
        destroyed = true;
    };
    // The reply thread stops in the file notification until the main thread has dropped the view.
    struct Steps {
        std::atomic<bool> handling = false;
        std::atomic<bool> dropped = false;
    };
    auto steps = std::make_shared<Steps>();
    int observer = 0;
    sharedNotificationCenter().addObserver(&observer, bundleID(), [steps](const platform::Notification&) {
        steps->handling = true;
        const auto deadline = std::chrono::steady_clock::now() + 5s;
        while (!platform::isMainThread() && !steps->dropped && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(1ms);
    });
    server.reply("/server.php", Reply()
                                    .withHeader("Content-Type", "text/plain")
                                    .withHeader("Content-Disposition", "attachment; filename=a.txt")
                                    .withBody("a"));
    sharedServerCom().callServer("p", PageReply(webView, "done"), "", "", "failed()", false, "");
    ASSERT_TRUE(platform::runMainLoopUntil([&] { return steps->handling.load(); }));
    webView->removeFromSuperview();
    webView.reset();
    steps->dropped = true;
    ASSERT_TRUE(platform::runMainLoopUntil([&] { return destroyed.load(); }));
    sharedNotificationCenter().removeObserver(&observer);
    EXPECT_TRUE(destroyedOnMain);
}

// The shared instances were torn down while a server call's reply was still under way; its
// completion ran later on the reply thread and read them after they were gone.
TEST_F(ServerCallTest, callUnderWayEndsBeforeTheSharedInstancesGo)
{
    server.reply("/server.php", Reply().withStream({.size = 8, .holdAt = 0}));
    sharedServerCom().callServer("p", PageReply(webView, "done"), "", "", "failed()", true, "");
    ASSERT_TRUE(server.waitForRequests(1));
    testsupport::rebuildSharedInstances();
    // The call has ended, and told its page so, before the instances it reads were replaced.
    EXPECT_EQ((Scripts{"hideAllLoading()", "failed()"}), webView->scripts());
    server.releaseHeldBodies();
}
