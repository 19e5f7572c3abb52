#pragma once
// Every test starts from a fresh process state, also when a test program runs whole or
// repeated: before each test a new temporary home (HOME and the XDG folders, see
// TemporaryHome), the built bundle as the main bundle and the shared instances built afresh by
// the composition root; after it the main queue runs dry and the shared instances, the
// installed platform, the clock and the home are torn down. The test main registers it.
// Main thread only. A test waits for the work it started on other threads (a server call in
// flight) before it ends: the shared instances that work reads are gone afterwards.

#include "tests/support/TestEnvironment.h"

#include <gtest/gtest.h>

#include <optional>

namespace testsupport {

class TestIsolation : public testing::EmptyTestEventListener {
public:
    void OnTestStart(const testing::TestInfo& test) override;
    void OnTestEnd(const testing::TestInfo& test) override;

private:
    std::optional<TemporaryHome> home_;
};

// Tears the shared instances down and builds them again from the main bundle and the
// environment as they are now: for a test that changes either before the code under test
// builds what it reads from them.
void rebuildSharedInstances();

} // namespace testsupport
