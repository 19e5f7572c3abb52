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
    struct Case {
        const char* name;
        std::optional<std::string> preferences;
    };
    const Case cases[] = {
        {"missing", std::nullopt},
        {"array", "<plist><array><string>not a dict</string></array></plist>"},
    };
    for (const auto& c : cases) {
        // The executable finds its bundle beside itself: a copy beside a broken bundle.
        const fs::path folder = testsupport::makeTemporaryFolder("installed");
        fs::copy_file(WEBCONTAINER_TEST_EXECUTABLE, folder / "webcontainer");
        fs::copy(WEBCONTAINER_TEST_BUNDLE_DIR, folder / "bundle", fs::copy_options::recursive);
        fs::remove(folder / "bundle" / "DefaultPreferences.plist");
        if (c.preferences)
            testsupport::writeFile(folder / "bundle" / "DefaultPreferences.plist", *c.preferences);

        const auto result = testsupport::runProcess({(folder / "webcontainer").string()});
        EXPECT_EQ(result.exitStatus, 1) << c.name;
        EXPECT_THAT(result.err, HasSubstr("DefaultPreferences.plist is missing or is not a dictionary")) << c.name;
        EXPECT_THAT(result.err, HasSubstr("cannot start")) << c.name;
    }
}
