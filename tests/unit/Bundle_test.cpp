#include "portable/Bundle.h"
#include "portable/StringsFile.h"
#include "tests/support/TestEnvironment.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

using platform::Bundle;
using testsupport::ScopedEnvironment;

namespace {

std::filesystem::path makeBundle()
{
    auto dir = testsupport::makeTemporaryFolder("bundle");
    testsupport::writeFile(dir / "Info.plist", R"(<?xml version="1.0"?><plist version="1.0"><dict>
<key>CFBundleIdentifier</key><string>org.example.test</string>
<key>CFBundleShortVersionString</key><string>2.3.4</string>
<key>CFBundleDevelopmentRegion</key><string>en</string></dict></plist>)");
    testsupport::writeFile(dir / "en.lproj" / "Localizable.strings", "\"HELLO\" = \"Hello\";\n\"ONLY_EN\" = \"English\";");
    testsupport::writeFile(dir / "de.lproj" / "Localizable.strings", "\"HELLO\" = \"Hallo\";");
    return dir;
}

} // namespace

TEST(Bundle, ReadsIdentifierVersionAndResources)
{
    Bundle bundle(makeBundle());
    EXPECT_EQ(bundle.identifier(), "org.example.test");
    EXPECT_EQ(bundle.shortVersion(), "2.3.4");
    EXPECT_TRUE(bundle.pathForResource("Info", "plist"));
    EXPECT_FALSE(bundle.pathForResource("app", "zip"));
}

TEST(Bundle, LocaleNamesBecomeLanguageTags)
{
    EXPECT_EQ(platform::languageTagFromLocale("de_DE.UTF-8"), "de-DE");
    EXPECT_EQ(platform::languageTagFromLocale("fr_CA@euro"), "fr-CA");
    EXPECT_EQ(platform::languageTagFromLocale("en"), "en");
    EXPECT_EQ(platform::languageTagFromLocale("C.UTF-8"), "");
    EXPECT_EQ(platform::languageTagFromLocale("POSIX"), "");
}

TEST(Bundle, PreferredLanguagesFollowTheEnvironmentOrder)
{
    {
        ScopedEnvironment env{{"LANGUAGE", "de_AT:fr"}, {"LC_ALL", std::nullopt}, {"LANG", "it_IT.UTF-8"}};
        EXPECT_EQ(platform::preferredLanguages(), (std::vector<std::string>{"de-AT", "fr", "it-IT"}));
    }
    {
        ScopedEnvironment env{{"LANGUAGE", std::nullopt}, {"LC_ALL", "C"}, {"LANG", "de_DE.UTF-8"}};
        // LC_ALL overrides LANG even when it names no language; English stands in then.
        EXPECT_EQ(platform::preferredLanguages(), (std::vector<std::string>{"en"}));
    }
    {
        ScopedEnvironment env{{"LANGUAGE", std::nullopt}, {"LC_ALL", std::nullopt}, {"LANG", "de_DE.UTF-8"}};
        EXPECT_EQ(platform::preferredLanguages(), (std::vector<std::string>{"de-DE"}));
    }
}

TEST(Bundle, LocalizedStringsFollowThePreferredLanguage)
{
    const auto dir = makeBundle();
    {
        ScopedEnvironment env{{"LANG", "de_DE.UTF-8"}};
        Bundle bundle(dir);
        EXPECT_EQ(bundle.localizedString("HELLO"), "Hallo");
        // A key the chosen table lacks shows the key itself.
        EXPECT_EQ(bundle.localizedString("ONLY_EN"), "ONLY_EN");
        EXPECT_EQ(bundle.localizedString("JS_ALERT_TITLE_WARN"), "JS_ALERT_TITLE_WARN");
    }
    {
        // A language the bundle lacks falls back to the development region.
        ScopedEnvironment env{{"LANG", "fr_FR.UTF-8"}};
        Bundle bundle(dir);
        EXPECT_EQ(bundle.localizedString("HELLO"), "Hello");
        EXPECT_EQ(bundle.preferredLocalizations().front(), "en");
    }
}

// A key added to one string table only shows the bare key to users of the other language.
TEST(Bundle, TheShippedStringTablesTranslateTheSameKeys)
{
    std::map<std::string, std::set<std::string>> keys;
    for (const char* language : {"en", "de"}) {
        const auto path = std::filesystem::path(WEBCONTAINER_TEST_BUNDLE_DIR) / (std::string(language) + ".lproj")
            / "Localizable.strings";
        const auto table = platform::parseStringsFile(testsupport::readFile(path));
        ASSERT_TRUE(table) << path;
        for (const auto& [key, text] : *table) {
            EXPECT_FALSE(text.empty()) << language << " " << key;
            keys[language].insert(key);
        }
    }
    EXPECT_EQ(keys["en"], keys["de"]);
}
