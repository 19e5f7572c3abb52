#include "tests/support/FakeReachability.h"

namespace testsupport {

void FakeReachability::setFlags(std::uint32_t flags)
{
    flags_ = flags;
    readable_ = true;
}

void FakeReachability::setUnreadable()
{
    readable_ = false;
}

std::optional<std::uint32_t> FakeReachability::flagsImpl() const
{
    if (!readable_)
        return std::nullopt;
    return flags_.load();
}

} // namespace testsupport
