#include "portable/FileURL.h"

#include "portable/PercentEncoding.h"

#include <glib.h>

#include <string_view>

namespace platform {

void appendPercentEncodedPath(std::string& out, std::string_view path)
{
    appendPercentEncoded(out, path, urlKept::path);
}

std::string percentEncodedPath(const std::filesystem::path& path)
{
    std::string out;
    appendPercentEncodedPath(out, path.native());
    return out;
}

std::string fileURLString(const std::filesystem::path& path)
{
    std::error_code error;
    const auto absolute = path.is_absolute() ? path : std::filesystem::absolute(path, error);
    return "file://" + percentEncodedPath(error ? path : absolute);
}

std::optional<std::filesystem::path> pathFromFileURL(const std::string& url)
{
    gchar* host = nullptr;
    gchar* path = g_filename_from_uri(url.c_str(), &host, nullptr);
    const bool local = path && (!host || std::string_view(host) == "localhost");
    std::optional<std::filesystem::path> out;
    if (local)
        out = path;
    g_free(host);
    g_free(path);
    return out;
}

} // namespace platform
