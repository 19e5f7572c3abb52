#include "portable/FileURL.h"
#include "portable/URLComponents.h"

#include <gtest/gtest.h>

using platform::QueryItem;
using platform::URLComponents;

TEST(URLComponents, PathIsDecodedAndQueryItemsKeepTheirShape)
{
    const auto components = URLComponents::parse("file:///app/www/my%20page.html?a=1&&b=&c&d=x=y#top");
    ASSERT_TRUE(components);
    EXPECT_EQ(components->path(), "/app/www/my page.html");
    EXPECT_EQ(components->percentEncodedQuery(), "a=1&&b=&c&d=x=y");
    EXPECT_EQ(components->queryItems(), (std::vector<QueryItem>{
                                            {"a", "1"}, {"b", ""}, {"c", std::nullopt}, {"d", "x=y"}}));
}

TEST(URLComponents, RelativeReferencesWithAndWithoutQuery)
{
    const auto page = URLComponents::parse("landing.html?x=%C3%A4+b");
    ASSERT_TRUE(page);
    EXPECT_EQ(page->path(), "landing.html");
    EXPECT_EQ(page->queryItems(), (std::vector<QueryItem>{{"x", "ä+b"}}));

    const auto plain = URLComponents::parse("landing.html");
    ASSERT_TRUE(plain);
    EXPECT_EQ(plain->percentEncodedQuery(), std::nullopt);
    EXPECT_TRUE(plain->queryItems().empty());
}

// A reference without escapes is cut apart without GLib; the same text with an escape in its
// fragment (which no part keeps) goes through GLib, and both must agree.
TEST(URLComponents, PlainReferencesReadAsGLibReadsThem)
{
    for (const std::string text : {"getUuid?callback=__bridgeAnswer7", "setValue?lang=a&value=x=y&&c&",
                                   "word", "", "?only=query", "page.html#top?not=query", "a?b=1#frag?c=2",
                                   "page.html?next=http://host/x?y", "a b?c=\xC3\xA4 d",
                                   "x?q=[1]"}) {
        const auto plain = URLComponents::parse(text);
        const auto viaGLib =
            URLComponents::parse(text + (text.find('#') == std::string::npos ? "#%41" : "%41"));
        ASSERT_TRUE(plain) << text;
        ASSERT_TRUE(viaGLib) << text;
        EXPECT_EQ(plain->path(), viaGLib->path()) << text;
        EXPECT_EQ(plain->percentEncodedQuery(), viaGLib->percentEncodedQuery()) << text;
        EXPECT_EQ(plain->queryItems(), viaGLib->queryItems()) << text;
    }
}

TEST(URLComponents, MalformedEscapesOrUndecodableTextAreNoURL)
{
    EXPECT_FALSE(URLComponents::parse("a.html?x=%zz"));
    EXPECT_FALSE(URLComponents::parse("a.html?x=%FF"));
    EXPECT_FALSE(URLComponents::parse("a.html?x=a%00b"));
    EXPECT_FALSE(URLComponents::parse("a%2.html"));
    // A raw NUL or a lone surrogate (in its three-byte form) anywhere refused the text whole,
    // where GLib had read the URL up to the NUL and the fragment unchecked.
    using namespace std::string_literals;
    EXPECT_FALSE(URLComponents::parse("setValue?lang=a&value=abc\0def"s));
    EXPECT_FALSE(URLComponents::parse("moveFile?toFileName=b\xED\xA0\x80.txt"));
    EXPECT_FALSE(URLComponents::parse("a.html?x=1#\xED\xA0\x80"));
}

TEST(URLComponents, LastPathComponent)
{
    const auto opening = URLComponents::parse("org.webcontainer.app://open/dir/page.html?x=1&y=2");
    ASSERT_TRUE(opening);
    EXPECT_EQ(opening->lastPathComponent(), "page.html");
    EXPECT_EQ(URLComponents::parse("news.html?id=7")->lastPathComponent(), "news.html");
    EXPECT_EQ(URLComponents::parse("file:///a/b/")->lastPathComponent(), "b");
    EXPECT_EQ(URLComponents::parse("file:///")->lastPathComponent(), "/");
    EXPECT_EQ(URLComponents::parse("app://host")->lastPathComponent(), "");
}

TEST(FileURL, PathsAreEncodedAsUrlPaths)
{
    EXPECT_EQ(platform::fileURLString("/a/b c/ä.txt"), "file:///a/b%20c/%C3%A4.txt");
    EXPECT_EQ(platform::percentEncodedPath("x/!$&'()*+,;=:@-._~"), "x/!$&'()*+,;=:@-._~");
    EXPECT_EQ(platform::percentEncodedPath("?#%[]\"<>\\^`{|}"), "%3F%23%25%5B%5D%22%3C%3E%5C%5E%60%7B%7C%7D");
}
