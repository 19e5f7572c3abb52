#include "platform/UTF8.h"

#include <glib.h>

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

} // namespace platform
