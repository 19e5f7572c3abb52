#pragma once
// The one exception barrier. Code that a C library or a thread loop calls (GLib and GTK
// callbacks, queue tasks, libcurl's worker, the bridge's command handlers) runs its body through
// guardedCall(): an exception that escapes the body is logged as an error through the logger,
// naming `where`, and dropped, so none unwinds into GLib, libcurl or a thread's start routine.
// Safe from any thread.

#include <string_view>
#include <utility>

namespace platform {

// Logs the exception being handled as one that escaped from `where`. Call it only inside a
// catch block.
void logEscapedException(std::string_view where) noexcept;

template <class Body>
void guardedCall(std::string_view where, Body&& body) noexcept
{
    try {
        std::forward<Body>(body)();
    } catch (...) {
        logEscapedException(where);
    }
}

} // namespace platform
