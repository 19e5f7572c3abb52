#include "portable/Paths.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

namespace platform::paths {
namespace {

// An XDG variable counts only when it holds an absolute path.
std::filesystem::path fromEnvironment(const char* name, const std::filesystem::path& fallback)
{
    const char* value = std::getenv(name);
    if (value && value[0] == '/')
        return value;
    return fallback;
}

} // namespace

std::filesystem::path home()
{
    const char* value = std::getenv("HOME");
    if (value && value[0] == '/')
        return value;
    if (const passwd* entry = getpwuid(getuid()); entry && entry->pw_dir)
        return entry->pw_dir;
    return "/";
}

std::filesystem::path dataHome() { return fromEnvironment("XDG_DATA_HOME", home() / ".local" / "share"); }
std::filesystem::path configHome() { return fromEnvironment("XDG_CONFIG_HOME", home() / ".config"); }
std::filesystem::path cacheHome() { return fromEnvironment("XDG_CACHE_HOME", home() / ".cache"); }

std::filesystem::path applicationSupport(const std::string& bundleIdentifier)
{
    return dataHome() / bundleIdentifier;
}

std::filesystem::path executableDirectory()
{
    std::error_code error;
    auto exe = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error)
        return std::filesystem::current_path(error);
    return exe.parent_path();
}

} // namespace platform::paths
