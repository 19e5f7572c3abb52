#include "platform/FileURL.h"

#include <glib.h>

namespace platform {

std::string percentEncodedPath(const std::filesystem::path& path)
{
    // Unreserved characters stay anyway; these are the rest a URL path allows, and "/".
    gchar* escaped = g_uri_escape_string(path.c_str(), "!$&'()*+,;=:@/", FALSE);
    std::string out = escaped;
    g_free(escaped);
    return out;
}

std::string fileURLString(const std::filesystem::path& path)
{
    std::error_code error;
    const auto absolute = path.is_absolute() ? path : std::filesystem::absolute(path, error);
    return "file://" + percentEncodedPath(error ? path : absolute);
}

} // namespace platform
