#pragma once
// A D-Bus session bus of the test's own: a dbus-daemon started for the test, named by
// DBUS_SESSION_BUS_ADDRESS while it lives (set it up before anything in the process connects to
// the session bus: GLib keeps its first connection). Stopped and the variable restored at the end.

#include <gio/gio.h>
#include <unistd.h>

#include <string>

namespace testsupport {

class PrivateSessionBus {
public:
    // Throws when dbus-daemon cannot start.
    PrivateSessionBus();
    ~PrivateSessionBus();
    PrivateSessionBus(const PrivateSessionBus&) = delete;
    PrivateSessionBus& operator=(const PrivateSessionBus&) = delete;

    const std::string& address() const { return address_; }
    // A connection of its own to the bus (the caller owns it); it owns `name` when one is given.
    GDBusConnection* connect(const char* name = nullptr) const;
    // Stops the daemon (SIGSTOP), so every call on the bus waits for an answer until resume().
    void suspend() const;
    void resume() const;

private:
    GPid pid_ = 0;
    pid_t owner_ = ::getpid();
    std::string address_;
    std::string savedAddress_;
    bool hadAddress_ = false;
};

} // namespace testsupport
