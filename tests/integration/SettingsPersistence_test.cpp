// Settings survive the process: written in one process, read in the next.
#include "tests/support/TestEnvironment.h"

#include <gtest/gtest.h>

using testsupport::runProcess;
using testsupport::toolPath;

TEST(SettingsPersistence, SynchronizedValueIsReadByTheNextProcess)
{
    const auto tool = toolPath("settings_tool").string();
    const std::string bundle = WEBCONTAINER_TEST_BUNDLE_DIR;
    const auto written = runProcess({tool, bundle, "set", "cli_name", "a \"quoted\" value\nwith a line break"});
    ASSERT_EQ(written.exitStatus, 0) << written.err;
    auto read = runProcess({tool, bundle, "get", "cli_name"});
    ASSERT_EQ(read.exitStatus, 0) << read.err;
    EXPECT_EQ(read.out, "a \"quoted\" value\nwith a line break");
    // Registered defaults are not written: a fresh process still sees them, and missing keys stay missing.
    const auto registered = runProcess({tool, bundle, "get", "serverprotocol"});
    EXPECT_EQ(registered.out, "http://") << registered.exitStatus << ": " << registered.err;
    EXPECT_EQ(runProcess({tool, bundle, "get", "never_set"}).exitStatus, 1);
}

TEST(SettingsPersistence, ValueWrittenWithoutSynchronizeSurvivesANormalExit)
{
    const auto tool = toolPath("settings_tool").string();
    const std::string bundle = WEBCONTAINER_TEST_BUNDLE_DIR;
    ASSERT_EQ(runProcess({tool, bundle, "set-unsynced", "cli_late", "kept"}).exitStatus, 0);
    EXPECT_EQ(runProcess({tool, bundle, "get", "cli_late"}).out, "kept");
}
