#include "platform/Check.h"

#include "base/Logger.h"
#include "platform/Dispatch.h"

#include <cstdlib>

namespace platform {

void fatalError(const std::string& message, std::source_location where)
{
    sharedLogger().error(message, where.function_name(), where.file_name(), static_cast<int>(where.line()));
    std::abort();
}

void requireMainThread(std::source_location where)
{
    if (!isMainThread())
        fatalError(std::string("main thread only: ") + where.function_name(), where);
}

} // namespace platform
