#include "tests/support/TestIsolation.h"

#include "app/CompositionRoot.h"
#include "platform/Clock.h"
#include "platform/Platform.h"
#include "portable/Bundle.h"
#include "portable/Dispatch.h"

#include <cstdio>
#include <cstdlib>

namespace testsupport {
namespace {

void buildSharedInstances()
{
    if (const auto failure = CompositionRoot::build()) {
        std::fprintf(stderr, "cannot build the shared instances for a test: %s\n", failure->message.c_str());
        std::abort();
    }
}

} // namespace

void TestIsolation::begin()
{
    home_.emplace();
    platform::Bundle::setMainForTesting(WEBCONTAINER_TEST_BUNDLE_DIR);
    buildSharedInstances();
}

void TestIsolation::end()
{
    // Work the test left on the main queue runs while what it reads still exists.
    platform::drainMainQueue();
    CompositionRoot::tearDown();
    // The doubles of the test are gone; nothing of them may stay installed.
    platform::install(platform::Platform{});
    platform::setClockForTesting(nullptr);
    home_.reset();
}

void rebuildSharedInstances()
{
    CompositionRoot::tearDown();
    buildSharedInstances();
}

} // namespace testsupport
