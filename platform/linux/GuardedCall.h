#pragma once
// Runs the body of a GLib or GTK callback so that no exception leaves it: one that escapes is
// written to standard error and dropped, as the main queue does with its tasks.

#include <cstdio>
#include <exception>

namespace platform::gtk {

template <class Body>
void guardedCall(const char* where, Body&& body) noexcept
{
    try {
        body();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "webcontainer: %s threw: %s\n", where, e.what());
    } catch (...) {
        std::fprintf(stderr, "webcontainer: %s threw\n", where);
    }
}

} // namespace platform::gtk
