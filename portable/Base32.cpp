#include "portable/Base32.h"

namespace platform {
namespace {

int base32Value(char c)
{
    if (c >= 'A' && c <= 'Z')
        return c - 'A';
    if (c >= 'a' && c <= 'z')
        return c - 'a';
    if (c >= '2' && c <= '7')
        return c - '2' + 26;
    return -1;
}

// The padding a last group of `characters` characters carries (8 characters: none); -1 when
// no whole number of bytes is encoded by that many characters.
int paddingFor(std::size_t characters)
{
    switch (characters) {
    case 2: return 6;
    case 4: return 4;
    case 5: return 3;
    case 7: return 1;
    case 8: return 0;
    default: return -1;
    }
}

} // namespace

std::optional<std::vector<std::uint8_t>> base32Decode(std::string_view text)
{
    const auto firstPad = text.find('=');
    const std::string_view data = text.substr(0, firstPad);
    const std::size_t padding = firstPad == std::string_view::npos ? 0 : text.size() - firstPad;
    if (text.substr(data.size()).find_first_not_of('=') != std::string_view::npos)
        return std::nullopt;

    const std::size_t lastGroup = data.size() % 8 == 0 ? (data.empty() ? 0 : 8) : data.size() % 8;
    if (lastGroup != 0 && paddingFor(lastGroup) < 0)
        return std::nullopt;
    if (padding != 0 && (lastGroup == 0 || static_cast<int>(padding) != paddingFor(lastGroup)))
        return std::nullopt;

    std::vector<std::uint8_t> bytes;
    bytes.reserve(data.size() * 5 / 8);
    std::uint32_t buffer = 0;
    int bits = 0;
    for (char c : data) {
        const int value = base32Value(c);
        if (value < 0)
            return std::nullopt;
        buffer = (buffer << 5) | static_cast<std::uint32_t>(value);
        bits += 5;
        if (bits >= 8) {
            bits -= 8;
            bytes.push_back(static_cast<std::uint8_t>(buffer >> bits));
            buffer &= (1u << bits) - 1;
        }
    }
    return bytes;
}

} // namespace platform
