#include "portable/UTF8.h"

#include <glib.h>

#include <algorithm>

namespace platform {

bool isValidUTF8(std::string_view text)
{
    // GLib refuses NUL bytes inside a text of given length: check the pieces between them.
    while (true) {
        const auto nul = text.find('\0');
        const auto piece = text.substr(0, nul);
        if (!g_utf8_validate(piece.data(), static_cast<gssize>(piece.size()), nullptr))
            return false;
        if (nul == std::string_view::npos)
            return true;
        text.remove_prefix(nul + 1);
    }
}

std::optional<std::string> textFromBytes(std::string_view bytes)
{
    const char* encoding = bytes.starts_with("\xFF\xFE") ? "UTF-16LE" : bytes.starts_with("\xFE\xFF") ? "UTF-16BE" : nullptr;
    if (!encoding) {
        if (bytes.starts_with("\xEF\xBB\xBF"))
            bytes.remove_prefix(3);
        if (!isValidUTF8(bytes))
            return std::nullopt;
        return std::string(bytes);
    }
    bytes.remove_prefix(2);
    gsize written = 0;
    g_autofree gchar* text =
        g_convert(bytes.data(), static_cast<gssize>(bytes.size()), "UTF-8", encoding, nullptr, &written, nullptr);
    if (!text)
        return std::nullopt;
    return std::string(text, written);
}

bool isXmlText(std::string_view text)
{
    // With a length given, GLib refuses NUL bytes as well.
    if (!g_utf8_validate(text.data(), static_cast<gssize>(text.size()), nullptr))
        return false;
    const bool control = std::any_of(text.begin(), text.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte < 0x20 && byte != '\t' && byte != '\n' && byte != '\r';
    });
    return !control && text.find("\xEF\xBF\xBE") == std::string_view::npos
        && text.find("\xEF\xBF\xBF") == std::string_view::npos;
}

} // namespace platform
