#include "platform/URLOpener.h"

#include "platform/Dispatch.h"

#include <cassert>

namespace platform {

void URLOpener::open(const std::string& url)
{
    assert(isMainThread() && "URLs are opened from the main thread");
    openImpl(url);
}

} // namespace platform
