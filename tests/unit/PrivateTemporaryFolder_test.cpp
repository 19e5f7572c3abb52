// The program's own folder for temporary files: private, one per run, and what earlier runs left
// is cleaned away.
#include "portable/Paths.h"
#include "portable/PrivateTemporaryFolder.h"
#include "tests/support/TestEnvironment.h"

#include <gtest/gtest.h>

namespace fs = std::filesystem;
using platform::PrivateTemporaryFolder;

// A folder of a run that ended goes when the next run makes its own; one a running run holds
// stays; each is private and goes with its object.
TEST(PrivateTemporaryFolder, isPrivateToItsRunAndCleansUpAfterEarlierRuns)
{
    const fs::path parent = platform::paths::cacheHome() / "org.test.app";
    testsupport::writeFile(parent / "tmp-left" / "update.zip", "stale");
    testsupport::writeFile(parent / "kept" / "file", "not a folder of a run");

    auto running = PrivateTemporaryFolder::create("org.test.app");
    ASSERT_TRUE(running);
    EXPECT_EQ(parent, running->path().parent_path());
    EXPECT_FALSE(fs::exists(parent / "tmp-left"));
    EXPECT_TRUE(fs::exists(parent / "kept" / "file"));
    EXPECT_EQ(fs::perms::owner_all, fs::status(running->path()).permissions() & fs::perms::all);

    testsupport::writeFile(running->path() / "update.zip", "in use");
    auto next = PrivateTemporaryFolder::create("org.test.app");
    ASSERT_TRUE(next);
    EXPECT_NE(running->path(), next->path());
    EXPECT_EQ("in use", testsupport::readFile(running->path() / "update.zip"));

    const fs::path ended = running->path();
    running.reset();
    EXPECT_FALSE(fs::exists(ended));

    // Without a usable cache folder the session's runtime folder serves.
    const fs::path blocked = testsupport::makeTemporaryFolder("blocked") / "cache";
    testsupport::writeFile(blocked, "a file, no folder");
    const fs::path runtime = testsupport::makeTemporaryFolder("runtime");
    testsupport::ScopedEnvironment environment{{"XDG_CACHE_HOME", blocked.string()}, {"XDG_RUNTIME_DIR", runtime.string()}};
    const auto fallback = PrivateTemporaryFolder::create("org.test.app");
    ASSERT_TRUE(fallback);
    EXPECT_EQ(runtime / "org.test.app", fallback->path().parent_path());
}
