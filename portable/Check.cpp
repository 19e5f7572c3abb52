#include "portable/Check.h"

#include "logger/Logger.h"
#include "portable/Dispatch.h"

#include <cstdio>
#include <cstdlib>

namespace platform {

void fatalError(const std::string& message, SourceLocation where)
{
    sharedLogger().error(message, where.function, where.file, where.line);
    // The logger is silent by default: the reason for the abort goes to standard error as well.
    std::fprintf(stderr, "webcontainer: fatal error: %s (%s, %s:%d)\n", message.c_str(), where.function, where.file,
                 where.line);
    std::fflush(stderr);
    std::abort();
}

void requireMainThread(SourceLocation where)
{
    if (!isMainThread())
        fatalError(std::string("main thread only: ") + where.function, where);
}

} // namespace platform
