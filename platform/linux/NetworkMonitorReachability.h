#pragma once
// Reachability from GIO's network monitor: an available network is reachable, and a metered
// connection counts as cellular. No connection ever needs setting up first. Safe from any
// thread; the monitor is GIO's process-wide default, which lives as long as the process.

#include "platform/Reachability.h"

namespace platform {

class NetworkMonitorReachability final : public Reachability {
protected:
    std::optional<std::uint32_t> flagsImpl() const override;
};

} // namespace platform
