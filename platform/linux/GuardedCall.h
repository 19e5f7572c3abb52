#pragma once
// GLib and GTK callbacks run their bodies through the platform's one exception barrier.

#include "platform/GuardedCall.h"

namespace platform::gtk {

using platform::guardedCall;

} // namespace platform::gtk
