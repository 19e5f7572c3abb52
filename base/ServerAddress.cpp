#include "base/ServerAddress.h"

#include "base/Config.h"
#include "portable/PercentEncoding.h"
#include "portable/UTF8.h"

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
        // ASCII characters go by the encoder's rule; others are kept when letters, marks or digits.
        const gunichar c = g_utf8_get_char(p);
        if (c >= 0x80 && isLetterMarkOrDigit(c))
            out += character;
        else
            platform::appendPercentEncoded(out, character, platform::urlKept::serverValue);
        p = next;
    }
    return out;
}

std::string encodedQueryValue(const std::string& text)
{
    return platform::percentEncoded(text, platform::urlKept::queryValue, platform::ExistingEscapes::keep);
}
