#include "portable/URLResolution.h"

#include <glib.h>

namespace platform {

std::optional<std::string> resolvedURLString(const std::string& reference, const std::string& base)
{
    // Encoded: escapes are kept as they are instead of being decoded and encoded again.
    gchar* resolved = g_uri_resolve_relative(base.c_str(), reference.c_str(), G_URI_FLAGS_ENCODED, nullptr);
    if (!resolved)
        return std::nullopt;
    std::string result(resolved);
    g_free(resolved);
    return result;
}

} // namespace platform
