#include "base/JavaScriptString.h"

#include <array>

namespace {

// Bytes that may begin something to escape, besides the quote.
constexpr std::array<bool, 256> kMayEscape = [] {
    std::array<bool, 256> table{};
    for (int byte = 0; byte < 0x20; ++byte)
        table[byte] = true;
    table['\\'] = true;
    table[0x7F] = true;
    table[0xC2] = true;
    table[0xE2] = true;
    return table;
}();

void appendUnicodeEscape(std::string& out, unsigned codePoint)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    const char escape[] = {'\\', 'u', kHex[(codePoint >> 12) & 0xF], kHex[(codePoint >> 8) & 0xF],
                           kHex[(codePoint >> 4) & 0xF], kHex[codePoint & 0xF]};
    out.append(escape, sizeof escape);
}

} // namespace

void appendJavaScriptString(std::string& out, std::string_view text, char quote)
{
    const auto quoteByte = static_cast<unsigned char>(quote);
    // Bytes that pass unchanged are appended a run at a time.
    std::size_t run = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (!kMayEscape[byte] && byte != quoteByte)
            continue;
        const auto next = [&](std::size_t offset) {
            return i + offset < text.size() ? static_cast<unsigned char>(text[i + offset]) : 0u;
        };
        std::size_t length = 1;
        if (byte == 0xC2) {
            // U+0080 to U+009F, the C1 controls, in UTF-8.
            if (next(1) < 0x80 || next(1) > 0x9F)
                continue;
            length = 2;
        } else if (byte == 0xE2) {
            // U+2028 and U+2029 end a line inside a script.
            if (next(1) != 0x80 || (next(2) != 0xA8 && next(2) != 0xA9))
                continue;
            length = 3;
        }
        out.append(text.data() + run, i - run);
        if (byte == '\\' || byte == quoteByte) {
            out += '\\';
            out += static_cast<char>(byte);
        } else if (byte == '\n') {
            out += "\\n";
        } else if (byte == '\r') {
            out += "\\r";
        } else if (length == 2) {
            appendUnicodeEscape(out, next(1));
        } else if (length == 3) {
            appendUnicodeEscape(out, 0x2000 + next(2) - 0x80);
        } else {
            appendUnicodeEscape(out, byte);
        }
        i += length - 1;
        run = i + 1;
    }
    out.append(text.data() + run, text.size() - run);
}

std::string escapeJavaScriptString(std::string_view text, char quote)
{
    std::string out;
    out.reserve(text.size() + 8);
    appendJavaScriptString(out, text, quote);
    return out;
}
