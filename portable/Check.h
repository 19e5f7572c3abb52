#pragma once
// Checks of invariants that stay on in every build (release builds too): a broken one is a
// fault of the program, so it is logged as an error through the logger, written to standard
// error whatever the log level, and the process aborts.
//   WEBCONTAINER_CHECK(alert.actions.size() > 0);
//   requireMainThread();   // first line of a main-thread-only entry point
// Safe from any thread.

#include <string>

namespace platform {

// A place in the source: by default the place of the call whose default argument builds it.
// Made of the compilers' builtins rather than std::source_location, which clang 14 with
// libstdc++ 12 (the fuzz build) lacks; every build takes this one way.
struct SourceLocation {
    SourceLocation(const char* file = __builtin_FILE(), int line = __builtin_LINE(),
                   const char* function = __builtin_FUNCTION())
        : file(file), line(line), function(function)
    {
    }
    const char* file;
    int line;
    const char* function;
};

// Logs `message` with the place `where`, writes both to standard error and aborts.
[[noreturn]] void fatalError(const std::string& message, SourceLocation where = {});

// Aborts unless the calling thread is the main thread (see setMainThread() in Dispatch.h).
// `where` names the entry point in the log line; the caller's place by default.
void requireMainThread(SourceLocation where = {});

} // namespace platform

#define WEBCONTAINER_CHECK(condition)                                                                  \
    do {                                                                                               \
        if (!(condition))                                                                              \
            ::platform::fatalError("check failed: " #condition);                                       \
    } while (0)
