// The lazy loader's run over the stored list, its suspension and its page signals, and the
// download helpers it relies on, over the doubles (no network: each fetch stops before sending).

#include "base/Config.h"
#include "contentserver/LazyLoad.h"
#include "contentserver/ServerCom.h"
#include "portable/Dispatch.h"
#include "tests/support/FakePlatform.h"

#include <gtest/gtest.h>

using Scripts = std::vector<std::string>;
using namespace std::chrono_literals;

namespace {

const std::string hideWithNull = R"(hideAllLoading("{\"value\":null}"))";

std::string notice(int done, int total)
{
    return "if (window.showLazyLoadNotification) {showLazyLoadNotification(" + std::to_string(done) + ", " +
           std::to_string(total) + ");}";
}

void storeList(const std::vector<std::string>& files)
{
    sharedConfig().defaults.set(sharedConfig().LAZYLOAD_STORE_KEY, platform::PlistValue::stringArray(files));
}

class LazyLoadTest : public testing::Test {
protected:
    // What the page was told meanwhile.
    Scripts pageScripts()
    {
        platform::drainMainQueue();
        return webView->scripts();
    }

    testsupport::FakePlatform fakes;
    std::shared_ptr<testsupport::FakeWebView> webView = std::make_shared<testsupport::FakeWebView>();
};

} // namespace

TEST_F(LazyLoadTest, runsFromTheEndOfTheStoredListAndReportsProgress)
{
    storeList({"a", "b", "c"});
    sharedLazyLoad().startLazyLoad(webView);
    EXPECT_EQ((Scripts{notice(1, 3)}), pageScripts());

    // The end of c's download removes it and asks for the next.
    sharedLazyLoad().remove("c");
    sharedLazyLoad().lazyLoadNext(webView);
    EXPECT_EQ((Scripts{notice(1, 3), notice(2, 3)}), pageScripts());
    EXPECT_EQ((std::vector<std::string>{"a", "b"}), sharedConfig().defaults.stringArray("LazyLoadList"));
}

TEST_F(LazyLoadTest, anEmptyListOnlyEndsTheRun)
{
    for (bool withWebView : {true, false}) {
        SCOPED_TRACE(withWebView);
        storeList({});
        sharedLazyLoad().startLazyLoad(withWebView ? webView : nullptr);
        platform::drainMainQueue();
        const Scripts queued = sharedConfig().stackOfJScript.lock()->items;
        if (withWebView) {
            EXPECT_EQ((Scripts{hideWithNull}), pageScripts());
            EXPECT_TRUE(queued.empty());
        } else {
            EXPECT_EQ((Scripts{"if (window.hideAllLoading) { hideAllLoading(); }"}), queued);
        }
    }
}

TEST_F(LazyLoadTest, suspensionHoldsTheRunUntilItHasPassed)
{
    struct Case {
        const char* name;
        std::chrono::seconds fromNow;
        Scripts told;
    };
    for (const Case& c : {Case{"an hour ahead", 3600s, {}}, Case{"a second past", -1s, {notice(1, 2)}}}) {
        SCOPED_TRACE(c.name);
        storeList({"a", "b"});
        auto& lazyLoad = sharedLazyLoad();
        lazyLoad.lazyLoadTotal = 2;
        lazyLoad.lazyLoadSuspendUntil = platform::now() + c.fromNow;
        lazyLoad.lazyLoadNext(webView);
        EXPECT_EQ(c.told, pageScripts());
        // A suspension that has passed stays stored.
        EXPECT_TRUE(lazyLoad.lazyLoadSuspendUntil);
        webView = std::make_shared<testsupport::FakeWebView>();
    }
}

// The page resumes before any run started in this process: done counts from a total of 0.
TEST_F(LazyLoadTest, nextWithoutAStartReportsANegativeCount)
{
    storeList({"1", "2", "3", "4", "5"});
    sharedLazyLoad().lazyLoadNext(webView);
    EXPECT_EQ((Scripts{notice(-4, 0)}), pageScripts());
}

TEST_F(LazyLoadTest, withoutServerAddressTheFileStaysListed)
{
    // A server name that is no text makes no server address.
    sharedConfig().defaults.set("servername", 1);
    storeList({"a"});
    sharedLazyLoad().startLazyLoad(webView);
    EXPECT_EQ((Scripts{notice(1, 1), hideWithNull}), pageScripts());
    ASSERT_EQ(fakes.toast->shown.size(), 1u);
    EXPECT_EQ(fakes.toast->shown[0].text, "ERR: 1178: Can't load ServerURL");
    EXPECT_EQ(std::vector<std::string>{"a"}, sharedConfig().defaults.stringArray("LazyLoadList"));
}

TEST(LazyLoadList, removeDropsEveryEntryThatDecodesToTheName)
{
    struct Case {
        std::vector<std::string> list;
        std::string name;
        std::vector<std::string> left;
    };
    const Case cases[] = {
        {{"img/a%20b.png", "x"}, "img/a b.png", {"x"}},
        {{"img/a%20b.png", "x"}, "img/a%20b.png", {"x"}},
        {{"x", "y", "x"}, "x", {"y"}},
        {{"100%.css", "a&b.css"}, "100%.css", {"a&b.css"}},
        {{"a+b.css"}, "a b.css", {"a+b.css"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        storeList(c.list);
        sharedLazyLoad().remove(c.name);
        EXPECT_EQ(c.left, sharedConfig().defaults.stringArray("LazyLoadList"));
    }
    sharedConfig().defaults.remove("LazyLoadList");
    sharedLazyLoad().remove("x");
    EXPECT_FALSE(sharedConfig().defaults.object("LazyLoadList"));
}

TEST(ServerComDownload, fileNameIsTheDecodedFileItem)
{
    const std::pair<const char*, const char*> cases[] = {
        {"?action=file&name=css/a%20b.css&file=css/a%20b.css", "css/a b.css"},
        {"?file=a+b.css", "a b.css"},
        {"?file=a%2Bb.css", "a b.css"},
        {"https://h/p?x=1&file=doc.pdf&file=second.pdf", "doc.pdf"},
        {"?file", ""},
        {"?name=x", ""},
        {"no query", ""},
        {"?file=%zz", ""},
        {"", ""},
    };
    for (const auto& [query, name] : cases)
        EXPECT_EQ(name, ServerCom::fileName(query)) << query;
}

TEST(ServerComDownload, progressOfUnknownTotalsIsEstimated)
{
    struct Case {
        std::int64_t written, expected;
        float progress;
    };
    const Case cases[] = {
        {1000000, -1, 1000000.0f / 5728640},
        {4999999, 0, 4999999.0f / 5728640},
        {6000000, -1, 6000000.0f / 6050000},
        {50, 200, 0.25f},
    };
    for (const Case& c : cases)
        EXPECT_FLOAT_EQ(c.progress, ServerCom::downloadProgress(c.written, c.expected)) << c.written;
}

TEST(ServerComDownload, redirectsAreFollowedOnlyWhenTheLocationHoldsHttp)
{
    const std::pair<std::optional<std::string>, bool> cases[] = {
        {"http://127.0.0.1/x", true},
        {"/relative?to=http://x", true},
        {"https://127.0.0.1/x", false},
        {"/relative", false},
        {std::nullopt, false},
    };
    for (const auto& [location, follow] : cases) {
        platform::HttpUrlResponse response;
        response.statusCode = 302;
        if (location)
            response.headerFields.set("Location", *location);
        EXPECT_EQ(follow, sharedServerCom().willPerformHTTPRedirection(response, platform::UrlRequest{}))
            << location.value_or("none");
    }
}

TEST(ServerComDownload, alertScriptsEscapeTheirText)
{
    EXPECT_EQ(R"(alert('it\'s \\ done\n');)", ServerCom::alertScript("it's \\ done\n"));
}
