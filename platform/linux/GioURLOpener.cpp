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

bool GioURLOpener::canOpenImpl(const std::string& url)
{
    g_autofree char* scheme = g_uri_parse_scheme(url.c_str());
    if (!scheme)
        return false;
    g_autoptr(GAppInfo) handler = g_app_info_get_default_for_uri_scheme(scheme);
    return handler != nullptr;
}

} // namespace platform
