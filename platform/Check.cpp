#include "platform/Check.h"

#include "base/Logger.h"
#include "platform/Dispatch.h"

#include <cstdio>
#include <cstdlib>

namespace platform {

void fatalError(const std::string& message, std::source_location where)
{
    sharedLogger().error(message, where.function_name(), where.file_name(), static_cast<int>(where.line()));
    // The logger is silent by default: the reason for the abort goes to standard error as well.
    std::fprintf(stderr, "webcontainer: fatal error: %s (%s, %s:%u)\n", message.c_str(), where.function_name(),
                 where.file_name(), static_cast<unsigned>(where.line()));
    std::fflush(stderr);
    std::abort();
}

void requireMainThread(std::source_location where)
{
    if (!isMainThread())
        fatalError(std::string("main thread only: ") + where.function_name(), where);
}

} // namespace platform
