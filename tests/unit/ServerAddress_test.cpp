#include "base/Config.h"
#include "base/ServerAddress.h"

#include <gtest/gtest.h>

namespace {

void setAddress(const char* protocol, const char* name, const char* path, const char* file)
{
    auto& defaults = sharedConfig().defaults;
    defaults.set("serverprotocol", protocol);
    defaults.set("servername", name);
    defaults.set("serverpath", path);
    defaults.set("serverfile", file);
}

} // namespace

TEST(ServerURL, JoinsThePiecesAsStoredWithoutSeparators)
{
    setAddress("P", "N", "T", "F");
    EXPECT_EQ(serverURL(false), "PNTF");
    EXPECT_EQ(serverURL(true), "PN");

    setAddress("https://", "example.org", "/app/", "update.php");
    EXPECT_EQ(serverURL(false), "https://example.org/app/update.php");
    EXPECT_EQ(serverURL(true), "https://example.org");
}

TEST(ServerURL, AnyMissingOrNonTextPieceGivesNothingEvenForTheOrigin)
{
    setAddress("P", "N", "T", "F");
    // The bundled preferences register "serverpath"; a registered default of another type
    // shows once the stored value is gone.
    sharedConfig().defaults.registerDefaults({{"serverpath", platform::PlistValue(7)}});
    sharedConfig().defaults.remove("serverpath");
    EXPECT_EQ(serverURL(false), std::nullopt);
    EXPECT_EQ(serverURL(true), std::nullopt);

    sharedConfig().defaults.set("serverpath", "T");
    sharedConfig().defaults.set("serverfile", platform::PlistValue(true));
    EXPECT_EQ(serverURL(true), std::nullopt);
}

TEST(UrlEncode, KeepsLettersMarksDigitsAndTheSixCharacters)
{
    EXPECT_EQ(urlEncode("abc/DEF/123?x"), "abc/DEF/123?x");
    EXPECT_EQ(urlEncode("-._~/?"), "-._~/?");
    // An umlaut, a Greek letter, an Arabic-Indic digit and a combining mark stay as they are.
    EXPECT_EQ(urlEncode("Grüße αβ ٣ e\xCC\x81"), "Grüße%20αβ%20٣%20e\xCC\x81");
}

TEST(UrlEncode, EncodesEverythingElseAsUpperCaseUtf8Bytes)
{
    EXPECT_EQ(urlEncode("a b&c=d+e#f%g"), "a%20b%26c%3Dd%2Be%23f%25g");
    EXPECT_EQ(urlEncode("\"'<>!*()[]{}|\\^`:;@,$"),
              "%22%27%3C%3E%21%2A%28%29%5B%5D%7B%7D%7C%5C%5E%60%3A%3B%40%2C%24");
    // Symbols and punctuation outside ASCII are encoded byte by byte: € and an em dash.
    EXPECT_EQ(urlEncode("5€—"), "5%E2%82%AC%E2%80%94");
    EXPECT_EQ(urlEncode(std::string("a\0b\n", 4)), "a%00b%0A");
    EXPECT_EQ(urlEncode(""), "");
}

TEST(UrlEncode, TextThatIsNotUtf8GivesNothing)
{
    EXPECT_EQ(urlEncode("ab\xFF"), std::nullopt);
    EXPECT_EQ(urlEncode("\xC3"), std::nullopt);
}
