// The main of every test program. Each test gets a fresh process state (a temporary home, the
// built bundle, the shared instances built afresh; see TestIsolation), so the tests pass alike
// when CTest runs each as a process of its own and when a program runs whole or repeated.

#include "platform/Dispatch.h"
#include "tests/support/TestIsolation.h"

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    platform::setMainThread();
    testing::UnitTest::GetInstance()->listeners().Append(new testsupport::TestIsolation());
    return RUN_ALL_TESTS();
}
