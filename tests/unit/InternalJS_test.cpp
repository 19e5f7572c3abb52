#include "base/Config.h"
#include "base/InternalJS.h"
#include "portable/Bundle.h"
#include "portable/PlistSerialization.h"
#include "tests/support/LogCapture.h"
#include "tests/support/TestEnvironment.h"

#include <gtest/gtest.h>

namespace fs = std::filesystem;
using testsupport::readFile;

namespace {

// Makes the main bundle one whose short version is `version` (or that has none).
void useBundleVersion(const std::optional<std::string>& version)
{
    sharedConfig(); // built from the real bundle's preferences first
    const fs::path bundle = testsupport::makeTemporaryFolder("bundle");
    platform::PlistDict info{{"CFBundleIdentifier", "org.webcontainer.app"}};
    if (version)
        info["CFBundleShortVersionString"] = *version;
    testsupport::writeFile(bundle / "Info.plist", platform::plistToBytes(info));
    platform::Bundle::setMainForTesting(bundle);
}

class WriteInternalJS : public testing::Test {
protected:
    void SetUp() override
    {
        fs::create_directories(folder);
        sharedConfig().defaults.set("user", "");
        sharedConfig().defaults.set("uuid", "0a1b-2c");
    }

    std::string written() const { return readFile(folder / "internal.js"); }

    testsupport::ScopedEnvironment language{{"LANGUAGE", "en-US"}};
    fs::path folder = sharedConfig().WEBROOT;
};

} // namespace

TEST_F(WriteInternalJS, ExactBytesWithVersionUuidAndLanguage)
{
    useBundleVersion("3.4.5");
    writeInternalJS(folder);
    EXPECT_EQ(written(), "INTERNAL_CONTAINERVERSION = 3.4;\n\r"
                         "INTERNAL_UUID = '0a1b-2c';\r\n"
                         "INTERNAL_LANG = 'en-US';\r\n");
}

TEST_F(WriteInternalJS, AllFourLinesWithTheirLineEnds)
{
    useBundleVersion("3.4");
    sharedConfig().defaults.set("user", "maria");
    writeInternalJS(folder);
    EXPECT_EQ(written(), "INTERNAL_CONTAINERVERSION = 3;\n\r"
                         "INTERNAL_USER = 'maria';\n\r"
                         "INTERNAL_UUID = '0a1b-2c';\r\n"
                         "INTERNAL_LANG = 'en-US';\r\n");
}

TEST_F(WriteInternalJS, VersionWithoutPointAndNonTextSettingsLeaveTheirLinesOut)
{
    useBundleVersion("7");
    sharedConfig().defaults.set("user", platform::PlistValue(5));
    sharedConfig().defaults.set("uuid", platform::PlistValue(true));
    writeInternalJS(folder);
    EXPECT_EQ(written(), "INTERNAL_LANG = 'en-US';\r\n");

    useBundleVersion(std::nullopt);
    writeInternalJS(folder);
    EXPECT_EQ(written(), "INTERNAL_LANG = 'en-US';\r\n");
}

// An apostrophe or a line break in the user name broke the page's script or injected code.
TEST_F(WriteInternalJS, UserAndUuidAreEscapedStringLiterals)
{
    useBundleVersion("1.0");
    sharedConfig().defaults.set("user", "O'Brien';alert(1);//\nx\\");
    sharedConfig().defaults.set("uuid", "id\r\n");
    writeInternalJS(folder);
    EXPECT_EQ(written(), "INTERNAL_CONTAINERVERSION = 1;\n\r"
                         "INTERNAL_USER = 'O\\'Brien\\';alert(1);//\\nx\\\\';\n\r"
                         "INTERNAL_UUID = 'id\\r\\n';\r\n"
                         "INTERNAL_LANG = 'en-US';\r\n");
}

TEST_F(WriteInternalJS, ReplacesAnEarlierFileAndAMissingFolderIsOnlyLogged)
{
    useBundleVersion("2.0");
    testsupport::writeFile(folder / "internal.js", "old");
    writeInternalJS(folder);
    EXPECT_EQ(written().rfind("INTERNAL_CONTAINERVERSION = 2;", 0), 0u);

    testsupport::LogCapture log;
    writeInternalJS(folder / "missing");
    EXPECT_FALSE(fs::exists(folder / "missing"));
    // The log line is the behaviour here: nothing else is observable.
    EXPECT_TRUE(log.contains(Logger::Level::Error, "Error: "));
}
