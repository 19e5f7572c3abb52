#include "platform/URLOpener.h"

#include "portable/Check.h"

namespace platform {

void URLOpener::open(const std::string& url)
{
    requireMainThread();
    openImpl(url);
}

bool URLOpener::canOpen(const std::string& url)
{
    requireMainThread();
    return canOpenImpl(url);
}

} // namespace platform
