#pragma once
// Reachability with flags the test sets. Safe from any thread.

#include "platform/Reachability.h"

#include <atomic>

namespace testsupport {

class FakeReachability final : public platform::Reachability {
public:
    // The flags every later read returns.
    void setFlags(std::uint32_t flags);
    // Every later read fails.
    void setUnreadable();

protected:
    std::optional<std::uint32_t> flagsImpl() const override;

private:
    std::atomic<bool> readable_{true};
    std::atomic<std::uint32_t> flags_{0};
};

} // namespace testsupport
