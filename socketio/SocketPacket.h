#pragma once
// The texts of the two protocols a Socket.IO connection speaks over one WebSocket.
//
// Engine.IO 4 (each WebSocket text frame is one packet; its first character is the type):
//   "0{…}" open, carrying the session's sid, pingInterval, pingTimeout and maxPayload;
//   "1" close; "2" ping, answered by "3" pong; "4…" a message for Socket.IO; "6" noop.
//   Binary frames carry the attachments of a binary Socket.IO packet, unprefixed.
// Socket.IO 5 (the text after the Engine.IO "4"):
//   <type>[<attachments>-][<namespace>,][<ack id>][<JSON>]
//   type 0 connect, 1 disconnect, 2 event, 3 ack, 4 connect error, 5 binary event,
//   6 binary ack; the namespace is "/" unless the packet names one; an event's JSON is an
//   array whose first item is the event's name. Binary packets stand a placeholder
//   {"_placeholder":true,"num":n} for the n-th attachment that follows them.
// Pure functions, safe from any thread.

#include <nlohmann/json.hpp>

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace socketio {

// What the server's open packet sets for the session.
struct EngineHandshake {
    std::string sid;
    std::chrono::milliseconds pingInterval{25000};
    std::chrono::milliseconds pingTimeout{20000};

    // The JSON after the "0"; nothing when it is no object with a text "sid". Missing or
    // malformed times keep the defaults.
    static std::optional<EngineHandshake> parse(std::string_view json);
};

struct SocketPacket {
    enum class Type { Connect = 0, Disconnect, Event, Ack, ConnectError, BinaryEvent, BinaryAck };

    Type type = Type::Event;
    std::string nsp = "/";
    std::optional<std::uint64_t> id;
    // Null when the packet carries no JSON.
    nlohmann::json data;
    std::size_t attachments = 0;

    // Nothing when `text` is no Socket.IO packet: unknown type, malformed counts or ids,
    // JSON that does not parse, or (for events) data that is no array starting with a name.
    // The escape of an unpaired UTF-16 surrogate reads as U+FFFD, as JavaScript shows it.
    static std::optional<SocketPacket> parse(std::string_view text);

    // Puts the attachments in place of their placeholders in `data`, as binary values;
    // false when a placeholder names an attachment that is not there.
    bool fillPlaceholders(const std::vector<std::string>& binaries);
};

} // namespace socketio
