#include "platform/URLOpener.h"

#include "platform/Check.h"

namespace platform {

void URLOpener::open(const std::string& url)
{
    requireMainThread();
    openImpl(url);
}

} // namespace platform
