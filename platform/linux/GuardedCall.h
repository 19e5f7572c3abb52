#pragma once
// GLib and GTK callbacks run their bodies through the platform's one exception barrier.
// Safe from any thread, like the barrier itself.

#include "portable/GuardedCall.h"

namespace platform::gtk {

using platform::guardedCall;

} // namespace platform::gtk
