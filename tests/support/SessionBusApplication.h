#pragma once
// One private session bus and one GApplication registered on it for the whole test process, as
// the real application has one: a registered GApplication is never released (released early it
// leaves GIO sources behind that crash a later main-loop pass) and keeps its first session-bus
// connection, so a second run in the same process (a repeated or whole run) uses both again. The
// bus stops when the process exits; the application's connection then closes without ending the
// process. Main thread.

#include "tests/support/PrivateSessionBus.h"

#include <gio/gio.h>

namespace testsupport {

inline constexpr const char* kSessionBusApplicationID = "org.webcontainer.test";

const PrivateSessionBus& processBus();
// The application "org.webcontainer.test", registered on processBus().
GApplication* registeredApplication();

} // namespace testsupport
