#include "platform/FileURL.h"

#include <glib.h>

#include <string_view>

namespace platform {

void appendPercentEncodedPath(std::string& out, std::string_view path)
{
    static constexpr char digits[] = "0123456789ABCDEF";
    // Unreserved characters, and the rest a URL path allows with "/".
    static constexpr std::string_view kept = "-._~!$&'()*+,;=:@/";
    for (const char c : path) {
        const auto byte = static_cast<unsigned char>(c);
        if (g_ascii_isalnum(c) || (byte != 0 && kept.find(c) != std::string_view::npos)) {
            out += c;
        } else {
            out += '%';
            out += digits[byte >> 4];
            out += digits[byte & 15];
        }
    }
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
