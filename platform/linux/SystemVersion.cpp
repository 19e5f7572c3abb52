#include "platform/SystemVersion.h"

#include <glib.h>
#include <sys/utsname.h>

#include <mutex>

namespace platform {
namespace {

std::mutex testVersionMutex;
std::optional<std::string> testVersion;

std::string readSystemVersion()
{
    if (gchar* version = g_get_os_info(G_OS_INFO_KEY_VERSION_ID)) {
        std::string out = version;
        g_free(version);
        if (!out.empty())
            return out;
    }
    struct utsname names {};
    if (::uname(&names) == 0)
        return names.release;
    return "";
}

} // namespace

std::string systemVersion()
{
    {
        std::lock_guard lock(testVersionMutex);
        if (testVersion)
            return *testVersion;
    }
    static const std::string version = readSystemVersion();
    return version;
}

void setSystemVersionForTesting(std::optional<std::string> version)
{
    std::lock_guard lock(testVersionMutex);
    testVersion = std::move(version);
}

} // namespace platform
