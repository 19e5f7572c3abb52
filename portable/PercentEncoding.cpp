#include "portable/PercentEncoding.h"

namespace platform {
namespace {

// Spelled out: the C classification functions follow the locale.
bool isAsciiAlphanumeric(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

bool isHexDigit(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

} // namespace

void appendPercentEncoded(std::string& out, std::string_view text, std::string_view kept, ExistingEscapes escapes)
{
    static constexpr char digits[] = "0123456789ABCDEF";
    out.reserve(out.size() + text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        const bool escape = escapes == ExistingEscapes::keep && c == '%' && i + 2 < text.size()
                            && isHexDigit(text[i + 1]) && isHexDigit(text[i + 2]);
        if (escape || isAsciiAlphanumeric(c) || (c != '\0' && kept.find(c) != std::string_view::npos)) {
            out += c;
        } else {
            const auto byte = static_cast<unsigned char>(c);
            out += '%';
            out += digits[byte >> 4];
            out += digits[byte & 15];
        }
    }
}

std::string percentEncoded(std::string_view text, std::string_view kept, ExistingEscapes escapes)
{
    std::string out;
    appendPercentEncoded(out, text, kept, escapes);
    return out;
}

} // namespace platform
