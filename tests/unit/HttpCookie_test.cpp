// Reading cookies out of Set-Cookie lines.

#include "portable/HttpCookie.h"

#include <gtest/gtest.h>

using platform::cookiesWithResponseHeaderFields;

TEST(HttpCookie, readsNameAndRawValueOfEachLine)
{
    auto cookies = cookiesWithResponseHeaderFields(
        {"nonces=a%3Bb; Path=/; HttpOnly", " message = \"Hello there\" ", "script=x=1;Secure", "flag", "=orphan",
         "empty="},
        "http://127.0.0.1:8080/app/server.php");
    ASSERT_EQ(4u, cookies.size());
    EXPECT_EQ("nonces", cookies[0].name);
    EXPECT_EQ("a%3Bb", cookies[0].value);
    EXPECT_EQ("message", cookies[1].name);
    EXPECT_EQ("\"Hello there\"", cookies[1].value);
    EXPECT_EQ("x=1", cookies[2].value);
    EXPECT_EQ("empty", cookies[3].name);
    EXPECT_EQ("", cookies[3].value);
}

TEST(HttpCookie, leavesOutCookiesForOtherDomains)
{
    auto cookies = cookiesWithResponseHeaderFields(
        {"a=1; Domain=example.org", "b=2; domain=.Example.ORG", "c=3; Domain=other.org", "d=4; Domain=ample.org"},
        "https://www.example.org/x");
    ASSERT_EQ(2u, cookies.size());
    EXPECT_EQ("a", cookies[0].name);
    EXPECT_EQ("b", cookies[1].name);
}
