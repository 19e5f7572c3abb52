#pragma once
// Checks of invariants that stay on in every build (release builds too): a broken one is a
// fault of the program, so it is logged as an error through the logger, written to standard
// error whatever the log level, and the process aborts.
//   WEBCONTAINER_CHECK(alert.actions.size() > 0);
//   requireMainThread();   // first line of a main-thread-only entry point
// Safe from any thread.

#include <source_location>
#include <string>

namespace platform {

// Logs `message` with the place `where`, writes both to standard error and aborts.
[[noreturn]] void fatalError(const std::string& message,
                             std::source_location where = std::source_location::current());

// Aborts unless the calling thread is the main thread (see setMainThread() in Dispatch.h).
// `where` names the entry point in the log line; the caller's place by default.
void requireMainThread(std::source_location where = std::source_location::current());

} // namespace platform

#define WEBCONTAINER_CHECK(condition)                                                                  \
    do {                                                                                               \
        if (!(condition))                                                                              \
            ::platform::fatalError("check failed: " #condition);                                       \
    } while (0)
