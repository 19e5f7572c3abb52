// The rule that confines a page's file reads to one folder, on a real file system with
// symbolic links, and the decoding of a posted text from its JSON form.
#include "platform/linux/JSCValueText.h"
#include "platform/linux/ReadAccessRule.h"
#include "portable/FileURL.h"
#include "tests/support/TestEnvironment.h"

#include <gtest/gtest.h>

namespace fs = std::filesystem;
using platform::gtk::ReadAccessRule;

TEST(ReadAccessRule, FileURLsCountByWhereTheyReallyLead)
{
    const fs::path outer = fs::canonical(testsupport::makeTemporaryFolder("read-access"));
    const fs::path base = outer / "base";
    testsupport::writeFile(base / "www" / "index.html", "page");
    testsupport::writeFile(base / "sync" / "data.txt", "data");
    testsupport::writeFile(outer / "secret.txt", "secret");
    fs::create_directories(outer / "base-evil");
    fs::create_symlink(outer / "secret.txt", base / "www" / "leak.txt");
    fs::create_symlink(outer / "missing.txt", base / "www" / "dangling.txt");
    fs::create_symlink(outer, base / "www" / "up");
    fs::create_symlink("../sync/data.txt", base / "www" / "data.txt");
    fs::create_symlink("loop", base / "www" / "loop");
    // The folder itself reached through a link is resolved once.
    fs::create_symlink(base, outer / "alias");

    const ReadAccessRule rule(outer / "alias");
    const std::string b = platform::fileURLString(base);
    const struct {
        std::string uri;
        bool allowed;
    } cases[] = {
        {b + "/www/index.html", true},
        {b + "/sync/data.txt", true},
        {b + "/www/missing.html", true}, // fails as a missing page, not as a refused one
        {b + "/www/data.txt", true},     // a link that stays inside
        {b + "/www/index.html?x=../../../secret.txt#top", true},
        {"file://localhost" + base.string() + "/www/index.html", true},
        {"https://example.org/secret.txt", true},
        {"data:text/plain,x", true},
        {platform::fileURLString(outer / "secret.txt"), false},
        {b + "/www/../../secret.txt", false},
        {b + "/www/%2E%2E/%2E%2E/secret.txt", false},
        {b + "/www/leak.txt", false},
        {b + "/www/dangling.txt", false}, // the link leads outside even where its target is invisible
        {b + "/www/up/secret.txt", false},
        {b + "/www/loop", false},
        {platform::fileURLString(outer / "base-evil"), false}, // a sibling whose name begins alike
        {"file://otherhost" + base.string() + "/www/index.html", false},
        {b + "/www/a%00b.html", false},
        {"FILE://" + outer.string() + "/secret.txt", false},
    };
    for (const auto& [uri, allowed] : cases)
        EXPECT_EQ(rule.allows(uri), allowed) << uri;

    // Without a folder no file may be read.
    EXPECT_FALSE(ReadAccessRule("").allows(b + "/www/index.html"));
    EXPECT_FALSE(ReadAccessRule("relative").allows(b + "/www/index.html"));
}

TEST(JSCValueText, JSONStringLiteralsDecodeWholeAndLoneSurrogatesStayInvalid)
{
    using namespace std::string_literals;
    const struct {
        std::string json;
        std::optional<std::string> text;
    } cases[] = {
        {R"("abc\u0000def")", "abc\0def"s},
        {R"("\"\\\/\b\f\n\r\t")", "\"\\/\b\f\n\r\t"},
        {R"("\ud83d\ude00 é")", "\xF0\x9F\x98\x80 é"},
        {R"("a\ud800b")", "a\xED\xA0\x80" "b"},
        {R"("\udc00\ud800")", "\xED\xB0\x80\xED\xA0\x80"},
        {R"("\\ud800")", "\\ud800"},
        {R"(42)", std::nullopt},
        {R"("\x")", std::nullopt},
        {R"("\u12")", std::nullopt},
        {R"("ends in \")", std::nullopt},
    };
    for (const auto& [json, text] : cases)
        EXPECT_EQ(platform::gtk::decodeJSONStringLiteral(json), text) << json;
}

// A posted string's characters come as UTF-16: the same text as its JSON form gives.
TEST(JSCValueText, UTF16TextConvertsAsItsJSONFormDecodes)
{
    using namespace std::string_literals;
    const struct {
        std::u16string utf16;
        std::string json;
    } cases[] = {
        {u"abc\0def"s, R"("abc\u0000def")"},
        {u"\xD83D\xDE00 \xE9 \x20AC", R"("\ud83d\ude00 \u00e9 \u20ac")"},
        {u"a\xD800" u"b", R"("a\ud800b")"},
        {u"\xDC00\xD800", R"("\udc00\ud800")"},
        {u"ends high \xD83D", R"("ends high \ud83d")"},
        {u"", R"("")"},
    };
    for (const auto& [utf16, json] : cases)
        EXPECT_EQ(platform::gtk::utf8FromUTF16(utf16), platform::gtk::decodeJSONStringLiteral(json)) << json;
}
