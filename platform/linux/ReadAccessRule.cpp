#include "platform/linux/ReadAccessRule.h"

#include <glib.h>
#include <sys/stat.h>

#include <deque>

namespace fs = std::filesystem;

namespace platform::gtk {
namespace {

// As many links as the kernel follows in one path before it gives up (ELOOP).
constexpr int kMaxLinks = 40;

void prependComponents(std::deque<fs::path>& pending, const fs::path& path)
{
    std::deque<fs::path> parts;
    for (const auto& part : path.relative_path())
        parts.push_back(part);
    pending.insert(pending.begin(), parts.begin(), parts.end());
}

bool isBeneath(const fs::path& path, const fs::path& folder)
{
    auto p = path.begin();
    for (auto f = folder.begin(); f != folder.end(); ++f, ++p) {
        if (f->empty())
            continue; // the trailing separator of "/a/b/"
        if (p == path.end() || *p != *f)
            return false;
    }
    return true;
}

// The local file a URI names; nothing for a file URI of another host or one that does not
// parse (a percent-encoded NUL, for instance).
std::optional<fs::path> localFile(const std::string& uri)
{
    GUri* parsed = g_uri_parse(uri.c_str(), G_URI_FLAGS_NONE, nullptr);
    if (!parsed)
        return std::nullopt;
    std::optional<fs::path> file;
    const char* host = g_uri_get_host(parsed);
    const char* path = g_uri_get_path(parsed);
    if ((!host || !*host || g_ascii_strcasecmp(host, "localhost") == 0) && path && g_path_is_absolute(path))
        file = fs::path(path);
    g_uri_unref(parsed);
    return file;
}

} // namespace

ReadAccessRule::ReadAccessRule(const fs::path& folder)
{
    if (folder.is_absolute())
        folder_ = resolve(folder).value_or(fs::path());
}

bool ReadAccessRule::allows(const std::string& uri) const
{
    g_autofree char* scheme = g_uri_parse_scheme(uri.c_str());
    if (!scheme || g_ascii_strcasecmp(scheme, "file") != 0)
        return true;
    if (folder_.empty())
        return false;
    const auto file = localFile(uri);
    if (!file)
        return false;
    const auto resolved = resolve(*file);
    return resolved && isBeneath(*resolved, folder_);
}

std::optional<fs::path> ReadAccessRule::resolve(const fs::path& path)
{
    std::deque<fs::path> pending;
    prependComponents(pending, path);
    fs::path resolved = "/";
    int links = 0;
    while (!pending.empty()) {
        const fs::path part = pending.front();
        pending.pop_front();
        if (part.empty() || part == ".")
            continue;
        if (part == "..") {
            resolved = resolved.parent_path();
            continue;
        }
        fs::path next = resolved / part;
        struct stat status;
        if (lstat(next.c_str(), &status) == 0 && S_ISLNK(status.st_mode)) {
            if (++links > kMaxLinks)
                return std::nullopt;
            std::error_code error;
            const fs::path target = fs::read_symlink(next, error);
            if (error)
                return std::nullopt;
            if (target.is_absolute())
                resolved = "/";
            prependComponents(pending, target);
            continue;
        }
        resolved = std::move(next);
    }
    return resolved;
}

} // namespace platform::gtk
