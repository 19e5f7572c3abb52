// The protocol texts of the real-time channel's client: packets, server addresses, targets.
#include "socketio/SocketPacket.h"
#include "socketio/SocketURL.h"

#include <gtest/gtest.h>

using socketio::SocketPacket;
using socketio::SocketURL;
using Type = SocketPacket::Type;

TEST(SocketPacket, ParsesWhatTheServerSendsAndRefusesTheRest)
{
    struct Case {
        const char* text;
        std::optional<Type> type; // nothing: refused
        const char* nsp = "/";
        std::optional<std::uint64_t> id = std::nullopt;
        const char* data = "null";
        std::size_t attachments = 0;
    };
    const Case cases[] = {
        {"0{\"sid\":\"abc\"}", Type::Connect, "/", std::nullopt, "{\"sid\":\"abc\"}"},
        {"0/admin,{\"sid\":\"x\"}", Type::Connect, "/admin", std::nullopt, "{\"sid\":\"x\"}"},
        {"1", Type::Disconnect},
        {"2[\"message\",{\"a\":1}]", Type::Event, "/", std::nullopt, "[\"message\",{\"a\":1}]"},
        {"212[\"message\",[1,2]]", Type::Event, "/", 12, "[\"message\",[1,2]]"},
        {"2/chat,7[\"message\"]", Type::Event, "/chat", 7, "[\"message\"]"},
        {"4{\"message\":\"no\"}", Type::ConnectError, "/", std::nullopt, "{\"message\":\"no\"}"},
        {"51-[\"message\",{\"_placeholder\":true,\"num\":0}]", Type::BinaryEvent, "/", std::nullopt,
         "[\"message\",{\"_placeholder\":true,\"num\":0}]", 1},
        {"", std::nullopt},
        {"7[\"message\"]", std::nullopt},
        {"2[\"message\"", std::nullopt},           // JSON cut short
        {"2{\"message\":1}", std::nullopt},        // an event is an array
        {"2[]", std::nullopt},                     // without a name
        {"2[1,2]", std::nullopt},                  // whose name is no text
        {"5[\"message\"]", std::nullopt},          // binary without its count
        {"5x-[\"message\"]", std::nullopt},
        {"299999999999999999999[\"m\"]", std::nullopt}, // id out of range
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const auto packet = SocketPacket::parse(c.text);
        ASSERT_EQ(packet.has_value(), c.type.has_value());
        if (!packet)
            continue;
        EXPECT_EQ(packet->type, *c.type);
        EXPECT_EQ(packet->nsp, c.nsp);
        EXPECT_EQ(packet->id, c.id);
        EXPECT_EQ(packet->data, nlohmann::json::parse(c.data));
        EXPECT_EQ(packet->attachments, c.attachments);
    }
}

// The JSON library refuses an unpaired UTF-16 surrogate escape, and the whole event was dropped.
TEST(SocketPacket, UnpairedSurrogatesBecomeReplacementCharacters)
{
    struct Case {
        const char* escaped;
        const char* text;
    };
    const Case cases[] = {
        {R"(\ud800x)", "\xEF\xBF\xBDx"},                                // lone high
        {R"(a\udc00)", "a\xEF\xBF\xBD"},                                // lone low
        {R"(a\ud800)", "a\xEF\xBF\xBD"},                                // high at the end
        {R"(\ud800\ud83d\ude00)", "\xEF\xBF\xBD\xF0\x9F\x98\x80"},  // high, then a valid pair
        {R"(\ud83d\ude00\n\"\\ud800)", "\xF0\x9F\x98\x80\n\"\\ud800"}, // pair kept; an escaped backslash is no escape
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.escaped);
        const auto packet = SocketPacket::parse(std::string(R"(2["message",{"t":")") + c.escaped + R"(","n":[1,"\u00e4"]}])");
        ASSERT_TRUE(packet);
        EXPECT_EQ(packet->data[1]["t"], c.text);
        EXPECT_EQ(packet->data[1]["n"], nlohmann::json::parse(R"([1,"\u00e4"])"));
    }
}

TEST(SocketPacket, AttachmentsTakeThePlaceOfTheirPlaceholders)
{
    auto packet = SocketPacket::parse(
        "52-[\"message\",{\"b\":{\"_placeholder\":true,\"num\":1}},[{\"_placeholder\":true,\"num\":0}]]");
    ASSERT_TRUE(packet);
    ASSERT_TRUE(packet->fillPlaceholders({"zero", "one"}));
    EXPECT_EQ(packet->data[1]["b"], nlohmann::json::binary({'o', 'n', 'e'}));
    EXPECT_EQ(packet->data[2][0], nlohmann::json::binary({'z', 'e', 'r', 'o'}));

    auto missing = SocketPacket::parse("51-[\"message\",{\"_placeholder\":true,\"num\":3}]");
    ASSERT_TRUE(missing);
    EXPECT_FALSE(missing->fillPlaceholders({"only one"}));
}

TEST(EngineHandshake, TakesTheServersTimesAndKeepsDefaultsForMissingOnes)
{
    const auto handshake = socketio::EngineHandshake::parse(
        R"({"sid":"s1","upgrades":[],"pingInterval":300,"pingTimeout":200,"maxPayload":1000000})");
    ASSERT_TRUE(handshake);
    EXPECT_EQ(handshake->sid, "s1");
    EXPECT_EQ(handshake->pingInterval, std::chrono::milliseconds(300));
    EXPECT_EQ(handshake->pingTimeout, std::chrono::milliseconds(200));
    const auto partial = socketio::EngineHandshake::parse(R"({"sid":"s2","pingInterval":-5})");
    ASSERT_TRUE(partial);
    EXPECT_EQ(partial->pingInterval, std::chrono::milliseconds(25000));
    EXPECT_FALSE(socketio::EngineHandshake::parse(R"({"pingInterval":1})"));
    EXPECT_FALSE(socketio::EngineHandshake::parse("not json"));
}

TEST(SocketURL, AcceptsWebSocketAndHttpAddressesOnly)
{
    struct Case {
        const char* text;
        bool valid;
        bool secure = false;
        const char* host = "";
        const char* port = "";
        const char* hostHeader = "";
    };
    const Case cases[] = {
        {"ws://127.0.0.1:3000", true, false, "127.0.0.1", "3000", "127.0.0.1:3000"},
        {"WSS://Example.org/ignored/path?x=1", true, true, "Example.org", "443", "Example.org:443"},
        {"http://host", true, false, "host", "80", "host:80"},
        {"https://[::1]:8443/", true, true, "::1", "8443", "[::1]:8443"},
        {"ftp://host", false},
        {"host:3000", false},
        {"ws://", false},
        {"ws://host:0", false},
        {"ws://host:65536", false},
        {"ws://host:12a", false},
        {"ws://user@host", false},
        {"ws://ho st", false},
        {"ws://[::1", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const auto url = SocketURL::parse(c.text);
        ASSERT_EQ(url.has_value(), c.valid);
        if (!url)
            continue;
        EXPECT_EQ(url->secure, c.secure);
        EXPECT_EQ(url->host, c.host);
        EXPECT_EQ(url->port, c.port);
        EXPECT_EQ(url->hostHeader(), c.hostHeader);
    }
}

// Without the "/" before "?" the server hangs up.
TEST(SocketURL, TargetHasSlashesAroundThePathAndEncodedItems)
{
    EXPECT_EQ(socketio::handshakeTarget("/socket.io", {{"domain", "a b&c=d/ü"}, {"uuid", "X-1_~."}}),
              "/socket.io/?EIO=4&transport=websocket&domain=a%20b%26c%3Dd%2F%C3%BC&uuid=X-1_~.");
    EXPECT_EQ(socketio::handshakeTarget("rt/socket.io/", {}), "/rt/socket.io/?EIO=4&transport=websocket");
}
