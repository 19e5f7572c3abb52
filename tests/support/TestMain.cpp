// The main of every test program. Each test process gets a fresh temporary home: HOME and the
// XDG folders point into it, so settings, the web root and caches of one test never meet
// another's. The main bundle is the built bundle unless a test picks another.

#include "platform/Bundle.h"
#include "platform/Dispatch.h"
#include "tests/support/TestEnvironment.h"

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    testsupport::TemporaryHome home;
    platform::setMainThread();
    platform::Bundle::setMainForTesting(WEBCONTAINER_TEST_BUNDLE_DIR);
    return RUN_ALL_TESTS();
}
