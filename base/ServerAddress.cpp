#include "base/ServerAddress.h"

#include "base/Config.h"
#include "platform/UTF8.h"

#include <glib.h>

#include <string_view>

namespace {

bool isLetterMarkOrDigit(gunichar c)
{
    switch (g_unichar_type(c)) {
    case G_UNICODE_LOWERCASE_LETTER:
    case G_UNICODE_MODIFIER_LETTER:
    case G_UNICODE_OTHER_LETTER:
    case G_UNICODE_TITLECASE_LETTER:
    case G_UNICODE_UPPERCASE_LETTER:
    case G_UNICODE_SPACING_MARK:
    case G_UNICODE_ENCLOSING_MARK:
    case G_UNICODE_NON_SPACING_MARK:
    case G_UNICODE_DECIMAL_NUMBER:
    case G_UNICODE_LETTER_NUMBER:
    case G_UNICODE_OTHER_NUMBER:
        return true;
    default:
        return false;
    }
}

void appendPercentEncoded(std::string& out, std::string_view bytes)
{
    static constexpr char hex[] = "0123456789ABCDEF";
    for (char ch : bytes) {
        const auto byte = static_cast<unsigned char>(ch);
        out += '%';
        out += hex[byte >> 4];
        out += hex[byte & 0xF];
    }
}

} // namespace

std::optional<std::string> serverURL(bool hostOnly)
{
    auto& defaults = sharedConfig().defaults;
    const auto protocol = defaults.string("serverprotocol");
    const auto name = defaults.string("servername");
    const auto path = defaults.string("serverpath");
    const auto file = defaults.string("serverfile");
    if (!protocol || !name || !path || !file)
        return std::nullopt;
    if (hostOnly)
        return *protocol + *name;
    return *protocol + *name + *path + *file;
}

std::optional<std::string> urlEncode(const std::string& text)
{
    if (!platform::isValidUTF8(text))
        return std::nullopt;
    std::string out;
    out.reserve(text.size());
    const char* const end = text.data() + text.size();
    for (const char* p = text.data(); p < end;) {
        const char* const next = g_utf8_next_char(p);
        const std::string_view character(p, static_cast<std::size_t>(next - p));
        const gunichar c = g_utf8_get_char(p);
        const bool allowedPunctuation =
            c < 0x80 && std::string_view("-._~/?").find(static_cast<char>(c)) != std::string_view::npos;
        if (allowedPunctuation || isLetterMarkOrDigit(c))
            out += character;
        else
            appendPercentEncoded(out, character);
        p = next;
    }
    return out;
}

std::string encodedQueryValue(const std::string& text)
{
    // RFC 3986's unreserved characters, and the delimiters a query value holds without meaning.
    constexpr std::string_view kept = "-._~!$'()*,/:@?";
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char ch = text[i];
        const bool escape = ch == '%' && i + 2 < text.size() && g_ascii_isxdigit(text[i + 1]) && g_ascii_isxdigit(text[i + 2]);
        if (escape || g_ascii_isalnum(ch) || kept.find(ch) != std::string_view::npos)
            out += ch;
        else
            appendPercentEncoded(out, std::string_view(&text[i], 1));
    }
    return out;
}
