#include "base/Config.h"
#include "base/SettingsImport.h"
#include "portable/PlistSerialization.h"
#include "portable/SettingsStore.h"
#include "tests/support/TestEnvironment.h"

#include <gtest/gtest.h>

namespace fs = std::filesystem;
using platform::PlistValue;

namespace {

fs::path writePlist(const PlistValue& value, platform::PlistFormat format)
{
    const fs::path path = testsupport::makeTemporaryFolder("plist") / "info.plist";
    testsupport::writeFile(path, platform::plistToBytes(value, format));
    return path;
}

PlistValue packageSettings()
{
    return platform::PlistDict{
        {"lazyload", "nonhtml"},
        {"askwifi", PlistValue(5000000)},
        {"flag", PlistValue(true)},
        {"list", platform::PlistArray{"a"}},
        {"nested", platform::PlistDict{{"x", "y"}}},
        {"data", platform::PlistData{1, 2}},
        {"servername", "updates.example.org"},
    };
}

} // namespace

class ReadPListToDefaultPref : public testing::TestWithParam<platform::PlistFormat> {};

TEST_P(ReadPListToDefaultPref, StoresTextEntriesAndSkipsTheOthers)
{
    auto& defaults = sharedConfig().defaults;
    const auto registeredAskWifi = defaults.object("askwifi");
    defaults.set("user", "kept");

    EXPECT_TRUE(readPListToDefaultPref(writePlist(packageSettings(), GetParam())));

    EXPECT_EQ(defaults.string("lazyload"), "nonhtml");
    EXPECT_EQ(defaults.string("servername"), "updates.example.org");
    EXPECT_EQ(defaults.object("askwifi"), registeredAskWifi);
    for (const char* skipped : {"flag", "list", "nested", "data"})
        EXPECT_EQ(defaults.object(skipped), std::nullopt) << skipped;
    EXPECT_EQ(defaults.string("user"), "kept");

    // Stored, not registered: the values reach the settings file.
    ASSERT_TRUE(defaults.flush());
    platform::SettingsStore reread(defaults.file());
    EXPECT_EQ(reread.string("lazyload"), "nonhtml");
}

INSTANTIATE_TEST_SUITE_P(Formats, ReadPListToDefaultPref,
                         testing::Values(platform::PlistFormat::Xml, platform::PlistFormat::Binary),
                         [](const auto& info) { return info.param == platform::PlistFormat::Xml ? "Xml" : "Binary"; });

TEST(ReadPListToDefaultPrefFailures, MissingFileOrNoDictionaryGivesFalseAndChangesNothing)
{
    auto& defaults = sharedConfig().defaults;
    const auto before = defaults.dictionaryRepresentation();

    EXPECT_FALSE(readPListToDefaultPref(sharedConfig().BASEURL / "missing.plist"));
    EXPECT_FALSE(readPListToDefaultPref(writePlist(platform::PlistArray{"lazyload", "all"}, platform::PlistFormat::Xml)));
    const fs::path garbage = testsupport::makeTemporaryFolder("garbage") / "info.plist";
    testsupport::writeFile(garbage, "lazyload = all");
    EXPECT_FALSE(readPListToDefaultPref(garbage));

    EXPECT_EQ(defaults.dictionaryRepresentation(), before);
}

TEST(SaveQueryParams, ValueEmptyValueAndNoValue)
{
    auto& defaults = sharedConfig().defaults;
    defaults.set("cli_c", "old");
    saveQueryParams("index.html?a=1&b=&c");
    EXPECT_EQ(defaults.string("cli_a"), "1");
    EXPECT_EQ(defaults.string("cli_b"), "");
    EXPECT_EQ(defaults.object("cli_c"), std::nullopt);
}

TEST(SaveQueryParams, ItemsAreDecodedAndTheLastOfTwoWins)
{
    auto& defaults = sharedConfig().defaults;
    saveQueryParams("file:///app/www/page.html?name=J%C3%BCrgen%20M&x=1&x=2&eq=a=b&plus=a+b#frag");
    EXPECT_EQ(defaults.string("cli_name"), "Jürgen M");
    EXPECT_EQ(defaults.string("cli_x"), "2");
    EXPECT_EQ(defaults.string("cli_eq"), "a=b");
    EXPECT_EQ(defaults.string("cli_plus"), "a+b");
    EXPECT_EQ(defaults.object("cli_frag"), std::nullopt);
}

TEST(SaveQueryParams, NoQueryOrNoUrlChangesNothing)
{
    auto& defaults = sharedConfig().defaults;
    const auto before = defaults.dictionaryRepresentation();
    saveQueryParams("index.html");
    saveQueryParams("index.html?");
    // A broken escape makes the whole text no URL.
    saveQueryParams("index.html?a=1&b=%zz");
    // Values that do not decode to text are not stored.
    saveQueryParams("index.html?a=1&b=%FF");
    EXPECT_EQ(defaults.dictionaryRepresentation(), before);
}
