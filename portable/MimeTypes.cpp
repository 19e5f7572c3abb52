#include "portable/MimeTypes.h"

#include <gio/gio.h>

namespace platform {

std::optional<std::string> preferredMimeType(const std::string& extension)
{
    if (extension.empty())
        return std::nullopt;
    // Only the extension counts: the guess gets a name made of nothing else.
    const std::string name = "file." + extension;
    gboolean uncertain = FALSE;
    gchar* type = g_content_type_guess(name.c_str(), nullptr, 0, &uncertain);
    gchar* mime = type && !uncertain ? g_content_type_get_mime_type(type) : nullptr;
    std::optional<std::string> result;
    if (mime)
        result = mime;
    g_free(mime);
    g_free(type);
    return result;
}

} // namespace platform
