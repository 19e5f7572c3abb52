#include "portable/Device.h"

#include <glib.h>
#include <sys/utsname.h>

namespace platform {
namespace {

// A field of os-release, or nothing.
std::string osInfo(const char* key)
{
    gchar* value = g_get_os_info(key);
    std::string text = value ? value : "";
    g_free(value);
    return text;
}

std::string kernel(bool release)
{
    utsname names{};
    if (uname(&names) != 0)
        return "";
    return release ? names.release : names.sysname;
}

} // namespace

std::string systemName()
{
    std::string name = osInfo(G_OS_INFO_KEY_NAME);
    return name.empty() ? kernel(false) : name;
}

std::string systemVersion()
{
    std::string version = osInfo(G_OS_INFO_KEY_VERSION_ID);
    return version.empty() ? kernel(true) : version;
}

} // namespace platform
