// The application's executable refuses to start from a bundle without a readable
// "DefaultPreferences.plist": it says so on standard error and exits with status 1 before it
// opens a window.
#include "tests/support/TestEnvironment.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace fs = std::filesystem;
using testing::HasSubstr;

TEST(Startup, ABundleWithoutReadableDefaultPreferencesEndsMainWithStatusOne)
{
    for (const auto& broken : testsupport::brokenDefaultPreferences()) {
        // The executable finds its bundle beside itself: a copy beside a broken bundle.
        const fs::path folder = testsupport::makeTemporaryFolder("installed");
        fs::copy_file(WEBCONTAINER_TEST_EXECUTABLE, folder / "webcontainer");
        testsupport::copyBundleWithPreferences(folder / "bundle", broken.contents);

        const auto result = testsupport::runProcess({(folder / "webcontainer").string()});
        EXPECT_EQ(result.exitStatus, 1) << broken.name;
        EXPECT_THAT(result.err, HasSubstr("DefaultPreferences.plist is missing or is not a dictionary")) << broken.name;
        EXPECT_THAT(result.err, HasSubstr("cannot start")) << broken.name;
    }
}
