#include "tests/support/PrivateSessionBus.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <cstdlib>
#include <stdexcept>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace testsupport {

namespace {
// Runs in the daemon before it starts: it ends with the test process however that ends (a crash,
// a time-out's kill), so no daemon outlives its test.
void dieWithParent(gpointer)
{
    ::prctl(PR_SET_PDEATHSIG, SIGTERM);
}
} // namespace

PrivateSessionBus::PrivateSessionBus()
{
    const char* argv[] = {"dbus-daemon", "--session", "--nofork", "--print-address=1", nullptr};
    int out = -1;
    g_autoptr(GError) error = nullptr;
    // Its output goes to this pipe and to nowhere, so it never holds the test runner's output open.
    // Not reaped by GLib: GLib would otherwise start the daemon from a short-lived intermediate
    // child, whose exit sends the daemon its death signal before it has named its address.
    const auto flags =
        static_cast<GSpawnFlags>(G_SPAWN_SEARCH_PATH | G_SPAWN_STDERR_TO_DEV_NULL | G_SPAWN_DO_NOT_REAP_CHILD);
    if (!g_spawn_async_with_pipes(nullptr, const_cast<char**>(argv), nullptr, flags, dieWithParent, nullptr, &pid_,
                                  nullptr, &out, nullptr, &error))
        throw std::runtime_error(std::string("cannot start dbus-daemon: ") + error->message);
    char c = 0;
    ssize_t got = 0;
    while ((got = ::read(out, &c, 1)) == 1 || (got < 0 && errno == EINTR)) {
        if (got != 1)
            continue;
        if (c == '\n')
            break;
        address_ += c;
    }
    const int readError = got < 0 ? errno : 0;
    ::close(out);
    if (address_.empty())
        throw std::runtime_error("dbus-daemon named no address (read: " + std::string(std::strerror(readError)) + ")");
    if (const char* saved = std::getenv("DBUS_SESSION_BUS_ADDRESS")) {
        hadAddress_ = true;
        savedAddress_ = saved;
    }
    ::setenv("DBUS_SESSION_BUS_ADDRESS", address_.c_str(), 1);
}

void PrivateSessionBus::suspend() const
{
    ::kill(pid_, SIGSTOP);
}

void PrivateSessionBus::resume() const
{
    ::kill(pid_, SIGCONT);
}

PrivateSessionBus::~PrivateSessionBus()
{
    // A forked child that exits normally runs this too; the daemon is its parent's to stop.
    if (::getpid() != owner_)
        return;
    if (hadAddress_)
        ::setenv("DBUS_SESSION_BUS_ADDRESS", savedAddress_.c_str(), 1);
    else
        ::unsetenv("DBUS_SESSION_BUS_ADDRESS");
    ::kill(pid_, SIGTERM);
    ::waitpid(pid_, nullptr, 0);
    g_spawn_close_pid(pid_);
}

GDBusConnection* PrivateSessionBus::connect(const char* name) const
{
    g_autoptr(GError) error = nullptr;
    auto flags = static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                                   G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION);
    GDBusConnection* connection =
        g_dbus_connection_new_for_address_sync(address_.c_str(), flags, nullptr, nullptr, &error);
    if (!connection)
        throw std::runtime_error(std::string("cannot connect to the private bus: ") + error->message);
    if (name) {
        g_autoptr(GVariant) reply = g_dbus_connection_call_sync(
            connection, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "RequestName",
            g_variant_new("(su)", name, 4u /* DBUS_NAME_FLAG_DO_NOT_QUEUE */), G_VARIANT_TYPE("(u)"),
            G_DBUS_CALL_FLAGS_NONE, -1, nullptr, &error);
        guint32 result = 0;
        if (reply)
            g_variant_get(reply, "(u)", &result);
        if (result != 1 /* DBUS_REQUEST_NAME_REPLY_PRIMARY_OWNER */) {
            g_object_unref(connection);
            throw std::runtime_error(std::string("cannot own ") + name + " on the private bus");
        }
    }
    return connection;
}

} // namespace testsupport
