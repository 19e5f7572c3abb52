#include "platform/linux/GioURLOpener.h"

#include <gio/gio.h>

namespace platform {

void GioURLOpener::openImpl(const std::string& url)
{
    // Nobody waits for the outcome: a scheme without a handler opens nothing, as on any desktop.
    g_app_info_launch_default_for_uri_async(
        url.c_str(), nullptr, nullptr,
        [](GObject*, GAsyncResult* result, gpointer) {
            g_autoptr(GError) error = nullptr;
            g_app_info_launch_default_for_uri_finish(result, &error);
        },
        nullptr);
}

} // namespace platform
