#include "base/ServerAddress.h"
#include "platform/ShareDialog.h"
#include "portable/FileURL.h"
#include "socketio/SocketURL.h"
#include "webcontainer/ViewController.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

const std::string kAlphanumerics = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";

// What follows `prefix` in `text`; a marker when `text` does not begin with it.
std::string after(const std::string& prefix, const std::string& text)
{
    return text.starts_with(prefix) ? text.substr(prefix.size()) : "<" + text + ">";
}

} // namespace

// Every place that percent-encodes keeps its own characters as they are, whatever the locale,
// and writes every other byte as "%" and two upper-case hexadecimal digits.
TEST(PercentEncoding, EachKindOfURLPieceKeepsItsOwnCharacters)
{
    using Encode = std::function<std::string(const std::string&)>;
    const struct {
        const char* piece;
        Encode encode;
        std::string kept;
    } cases[] = {
        {"mailto: field", [](const std::string& text) { return after("mailto:?body=", platform::mailtoURL("", text)); },
         kAlphanumerics + "-._~"},
        {"socket handshake item",
         [](const std::string& text) {
             return after("/?EIO=4&transport=websocket&k=", socketio::handshakeTarget("", {{"k", text}}));
         },
         kAlphanumerics + "-._~"},
        {"restore token",
         [](const std::string& text) {
             return after("&do=restorePurchase%2Fios&token[]=", ViewController::restoreRequestText({text}));
         },
         kAlphanumerics + "-._~/?"},
        {"file URL path", [](const std::string& text) { return platform::percentEncodedPath(text); },
         kAlphanumerics + "-._~!$&'()*+,;=:@/"},
        {"lazy file query value", [](const std::string& text) { return encodedQueryValue(text); },
         kAlphanumerics + "-._~!$'()*,/:@?"},
    };
    static constexpr char hex[] = "0123456789ABCDEF";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.piece);
        for (int byte = 0; byte < 256; ++byte) {
            const std::string text(1, static_cast<char>(byte));
            const std::string expected =
                c.kept.find(text) != std::string::npos ? text : std::string{'%', hex[byte >> 4], hex[byte & 15]};
            EXPECT_EQ(c.encode(text), expected) << "byte " << byte;
        }
    }
    // Only the lazy file's value keeps escapes already there, and only whole ones.
    EXPECT_EQ(encodedQueryValue("100%25 %zz%4"), "100%25%20%25zz%254");
    EXPECT_EQ(platform::percentEncodedPath("100%25"), "100%2525");
}
