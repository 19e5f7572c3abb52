#include "socketio/SocketPacket.h"

#include <charconv>

namespace socketio {
namespace {

std::optional<std::chrono::milliseconds> milliseconds(const nlohmann::json& object, const char* key)
{
    const auto it = object.find(key);
    if (it == object.end() || !it->is_number_unsigned())
        return std::nullopt;
    return std::chrono::milliseconds(it->get<std::uint64_t>());
}

// Reads the decimal number at the front of `text` and moves past it.
template <class Number>
bool readNumber(std::string_view& text, Number& number)
{
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    if (error != std::errc())
        return false;
    text.remove_prefix(static_cast<std::size_t>(end - text.data()));
    return true;
}

// The UTF-16 code unit of the escape "\uXXXX" at `at`; nothing when there is none.
std::optional<unsigned> escapedUnit(std::string_view text, std::size_t at)
{
    if (at + 6 > text.size() || text[at] != '\\' || text[at + 1] != 'u')
        return std::nullopt;
    unsigned unit = 0;
    const auto [end, error] = std::from_chars(text.data() + at + 2, text.data() + at + 6, unit, 16);
    if (error != std::errc() || end != text.data() + at + 6)
        return std::nullopt;
    return unit;
}

// `json` with every escape of an unpaired UTF-16 surrogate made "\ufffd", the replacement
// character, as the server's own JavaScript decodes it; every other byte as it is. Nothing when
// there is none.
std::optional<std::string> replacingLoneSurrogates(std::string_view json)
{
    auto isHigh = [](unsigned unit) { return unit >= 0xD800 && unit <= 0xDBFF; };
    auto isLow = [](unsigned unit) { return unit >= 0xDC00 && unit <= 0xDFFF; };
    std::string out;
    bool replaced = false;
    std::size_t copied = 0;
    // A backslash begins an escape only inside a string, where it also escapes the next one.
    for (std::size_t i = 0; i < json.size(); ++i) {
        if (json[i] != '\\')
            continue;
        const auto unit = escapedUnit(json, i);
        if (!unit) {
            ++i;
            continue;
        }
        if (isHigh(*unit)) {
            if (const auto next = escapedUnit(json, i + 6); next && isLow(*next)) {
                i += 11;
                continue;
            }
        } else if (!isLow(*unit)) {
            i += 5;
            continue;
        }
        out.append(json.substr(copied, i - copied)).append("\\ufffd");
        copied = i + 6;
        replaced = true;
        i += 5;
    }
    if (!replaced)
        return std::nullopt;
    out.append(json.substr(copied));
    return out;
}

bool fill(nlohmann::json& value, const std::vector<std::string>& binaries)
{
    if (value.is_object()) {
        const auto marker = value.find("_placeholder");
        const auto num = value.find("num");
        if (marker != value.end() && *marker == true && num != value.end() && num->is_number_unsigned()) {
            const auto index = num->get<std::size_t>();
            if (index >= binaries.size())
                return false;
            value = nlohmann::json::binary(std::vector<std::uint8_t>(binaries[index].begin(), binaries[index].end()));
            return true;
        }
    }
    if (value.is_structured()) {
        for (auto& item : value)
            if (!fill(item, binaries))
                return false;
    }
    return true;
}

} // namespace

std::optional<EngineHandshake> EngineHandshake::parse(std::string_view json)
{
    const auto object = nlohmann::json::parse(json, nullptr, false);
    if (!object.is_object() || !object.contains("sid") || !object["sid"].is_string())
        return std::nullopt;
    EngineHandshake handshake;
    handshake.sid = object["sid"].get<std::string>();
    handshake.pingInterval = milliseconds(object, "pingInterval").value_or(handshake.pingInterval);
    handshake.pingTimeout = milliseconds(object, "pingTimeout").value_or(handshake.pingTimeout);
    return handshake;
}

std::optional<SocketPacket> SocketPacket::parse(std::string_view text)
{
    if (text.empty() || text[0] < '0' || text[0] > '6')
        return std::nullopt;
    SocketPacket packet;
    packet.type = static_cast<Type>(text[0] - '0');
    text.remove_prefix(1);
    const bool binary = packet.type == Type::BinaryEvent || packet.type == Type::BinaryAck;
    if (binary) {
        if (!readNumber(text, packet.attachments) || text.empty() || text[0] != '-')
            return std::nullopt;
        text.remove_prefix(1);
    }
    if (!text.empty() && text[0] == '/') {
        const auto comma = text.find(',');
        packet.nsp = std::string(text.substr(0, comma));
        text.remove_prefix(comma == std::string_view::npos ? text.size() : comma + 1);
    }
    if (!text.empty() && text[0] >= '0' && text[0] <= '9') {
        std::uint64_t id = 0;
        if (!readNumber(text, id))
            return std::nullopt;
        packet.id = id;
    }
    if (!text.empty()) {
        packet.data = nlohmann::json::parse(text, nullptr, false);
        // The JSON library refuses an unpaired surrogate, which JavaScript strings may hold.
        if (packet.data.is_discarded()) {
            if (const auto repaired = replacingLoneSurrogates(text))
                packet.data = nlohmann::json::parse(*repaired, nullptr, false);
        }
        if (packet.data.is_discarded())
            return std::nullopt;
    }
    const bool event = packet.type == Type::Event || packet.type == Type::BinaryEvent;
    if (event && (!packet.data.is_array() || packet.data.empty() || !packet.data[0].is_string()))
        return std::nullopt;
    return packet;
}

bool SocketPacket::fillPlaceholders(const std::vector<std::string>& binaries)
{
    return fill(data, binaries);
}

} // namespace socketio
