// The protocol texts of the real-time channel's client: packets, server addresses, targets.
#include "socketio/PlainEvent.h"
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

// Events read in their plain form reach the page as text without a parse: that text must be
// what parsing the packet and writing the item gives, and a packet the parser refuses, or
// writes differently, must never be read so.
TEST(PlainEvent, ReadsOnlyWhatTheParserAcceptsAndWritesItsItemsAlike)
{
    using socketio::PlainEvent;
    const std::string deep = std::string(200, '[') + std::string(200, ']');
    const struct {
        std::string text;
        bool plain;
    } cases[] = {
        {R"(2["message",{"i":0,"t":"123","pad":"xx"}])", true},
        {R"(2["message",{"b":{"z":1,"a":[true,false,null]},"a":-5,"c":[]}])", true},
        {R"(2["message",{"b":1,"B":2,"é":3,"a":4,"":5}])", true},
        {R"(2["message",[1,"x\"y\\\n\t\u001f\u0000",{}],"second"])", true},
        {R"(2["message",{"é":"ü€😀","x":"a/b"}])", true},
        {R"(2["message"])", true},
        {R"(2["message","plain text",7,0,-12,999999999999999999])", true},
        {R"(2["message", {"a":1}])", false},
        {R"(2["message",{"a":1.5}])", false},
        {R"(2["message",{"a":1e3}])", false},
        {R"(2["message",-0])", false},
        {R"(2["message",1234567890123456789])", false},
        {R"(2["message","a\/b"])", false},
        {R"(2["message","\u0041\u00e9"])", false},
        {R"(2["message","\u001F"])", false},
        {R"(2["message","\u0009"])", false},
        {R"(2["message","\ud83d\ude00"])", false},
        {R"(2["message",{"a":1,"a":2}])", false},
        {R"(2["message",{"a":1,"b":2,"a":3}])", false},
        {R"(2["message",{"a\"b":1}])", false},
        {R"(2["mess\u0061ge",{}])", false},
        {R"(21["message",{}])", false},
        {R"(2/chat,["message",{}])", false},
        {R"(51-["message",{"_placeholder":true,"num":0}])", false},
        {R"(2[1,2])", false},
        {R"(2[])", false},
        {R"(2["message",{"a":1})", false},
        {R"(2["message",{"a":1}]x)", false},
        {R"(2["message",[1,]])", false},
        {R"(2["message",{"a":}])", false},
        {R"(2["message",01])", false},
        {R"(2["message",tru])", false},
        {"2[\"message\",\"\xC0\x80\"]", false},
        {"2[\"message\",\"\xED\xA0\x80\"]", false},
        {"2[\"message\",\"\xF4\x90\x80\x80\"]", false},
        {"2[\"message\",\"\xE2\x82\"]", false},
        {"2[\"message\",\"a\tb\"]", false},
        {"2[\"message\"," + deep + "]", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const auto event = PlainEvent::read(c.text);
        EXPECT_EQ(event.has_value(), c.plain);
        if (!event)
            continue;
        const auto packet = SocketPacket::parse(c.text);
        ASSERT_TRUE(packet);
        ASSERT_EQ(packet->type, Type::Event);
        EXPECT_EQ(event->name, packet->data[0].get<std::string>());
        ASSERT_EQ(event->items.size(), packet->data.size() - 1);
        for (std::size_t i = 0; i < event->items.size(); ++i)
            EXPECT_EQ(event->items[i], packet->data[i + 1].dump());
    }
}
