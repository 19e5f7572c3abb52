#include "base/JavaScriptString.h"

#include <cstdio>

namespace {

void appendUnicodeEscape(std::string& out, unsigned codePoint)
{
    char buffer[8];
    std::snprintf(buffer, sizeof buffer, "\\u%04X", codePoint);
    out += buffer;
}

} // namespace

std::string escapeJavaScriptString(std::string_view text, char quote)
{
    std::string out;
    out.reserve(text.size() + 8);
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        const auto next = [&](std::size_t offset) {
            return i + offset < text.size() ? static_cast<unsigned char>(text[i + offset]) : 0u;
        };
        if (byte == '\\' || byte == static_cast<unsigned char>(quote)) {
            out += '\\';
            out += static_cast<char>(byte);
        } else if (byte == '\n') {
            out += "\\n";
        } else if (byte == '\r') {
            out += "\\r";
        } else if (byte < 0x20 || byte == 0x7F) {
            appendUnicodeEscape(out, byte);
        } else if (byte == 0xC2 && next(1) >= 0x80 && next(1) <= 0x9F) {
            // U+0080 to U+009F, the C1 controls, in UTF-8.
            appendUnicodeEscape(out, next(1));
            i += 1;
        } else if (byte == 0xE2 && next(1) == 0x80 && (next(2) == 0xA8 || next(2) == 0xA9)) {
            // U+2028 and U+2029 end a line inside a script.
            appendUnicodeEscape(out, 0x2000 + next(2) - 0x80);
            i += 2;
        } else {
            out += static_cast<char>(byte);
        }
    }
    return out;
}
