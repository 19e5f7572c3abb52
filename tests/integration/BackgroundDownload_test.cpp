// Background downloads against the loopback content server, with real libcurl and real files:
// lazy files, sync files and update packages, what a reply that is no file does, redirects and
// failures.

#include "base/Config.h"
#include "base/LocalizedTexts.h"
#include "base/SharedInstances.h"
#include "base/WebScreen.h"
#include "contentserver/LazyLoad.h"
#include "contentserver/ServerCom.h"
#include "platform/Platform.h"
#include "platform/Screen.h"
#include "portable/Dispatch.h"
#include "portable/URLComponents.h"
#include "tests/support/ContentServerFixture.h"
#include "tests/support/TestCipher.h"
#include "tests/support/TestContentServer.h"
#include "tests/support/TestEnvironment.h"
#include "tests/support/ZipBuilder.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace fs = std::filesystem;
using testsupport::TestContentServer;
using Reply = TestContentServer::Reply;
using Scripts = std::vector<std::string>;
using namespace std::chrono_literals;

namespace {

class BackgroundDownloadTest : public testsupport::ContentServerFixture {
protected:
    BackgroundDownloadTest() { sharedServerCom().webView.set(webView); }

    bool waitForTaskEnds(std::size_t count)
    {
        return platform::runMainLoopUntil([&] { return finished.size() >= count; }, 20s);
    }

    void sync(const std::string& url, const std::string& storeKey)
    {
        sharedServerCom().downloadUpdate({}, std::nullopt, url, storeKey, "sync-", false);
    }

    static std::optional<std::vector<std::string>> lazyList()
    {
        return sharedConfig().defaults.stringArray(sharedConfig().LAZYLOAD_STORE_KEY);
    }

    static fs::path webFile(const std::string& name) { return fs::path(sharedConfig().WEBROOT) / name; }

    std::shared_ptr<testsupport::FakeWebView> webView = std::make_shared<testsupport::FakeWebView>();
};

} // namespace

namespace {

// The value of the query item `key` as a server that reads its query as a form decodes it
// ("+" a blank, then the percent escapes); nothing when there is no such item.
std::optional<std::string> formValue(const std::string& query, const std::string& key)
{
    std::size_t start = 0;
    while (start <= query.size()) {
        const std::size_t end = std::min(query.find('&', start), query.size());
        const std::string item = query.substr(start, end - start);
        if (item.starts_with(key + "=")) {
            std::string value = item.substr(key.size() + 1);
            std::replace(value.begin(), value.end(), '+', ' ');
            return platform::removingPercentEncoding(value);
        }
        start = end + 1;
    }
    return std::nullopt;
}

} // namespace

// Names with blanks, "+", "&", "=", ";", "#" and "%" each arrive under their own name, leave the
// list once and the run ends: a name misread from the store key would be fetched again and
// again. The server reads "name" and "file" as the listed names: "&" split the query, "#" cut
// it short and "+" read as a blank.
TEST_F(BackgroundDownloadTest, lazyRunFetchesEveryListedNameOnceFromTheEnd)
{
    const std::vector<std::pair<std::string, std::string>> listed = {
        {"css/a%20b.css", "css/a b.css"}, {"c d.css", "c d.css"}, {"a+b.css", "a+b.css"}, {"a&b.css", "a&b.css"},
        {"a=b.css", "a=b.css"},           {"a;b.css", "a;b.css"}, {"a#b.css", "a#b.css"}, {"100%25.js", "100%.js"},
    };
    std::vector<std::string> entries;
    for (const auto& [entry, name] : listed)
        entries.push_back(entry);
    sharedConfig().defaults.set(sharedConfig().LAZYLOAD_STORE_KEY, platform::PlistValue::stringArray(entries));
    server.reply("/app/server.php", Reply().withBody("lazy body"));
    sharedLazyLoad().startLazyLoad(webView);

    ASSERT_TRUE(waitForTaskEnds(listed.size()));
    ASSERT_TRUE(platform::runMainLoopUntil([&] { return !webView->scripts().empty() &&
                                                        webView->scripts().back().starts_with("hideAllLoading"); }));
    EXPECT_EQ(std::vector<std::string>{}, lazyList());
    const auto requests = server.requests();
    ASSERT_EQ(listed.size(), requests.size());
    for (std::size_t i = 0; i < listed.size(); ++i) {
        const std::string& name = listed[i].second;
        EXPECT_EQ("lazy body", testsupport::readFile(webFile(name))) << name;
        // Fetched from the end of the list, the request parameters behind the names.
        const std::string& query = requests.at(listed.size() - 1 - i).query;
        EXPECT_EQ(name, formValue(query, "name")) << query;
        EXPECT_EQ(name, formValue(query, "file")) << query;
        EXPECT_EQ("X", formValue(query, "app")) << query;
    }
    // An escape of the list stays as it is.
    EXPECT_TRUE(requests.at(0).query.starts_with("action=file&name=100%25.js&file=100%25.js&app=X"));
    EXPECT_EQ("?action=file&name=100%25.js&file=100%25.js", *finished.at(0).at("storeKey").asString());
    EXPECT_EQ(0u, finished.at(0).count("error"));

    Scripts notices;
    for (const auto& script : webView->scripts())
        if (script.find("showLazyLoadNotification(") != std::string::npos)
            notices.push_back(script.substr(script.find("showLazyLoadNotification(")));
    Scripts expected;
    for (std::size_t done = 1; done <= listed.size(); ++done)
        expected.push_back("showLazyLoadNotification(" + std::to_string(done) + ", " + std::to_string(listed.size()) +
                           ");}");
    EXPECT_EQ(expected, notices);
    EXPECT_EQ(R"(hideAllLoading("{\"value\":null}"))", webView->scripts().back());
}

// Names from the list or a store key that lead out of their folder write nothing anywhere; the
// lazy run still ends.
TEST_F(BackgroundDownloadTest, namesLeadingOutOfTheirFolderAreRefused)
{
    server.reply("/app/server.php", Reply().withBody("lazy body"));
    server.reply("/doc", Reply().withBody("sync body"));
    const fs::path data = fs::path(sharedConfig().WEBROOT).parent_path();
    sharedConfig().defaults.set(sharedConfig().LAZYLOAD_STORE_KEY,
                                platform::PlistValue::stringArray({"../lazy-out.css", "a/../../lazy-up.css"}));
    sharedLazyLoad().startLazyLoad(webView);
    sync(server.url("/doc"), "?file=../sync-out.txt");
    ASSERT_TRUE(waitForTaskEnds(3));

    EXPECT_EQ(std::vector<std::string>{}, lazyList());
    for (const char* name : {"lazy-out.css", "lazy-up.css", "sync-out.txt"}) {
        EXPECT_FALSE(fs::exists(data / name)) << name;
        EXPECT_FALSE(fs::exists(data.parent_path() / name)) << name;
    }
}

// An error page is never installed as a file of any kind; the task ends with an "error", the user
// gets one notification, and a lazy run still moves on to its next file.
TEST_F(BackgroundDownloadTest, errorStatusesAreNeverInstalled)
{
    server.reply("/app/server.php", Reply().withStatus(404).withBody("not found"));
    server.reply("/sync/doc.pdf", Reply().withStatus(500).withBody("server error"));
    // The error page is a package that would unpack: only its status keeps it out.
    const fs::path errorPackage = testsupport::makeTemporaryFolder("pkg") / "error.zip";
    testsupport::ZipBuilder()
        .file("index.html", "<p>404</p>")
        .file("info.plist", "<plist version=\"1.0\"><dict/></plist>")
        .write(errorPackage);
    server.reply("/pkg/p.zip", Reply().withStatus(404).withBody(testsupport::readFile(errorPackage)));

    sharedConfig().defaults.set(sharedConfig().LAZYLOAD_STORE_KEY, platform::PlistValue::stringArray({"a.css", "b.css"}));
    sharedLazyLoad().startLazyLoad(webView);
    ASSERT_TRUE(waitForTaskEnds(2));
    EXPECT_FALSE(fs::exists(webFile("a.css")));
    EXPECT_FALSE(fs::exists(webFile("b.css")));
    EXPECT_EQ(std::vector<std::string>{}, lazyList());

    sync(server.url("/sync/doc.pdf"), "?file=doc.pdf");
    ASSERT_TRUE(waitForTaskEnds(3));
    EXPECT_FALSE(fs::exists(sharedConfig().SYNCURL / "doc.pdf"));

    RequestProperties reply;
    reply.updateTypeStr = "full";
    reply.downloadFilePath = "/pkg/p.zip";
    sharedServerCom().downloadUpdate({}, reply, "", "", std::nullopt, false);
    ASSERT_TRUE(waitForTaskEnds(4));
    EXPECT_FALSE(fs::exists(webFile("index.html")));
    EXPECT_FALSE(fs::exists(sharedServerCom().TMPWWWROOT));
    EXPECT_TRUE(sharedConfig().stackOfJScript.lock()->items.empty());
    EXPECT_FALSE(fs::exists(sharedConfig().tmpDirURL / "update.zip"));

    for (const auto& info : finished)
        EXPECT_EQ("The server answered with status " + std::string(&info == &finished[2] ? "500" : "404") + ".",
                  *info.at("error").asString());
}

// A redirect to "http:" is followed and its target installed; one to "https:" is refused and its
// body is no file.
TEST_F(BackgroundDownloadTest, redirectsAreFollowedOnlyToHttp)
{
    server.reply("/target.txt", Reply().withBody("target"));
    server.reply("/plain", Reply().withStatus(302).withHeader("Location", server.url("/target.txt")).withBody("moved"));
    server.reply("/secure", Reply().withStatus(302).withHeader("Location", "https://127.0.0.1:1/x").withBody("moved"));

    sync(server.url("/plain"), "?file=plain.txt");
    sync(server.url("/secure"), "?file=secure.txt");
    ASSERT_TRUE(waitForTaskEnds(2));
    EXPECT_EQ("target", testsupport::readFile(sharedConfig().SYNCURL / "plain.txt"));
    EXPECT_FALSE(fs::exists(sharedConfig().SYNCURL / "secure.txt"));
    int errors = 0;
    for (const auto& info : finished)
        errors += info.count("error");
    EXPECT_EQ(1, errors);
}

// A transport failure schedules exactly one user notification after a second, tells the page
// through "error" and ends the sync's running-download record.
TEST_F(BackgroundDownloadTest, failedDownloadNotifiesOnceAndEndsItsRecord)
{
    int closedPort = 0;
    {
        TestContentServer gone;
        closedPort = gone.port();
    }
    const std::string storeKey = "?file=x.txt&nsuuid=1";
    sharedConfig().defaults.set(storeKey, "file:///www/index.html");
    sharedConfig().runningDownloads.set({"file:///www/index.html", "file:///www/index.html"});
    sync("http://127.0.0.1:" + std::to_string(closedPort) + "/x.txt", storeKey);
    ASSERT_TRUE(waitForTaskEnds(1));

    EXPECT_EQ(storeKey, *finished.at(0).at("storeKey").asString());
    EXPECT_EQ(1u, finished.at(0).count("error"));
    EXPECT_EQ(std::vector<std::string>{"file:///www/index.html"}, sharedConfig().runningDownloads.get());
    const auto pending = fakes.userNotificationCenter->pendingNotificationRequests();
    ASSERT_EQ(1u, pending.size());
    EXPECT_EQ(bundleID(), pending[0].identifier);
    EXPECT_EQ(JS_ALERT_TITLES().at("ERROR"), pending[0].content.title);
    EXPECT_EQ(sharedServerCom().SERVERCOM_ERROR_WRONG_URL, pending[0].content.body);
    const auto& trigger = std::get<platform::TimeIntervalNotificationTrigger>(*pending[0].trigger);
    EXPECT_EQ(1000ms, trigger.timeInterval);
    EXPECT_FALSE(trigger.repeats);
    EXPECT_EQ(Config::appStateEnum::FRESH, sharedConfig().appState.load());
    ASSERT_TRUE(platform::runMainLoopUntil([&] { return !fakes.userNotificationCenter->delivered.empty(); }, 20s));
    platform::runMainLoopUntil([] { return false; }, 200ms);
    EXPECT_EQ(1u, fakes.userNotificationCenter->delivered.size());
}

// A web screen that only has its view, for the downloads it starts.
struct UpdateScreen final : platform::Screen, WebScreen {
    std::shared_ptr<platform::WebView> pageWebView() const override { return nullptr; }
    std::shared_ptr<platform::View> screenView() const override { return view(); }
    void reloadWebView() override {}
};

// An XML reply of a server call downloads the encrypted package it names with the web screen's
// view: the bar shows over the view, the package is decrypted and replaces the whole web root as
// a full update, and the task ends with the reply. A wrong key unpacks nothing.
TEST_F(BackgroundDownloadTest, updateReplyDownloadsDecryptsAndInstallsThePackage)
{
    auto window = std::make_shared<testsupport::FakeWindow>();
    auto screen = std::make_shared<UpdateScreen>();
    window->setRootScreen(screen);
    sharedServerCom().viewController = screen;

    const fs::path plainZip = testsupport::makeTemporaryFolder("pkg") / "plain.zip";
    testsupport::ZipBuilder()
        .file("index.html", "<p>new</p>")
        .file("info.plist", "<plist version=\"1.0\"><dict/></plist>")
        .write(plainZip);
    const std::string plain = testsupport::readFile(plainZip);
    const std::string key = "0123456789abcdef";

    // A file of the old web root stays only when no full package replaced it.
    testsupport::writeFile(webFile("old.html"), "<p>old</p>");
    for (const std::string& secret : {std::string("wrong key"), key}) {
        SCOPED_TRACE(secret);
        finished.clear();
        server.reply("/pkg/full.zip", Reply().withBody(testsupport::encryptedPackage(plain, key, "IV-IV-IV-IV-IV-!")));
        const std::string xml = "<response><type>full</type><path>/pkg/full.zip</path><secret>" + secret +
                                "</secret></response>";
        platform::HttpUrlResponse response;
        response.statusCode = 200;
        response.headerFields.set("Content-Type", "text/xml; charset=utf-8");
        sharedServerCom().parseHeader(response, xml);
        ASSERT_TRUE(waitForTaskEnds(1));

        EXPECT_TRUE(sharedServerCom().isPersonalization);
        EXPECT_EQ(xml, *finished.at(0).at("xmlstr").asString());
        EXPECT_FALSE(sharedConfig().defaults.string("full-"));
        // A package is fetched without the request parameters.
        EXPECT_EQ("", server.requests().back().query);
        ASSERT_FALSE(fakes.progressViews.empty());
        const auto& bar = *fakes.progressViews.back();
        EXPECT_EQ(std::make_pair(20, 20), bar.pinnedAlongBottom);
        EXPECT_TRUE(bar.isHidden());
        EXPECT_EQ(nullptr, bar.superview());
        EXPECT_FALSE(fs::exists(sharedServerCom().TMPWWWROOT));
        if (secret == key) {
            EXPECT_EQ("<p>new</p>", testsupport::readFile(webFile("index.html")));
            EXPECT_FALSE(fs::exists(webFile("old.html")));
            EXPECT_FALSE(fs::exists(sharedConfig().tmpDirURL / "update_dec.zip"));
        } else {
            EXPECT_FALSE(fs::exists(webFile("index.html")));
            EXPECT_TRUE(fs::exists(webFile("old.html")));
            EXPECT_EQ((Scripts{ServerCom::alertScript(sharedServerCom().SERVERCOM_ERROR_WRONG_URL)}),
                      sharedConfig().stackOfJScript.lock()->items);
        }
    }
}

// Packages fetched from the server and installed for real: an incremental one merges, and its
// manifest deletes what it no longer lists unless the manifest is refused; a full encrypted one
// replaces the web root; a truncated package, plain or encrypted, or a zip bomb installs nothing
// and the page is told by the alert.
TEST_F(BackgroundDownloadTest, packagesFromTheServerAreInstalledOrRefused)
{
    const std::string key = "0123456789abcdef";
    // Sixteen files, all listed by the manifest, whose total line says `declared`.
    auto packageBytes = [](int declared, bool bomb) {
        std::vector<std::string> names = {"index.html", "info.plist", "files.txt"};
        for (int i = 1; names.size() < 16; ++i)
            names.push_back("f" + std::to_string(i) + ".txt");
        std::string manifest;
        testsupport::ZipBuilder builder;
        for (const auto& name : names) {
            manifest += name + "\tx\n";
            if (name != "files.txt")
                builder.file(name, name == "index.html" ? "new index" : "<plist version=\"1.0\"><dict/></plist>");
        }
        builder.file("files.txt", manifest + "===TOTAL===\t" + std::to_string(declared) + "\n");
        if (bomb)
            builder.file("zeros.bin", std::string(30 << 20, '\0'));
        const fs::path zip = testsupport::makeTemporaryFolder("pkg") / "p.zip";
        builder.write(zip);
        return testsupport::readFile(zip);
    };
    struct Case {
        const char* scenario;
        const char* type;
        int declared;
        bool encrypted;
        bool truncated;
        // What the web root's index.html holds afterwards, and whether the old script is still there.
        const char* index;
        bool oldScriptKept;
        // A file of 30 MB of zeros goes along.
        bool bomb = false;
    };
    const std::vector<Case> cases = {
        {"incremental, its manifest deletes what it does not list", "incremental", 16, false, false, "new index", false},
        {"incremental, its manifest refused", "incremental", 17, false, false, "new index", true},
        {"full and encrypted", "full", 16, true, false, "new index", false},
        {"full, encrypted and truncated", "full", 16, true, true, "old index", true},
        {"incremental and truncated", "incremental", 16, false, true, "old index", true},
        {"incremental, a zip bomb", "incremental", 16, false, false, "old index", true, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.scenario);
        fs::remove_all(sharedConfig().WEBROOT);
        testsupport::writeFile(webFile("index.html"), "old index");
        testsupport::writeFile(webFile("js/old.js"), "old script");
        sharedConfig().stackOfJScript.lock()->items.clear();
        finished.clear();

        std::string body = packageBytes(c.declared, c.bomb);
        if (c.encrypted)
            body = testsupport::encryptedPackage(body, key, "IV-IV-IV-IV-IV-!");
        if (c.truncated)
            body.resize(body.size() - 5);
        server.reply("/pkg/p.zip", Reply().withBody(body));
        RequestProperties reply;
        reply.updateTypeStr = c.type;
        reply.downloadFilePath = "/pkg/p.zip";
        reply.secretKey = c.encrypted ? key : "";
        sharedServerCom().downloadUpdate({}, reply, "", "", std::nullopt, false);
        ASSERT_TRUE(waitForTaskEnds(1));
        platform::runMainQueueNow();

        EXPECT_EQ(c.index, testsupport::readFile(webFile("index.html")));
        EXPECT_EQ(c.oldScriptKept, fs::exists(webFile("js/old.js")));
        EXPECT_FALSE(fs::exists(sharedServerCom().TMPWWWROOT));
        auto scripts = sharedConfig().stackOfJScript.lock()->items;
        std::erase(scripts, std::string("if (window.hideAllLoading) { hideAllLoading(); }"));
        EXPECT_EQ(c.truncated || c.bomb ? Scripts{ServerCom::alertScript(sharedServerCom().SERVERCOM_ERROR_WRONG_URL)} : Scripts{},
                  scripts);
    }
}

// What another local user (in the shared temporary folder) or a stale run (in the program's own
// folder) leaves where the package and its decrypted copy go is never installed, never written
// through, and a package that can't be put in place is a failed download.
TEST_F(BackgroundDownloadTest, plantedTemporaryFilesAreNeitherInstalledNorWrittenThrough)
{
    const std::string key = "0123456789abcdef";
    const fs::path pkgFolder = testsupport::makeTemporaryFolder("pkg");
    const std::string infoPlist = "<plist version=\"1.0\"><dict/></plist>";
    testsupport::ZipBuilder().file("index.html", "server index").file("info.plist", infoPlist).write(pkgFolder / "p.zip");
    testsupport::ZipBuilder().file("index.html", "planted index").file("info.plist", infoPlist).write(pkgFolder / "planted.zip");
    server.reply("/pkg/p.zip", Reply().withBody(testsupport::encryptedPackage(testsupport::readFile(pkgFolder / "p.zip"),
                                                                              key, "IV-IV-IV-IV-IV-!")));
    const fs::path victim = testsupport::makeTemporaryFolder("victim") / "victim.txt";
    const fs::path sharedTmp = fs::temp_directory_path();
    const fs::path privateTmp = sharedConfig().tmpDirURL;

    // A folder holding a package can't be removed or renamed over, as another user's file in a
    // sticky folder can't; a link leads to a file of the victim.
    auto plantFolder = [&](const fs::path& folder) {
        fs::create_directories(folder / "update.zip");
        fs::copy_file(pkgFolder / "planted.zip", folder / "update.zip" / "planted.zip");
    };
    auto plantLink = [&](const fs::path& folder) { fs::create_symlink(victim, folder / "update_dec.zip"); };
    struct Case {
        const char* scenario;
        std::function<void()> plant;
        bool installed;
    };
    const std::vector<Case> cases = {
        {"both in the shared temporary folder", [&] { plantFolder(sharedTmp); plantLink(sharedTmp); }, true},
        {"a link in the program's folder", [&] { plantLink(privateTmp); }, true},
        {"a folder in the program's folder", [&] { plantFolder(privateTmp); }, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.scenario);
        for (const fs::path& folder : {sharedTmp, privateTmp}) {
            fs::remove_all(folder / "update.zip");
            fs::remove_all(folder / "update_dec.zip");
        }
        testsupport::writeFile(victim, "victim's own");
        testsupport::writeFile(webFile("index.html"), "old index");
        fakes.userNotificationCenter->removeAllPendingNotificationRequests();
        finished.clear();
        c.plant();

        RequestProperties reply;
        reply.updateTypeStr = "full";
        reply.downloadFilePath = "/pkg/p.zip";
        reply.secretKey = key;
        sharedServerCom().downloadUpdate({}, reply, "", "", std::nullopt, false);
        ASSERT_TRUE(waitForTaskEnds(1));

        EXPECT_EQ("victim's own", testsupport::readFile(victim));
        EXPECT_EQ(c.installed ? "server index" : "old index", testsupport::readFile(webFile("index.html")));
        EXPECT_EQ(!c.installed, finished.at(0).count("error") == 1);
        EXPECT_EQ(c.installed ? 0u : 1u, fakes.userNotificationCenter->pendingNotificationRequests().size());
    }
}
