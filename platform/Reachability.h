#pragma once
// Network reachability of the internet at large, as a word of flags:
//   reachable           0x2      a route to the internet exists
//   connectionRequired  0x4      a connection must be set up before traffic can flow
//   isWWAN              0x40000  the route goes over a cellular (metered) connection
// Safe from any thread. Installed in platform::Platform, which outlives every caller.

#include <cstdint>
#include <optional>

namespace platform {

class Reachability {
public:
    static constexpr std::uint32_t reachable = 0x2;
    static constexpr std::uint32_t connectionRequired = 0x4;
    static constexpr std::uint32_t isWWAN = 0x40000;

    virtual ~Reachability() = default;

    // The current flags, only the three above; nothing when they cannot be read.
    std::optional<std::uint32_t> flags() const;

protected:
    virtual std::optional<std::uint32_t> flagsImpl() const = 0;
};

} // namespace platform
