// The page reads files of the application-support folder only, with WebKit's sandbox on and
// off: a page of the web root tries every way a page reads a file (XMLHttpRequest sync and
// async, fetch, a frame, a worker's fetch, an image, a navigation, a symbolic link of the web
// root) on a file
// outside that folder; each is refused and the secret never reaches the native side, while
// the same ways still read the web root and the sync folder.
#include "base/Config.h"
#include "platform/linux/WebProcessSandbox.h"
#include "portable/Dispatch.h"
#include "portable/Paths.h"
#include "tests/support/RealWebScreenFixture.h"
#include "tests/support/TestEnvironment.h"

#include <gtest/gtest.h>

#include <memory>

namespace fs = std::filesystem;

namespace {

constexpr char kSecret[] = "TOP-SECRET";

// A worker of the web root that fetches the URL it is sent and posts back the text.
constexpr char kWorker[] = R"JS(onmessage = function (e) {
  fetch(e.data).then(function (r) { return r.text(); })
    .then(function (t) { postMessage(t || 'refused'); }, function () { postMessage('refused'); });
};)JS";

// An image, so that an image load tells "read" from "refused".
constexpr char kImage[] = R"(<svg xmlns="http://www.w3.org/2000/svg" width="1" height="1"/>)";

// Reads `url` in every way a page can and keeps each outcome in window.reads[prefix + way]:
// the text read (or "image"/"no image"), or "refused".
const char kReadScript[] = R"JS(
window.reads = window.reads || {};
window.pending = (window.pending || 0) + 5;
(function (prefix, url, image, workerScript) {
  function done(way, text) { window.reads[prefix + way] = text; window.pending -= 1; }
  try {
    var sync = new XMLHttpRequest(); sync.open('GET', url, false); sync.send();
    window.reads[prefix + 'sync'] = sync.responseText || 'refused';
  } catch (e) { window.reads[prefix + 'sync'] = 'refused'; }
  var async = new XMLHttpRequest(); async.open('GET', url);
  async.onload = function () { done('async', async.responseText || 'refused'); };
  async.onerror = function () { done('async', 'refused'); };
  async.send();
  fetch(url).then(function (r) { return r.text(); })
    .then(function (t) { done('fetch', t || 'refused'); }, function () { done('fetch', 'refused'); });
  var frame = document.createElement('iframe');
  var framed = false;
  function frameDone(text) { if (!framed) { framed = true; done('frame', text); } }
  frame.onload = function () {
    try { frameDone(frame.contentDocument.body.textContent || 'refused'); } catch (e) { frameDone('refused'); }
  };
  setTimeout(function () { frameDone('refused'); }, 3000);
  frame.src = url; document.body.appendChild(frame);
  var worker = new Worker(workerScript);
  worker.onmessage = function (e) { done('worker', e.data); };
  worker.onerror = function () { done('worker', 'refused'); };
  worker.postMessage(url);
  var img = new Image();
  img.onload = function () { done('image', 'image'); };
  img.onerror = function () { done('image', 'no image'); };
  img.src = image;
})(%PREFIX%, %URL%, %IMAGE%, %WORKER%);
)JS";

std::string quoted(const std::string& text)
{
    return "'" + text + "'";
}

class FileConfinementTest : public testsupport::RealWebScreenFixture, public testing::WithParamInterface<bool> {
protected:
    void SetUp() override
    {
        const bool sandboxed = GetParam();
        if (sandboxed && !platform::gtk::WebProcessSandbox::canRun())
            GTEST_SKIP() << "bubblewrap cannot start a sandbox on this machine: WebKit's sandbox cannot run here";
        sandbox = std::make_unique<testsupport::ScopedEnvironment>(
            std::initializer_list<std::pair<std::string, std::optional<std::string>>>{
                {"WEBCONTAINER_WEB_SANDBOX", sandboxed ? "1" : "0"}});

        const fs::path home = platform::paths::home();
        testsupport::writeFile(home / "secret.txt", kSecret);
        testsupport::writeFile(home / "secret.svg", kImage);
        RealWebScreenFixture::SetUp();
        if (HasFatalFailure())
            return;
        const fs::path webRoot = sharedConfig().WEBROOT;
        testsupport::writeFile(webRoot / "inside.txt", "WWW-OK");
        testsupport::writeFile(webRoot / "inside.svg", kImage);
        testsupport::writeFile(webRoot / "reader.js", kWorker);
        testsupport::writeFile(sharedConfig().SYNCURL / "inside.txt", "SYNC-OK");
        fs::create_symlink(home / "secret.txt", webRoot / "leak.txt");
        fs::create_symlink(home / "secret.svg", webRoot / "leak.svg");
    }

    void read(const std::string& prefix, const fs::path& file, const fs::path& image)
    {
        std::string script = kReadScript;
        auto put = [&](const std::string& mark, const std::string& value) {
            script.replace(script.find(mark), mark.size(), value);
        };
        put("%PREFIX%", quoted(prefix));
        put("%URL%", quoted("file://" + file.string()));
        put("%IMAGE%", quoted("file://" + image.string()));
        put("%WORKER%", quoted("file://" + sharedConfig().WEBROOT + "/reader.js"));
        evaluate(script + "0");
    }

    std::string outcome(const std::string& key)
    {
        return evaluate("window.reads['" + key + "']").value_or("(none)");
    }

    std::unique_ptr<testsupport::ScopedEnvironment> sandbox;
};

} // namespace

TEST_P(FileConfinementTest, OnlyFilesOfTheApplicationFolderAreRead)
{
    const fs::path home = platform::paths::home();
    const fs::path webRoot = sharedConfig().WEBROOT;
    read("outside-", home / "secret.txt", home / "secret.svg");
    read("link-", webRoot / "leak.txt", webRoot / "leak.svg");
    read("web-", webRoot / "inside.txt", webRoot / "inside.svg");
    read("sync-", sharedConfig().SYNCURL / "inside.txt", webRoot / "inside.svg");
    ASSERT_TRUE(platform::runMainLoopUntil([&] { return evaluate("window.pending") == "0"; }, kTimeout))
        << evaluate("JSON.stringify(window.reads)").value_or("");

    for (const char* way : {"sync", "async", "fetch", "frame", "worker"}) {
        SCOPED_TRACE(way);
        EXPECT_EQ(outcome(std::string("outside-") + way), "refused");
        EXPECT_EQ(outcome(std::string("link-") + way), "refused");
        EXPECT_EQ(outcome(std::string("web-") + way), "WWW-OK");
        EXPECT_EQ(outcome(std::string("sync-") + way), "SYNC-OK");
    }
    EXPECT_EQ(outcome("outside-image"), "no image");
    EXPECT_EQ(outcome("link-image"), "no image");
    EXPECT_EQ(outcome("web-image"), "image");

    // What the page would send away: nothing of the secret arrives.
    evaluate("window.webkit.messageHandlers.callbackHandler.postMessage('setValue?lang=leak&value=' + "
             "encodeURIComponent(JSON.stringify(window.reads)))");
    ASSERT_TRUE(platform::runMainLoopUntil([&] { return sharedConfig().defaults.object("cli_leak").has_value(); },
                                           kTimeout));
    EXPECT_EQ(sharedConfig().defaults.string("cli_leak").value_or("").find(kSecret), std::string::npos);
}

TEST_P(FileConfinementTest, ANavigationToAFileOutsideIsCancelled)
{
    const std::string index = "file://" + sharedConfig().WEBROOT + "/index.html";
    for (const fs::path& target : {platform::paths::home() / "secret.txt", fs::path(sharedConfig().WEBROOT) / "leak.txt"}) {
        SCOPED_TRACE(target);
        evaluate("window.stillHere = true; location.href = " + quoted("file://" + target.string()) + "; 0");
        // Nothing finishes loading, and the page on show is the same document.
        EXPECT_FALSE(waitForFinishedNavigations(2, std::chrono::seconds(2)));
        EXPECT_EQ(screen->webView->url(), index);
        EXPECT_EQ(evaluate("String(window.stillHere)"), "true");
    }
}

INSTANTIATE_TEST_SUITE_P(Sandbox, FileConfinementTest, testing::Values(true, false),
                         [](const testing::TestParamInfo<bool>& info) { return info.param ? "On" : "Off"; });
