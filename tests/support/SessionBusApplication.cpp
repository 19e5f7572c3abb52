#include "tests/support/SessionBusApplication.h"

namespace testsupport {

const PrivateSessionBus& processBus()
{
    static const PrivateSessionBus bus;
    return bus;
}

GApplication* registeredApplication()
{
    static GApplication* application = [] {
        processBus();
        GApplication* made = g_application_new(kSessionBusApplicationID, GApplicationFlags(0));
        if (g_application_register(made, nullptr, nullptr))
            g_dbus_connection_set_exit_on_close(g_application_get_dbus_connection(made), FALSE);
        return made;
    }();
    return application;
}

} // namespace testsupport
