#pragma once
// Every test starts from a fresh process state, also when a test program runs whole or
// repeated: before each test a new temporary home (HOME and the XDG folders, see
// TemporaryHome), the built bundle as the main bundle and the shared instances built afresh by
// the composition root; after it the main queue runs dry and the shared instances, the
// installed platform, the clock and the home are torn down. The test main registers it.
// Main thread only. URL session tasks a test leaves running are cancelled, and their
// completions run, before the shared instances they read go.

#include "tests/support/TestEnvironment.h"

#include <gtest/gtest.h>

#include <optional>

namespace testsupport {

class TestIsolation : public testing::EmptyTestEventListener {
public:
    void OnTestStart(const testing::TestInfo&) override { begin(); }
    void OnTestEnd(const testing::TestInfo&) override { end(); }

    void begin();
    void end();

private:
    std::optional<TemporaryHome> home_;
};

// The same fresh state for the one test a death-test child process runs: Google Test tells no
// listener of it there, but it sets up the environments.
class DeathTestChildIsolation : public testing::Environment {
public:
    void SetUp() override { isolation_.begin(); }
    void TearDown() override { isolation_.end(); }

private:
    TestIsolation isolation_;
};

// Tears the shared instances down and builds them again from the main bundle and the
// environment as they are now: for a test that changes either before the code under test
// builds what it reads from them.
void rebuildSharedInstances();

} // namespace testsupport
