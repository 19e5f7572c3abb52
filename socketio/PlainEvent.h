#pragma once
// An event packet of the default namespace read without building JSON values: the event's
// name and each item's JSON text, written exactly as nlohmann::json::dump() writes the value
// SocketPacket::parse() makes of it (compact, object members in the order of their keys). A
// message the page receives as text thus costs one pass over its bytes, not a parse and a
// serialization.
//
// Only packets in the plain form that servers send are read: "2[<name>,<item>,…]" with no
// ack id and no space between the tokens, a name without escapes, integers of at most 18
// digits, strings of well-formed UTF-8 whose escapes are those dump() writes, keys without
// escapes, no key twice in one object, at most 128 levels deep. Every other packet, valid or
// not, gives nothing and goes the general way (SocketPacket::parse): a packet read here is
// one that parse() accepts as an event, with the same items. Pure, safe from any thread.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace socketio {

struct PlainEvent {
    std::string name;
    // Each item's JSON text, as dump() writes it.
    std::vector<std::string> items;

    // `text` is the Socket.IO packet, the text after the Engine.IO "4".
    static std::optional<PlainEvent> read(std::string_view text);
};

} // namespace socketio
