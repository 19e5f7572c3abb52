#include "platform/linux/WebProcessSandbox.h"

#include "logger/Logger.h"

#include <glib.h>

#include <cstdlib>
#include <string>

namespace platform::gtk {
namespace {

enum class Choice { off, on, probe };

Choice choiceFromEnvironment()
{
    const char* value = std::getenv("WEBCONTAINER_WEB_SANDBOX");
    if (!value)
        return Choice::probe;
    const std::string text = value;
    if (text == "0")
        return Choice::off;
    if (text == "1")
        return Choice::on;
    return Choice::probe;
}

bool decide()
{
    switch (choiceFromEnvironment()) {
    case Choice::off:
        LOG_INFO("The web process runs without WebKit's sandbox (WEBCONTAINER_WEB_SANDBOX=0); the page's file "
                 "reads stay confined by the web-process extension");
        return false;
    case Choice::on:
        return true;
    case Choice::probe:
        break;
    }
    if (WebProcessSandbox::canRun())
        return true;
    LOG_WARNING("The web process runs without WebKit's sandbox: bubblewrap cannot start here; the page's file "
                "reads stay confined by the web-process extension");
    return false;
}

} // namespace

bool WebProcessSandbox::enabled()
{
    static const bool enabled = decide();
    return enabled;
}

bool WebProcessSandbox::canRun()
{
    g_autofree char* bwrap = g_find_program_in_path("bwrap");
    if (!bwrap)
        return false;
    // The namespaces WebKit asks for; "-try" where it does too.
    const char* argv[] = {bwrap,         "--ro-bind",         "/",   "/",         "--proc",      "/proc",
                          "--dev",       "/dev",              "--unshare-pid", "--unshare-ipc", "--unshare-uts",
                          "--unshare-cgroup-try", "--unshare-user-try", "--die-with-parent", "true", nullptr};
    int status = 0;
    if (!g_spawn_sync(nullptr, const_cast<char**>(argv), nullptr,
                      static_cast<GSpawnFlags>(G_SPAWN_STDOUT_TO_DEV_NULL | G_SPAWN_STDERR_TO_DEV_NULL), nullptr,
                      nullptr, nullptr, nullptr, &status, nullptr))
        return false;
    return g_spawn_check_wait_status(status, nullptr);
}

} // namespace platform::gtk
