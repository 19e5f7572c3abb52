// The main of every test program. Each test gets a fresh process state (a temporary home, the
// built bundle, the shared instances built afresh; see TestIsolation), so the tests pass alike
// when CTest runs each as a process of its own and when a program runs whole or repeated.

#include "portable/Dispatch.h"
#include "tests/support/TestIsolation.h"

#include <gtest/gtest.h>

#include <string_view>

int main(int argc, char** argv)
{
    bool deathTestChild = false;
    for (int i = 1; i < argc; ++i)
        deathTestChild = deathTestChild || std::string_view(argv[i]).starts_with("--gtest_internal_run_death_test");
    // A death test runs in a fresh process started anew, never in a fork of this one: the worker
    // threads of earlier tests may hold a lock at the fork, and the forked child then waits forever.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    testing::InitGoogleTest(&argc, argv);
    platform::setMainThread();
    if (deathTestChild)
        testing::AddGlobalTestEnvironment(new testsupport::DeathTestChildIsolation());
    else
        testing::UnitTest::GetInstance()->listeners().Append(new testsupport::TestIsolation());
    return RUN_ALL_TESTS();
}
