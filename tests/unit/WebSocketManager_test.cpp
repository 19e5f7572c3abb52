// The real-time channel's settings, options and message rules; its traffic is tested against
// the npm server in integration/SocketIO_test.cpp.
#include "base/Config.h"
#include "portable/Dispatch.h"
#include "services/WebSocketManager.h"
#include "tests/support/FakeWebView.h"

#include <gtest/gtest.h>

using testsupport::FakeWebView;

namespace {

// The bundle's defaults hold all three keys as text; a number stands for a missing value,
// since a value that is not text counts as missing.
const platform::PlistValue kMissing = std::int64_t(0);

void setSettings(std::initializer_list<std::pair<const char*, platform::PlistValue>> values)
{
    for (const auto& [key, value] : values)
        sharedConfig().defaults.set(key, value);
}

} // namespace

TEST(WebSocketManager, ConfiguredOnlyWhenUrlPathAndUuidAreText)
{
    struct Case {
        const char* name;
        platform::PlistValue url, path, uuid;
        bool configured;
    };
    const Case cases[] = {
        {"all three", std::string("ws://h"), std::string("/p"), std::string("u"), true},
        {"empty texts count", std::string(""), std::string(""), std::string(""), true},
        {"no path", std::string("ws://h"), kMissing, std::string("u"), false},
        {"no uuid", std::string("ws://h"), std::string("/p"), kMissing, false},
        {"no url", kMissing, std::string("/p"), std::string("u"), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        setSettings({{"socketserverurl", c.url}, {"socketserverpath", c.path}, {"uuid", c.uuid}});
        WebSocketManager channel;
        EXPECT_EQ(channel.isConfigured(), c.configured);
        EXPECT_EQ(channel.socketServerURL, c.configured ? *c.url.asString() : "");
        EXPECT_EQ(channel.uuid, c.configured ? *c.uuid.asString() : "");
    }
}

TEST(WebSocketManager, ReconfigureWithoutPathGivesTheDefaultSocketPath)
{
    setSettings({{"socketserverurl", std::string("ws://127.0.0.1:9")}, {"socketserverpath", kMissing},
                 {"uuid", std::string("u-1")}});
    WebSocketManager channel;
    EXPECT_FALSE(channel.isConfigured());
    // Set after construction: reconfigure() never reads the path again.
    setSettings({{"socketserverpath", std::string("/late")}});
    EXPECT_TRUE(channel.reconfigure());
    EXPECT_TRUE(channel.isConfigured());
    const auto options = channel.managerOptions("shop");
    EXPECT_EQ(options.path, "/socket.io");
    EXPECT_TRUE(options.compress);
    EXPECT_TRUE(options.forceWebsockets);
    EXPECT_FALSE(options.log);
    EXPECT_EQ(options.connectParams,
              (std::vector<std::pair<std::string, std::string>>{{"domain", "shop"}, {"uuid", "u-1"}}));

    setSettings({{"uuid", kMissing}});
    EXPECT_FALSE(channel.reconfigure());
    EXPECT_EQ(channel.uuid, "u-1");
}

TEST(WebSocketManager, ConnectUnconfiguredOnlyKeepsDomainAndView)
{
    setSettings({{"uuid", kMissing}});
    WebSocketManager channel;
    auto view = std::make_shared<FakeWebView>();
    channel.connect("first", view);
    channel.connect("second", view);
    EXPECT_EQ(channel.domain, "second");
    EXPECT_EQ(channel.webView.get().lock(), view);
    EXPECT_FALSE(channel.webSocketManager);
}

TEST(WebSocketManager, WrongUrlBuildsNoManager)
{
    setSettings({{"socketserverurl", std::string("no url")}, {"socketserverpath", std::string("")},
                 {"uuid", std::string("u")}});
    WebSocketManager channel;
    channel.connect("d", std::weak_ptr<platform::WebView>());
    EXPECT_FALSE(channel.webSocketManager);
}

TEST(WebSocketManager, OnlyAnObjectOrArrayFirstItemReachesThePage)
{
    using Items = socketio::SocketIOClient::Items;
    struct Case {
        const char* name;
        Items items;
        std::optional<std::string> script;
    };
    const Case cases[] = {
        {"object", {nlohmann::json{{"a", 1}}, "ignored"}, R"(webSocketEvent("{\"a\":1}"))"},
        {"array", {nlohmann::json::array({1, "x/y"})}, R"(webSocketEvent("[1,\"x/y\"]"))"},
        {"text", {"plain"}, std::nullopt},
        {"number", {42}, std::nullopt},
        {"null", {nullptr}, std::nullopt},
        {"no items", {}, std::nullopt},
        {"binary inside", {nlohmann::json::array({nlohmann::json::binary({1, 2})})}, std::nullopt},
        {"not UTF-8", {nlohmann::json{{"a", "\xff"}}}, std::nullopt},
    };
    WebSocketManager channel;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto view = std::make_shared<FakeWebView>();
        channel.webView.set(view);
        channel.didReceiveMessage(c.items);
        platform::drainMainQueue();
        EXPECT_EQ(view->scripts(), c.script ? std::vector<std::string>{*c.script} : std::vector<std::string>{});
    }
}
