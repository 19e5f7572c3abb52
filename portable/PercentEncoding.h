#pragma once
// Percent-encoding of text placed in URLs. ASCII letters and digits are always kept (whatever
// the locale), and so are the punctuation characters the caller passes as `kept`; every other
// byte becomes "%" and two upper-case hexadecimal digits, so a non-ASCII character becomes its
// encoded UTF-8 bytes. The kinds of URL piece differ only in which punctuation stands as it
// is; the sets below name them. Safe from any thread.

#include <string>
#include <string_view>

namespace platform {

// The punctuation each kind of URL piece keeps besides ASCII letters and digits.
namespace urlKept {
// The unreserved characters alone: a value that may hold no delimiter at all (a mailto: field,
// an item of the real-time channel's handshake).
inline constexpr std::string_view unreserved = "-._~";
// A URL path: the unreserved characters, the sub-delimiters, ":", "@" and "/".
inline constexpr std::string_view path = "-._~!$&'()*+,;=:@/";
// A request value of the content server: the unreserved characters, "/" and "?".
inline constexpr std::string_view serverValue = "-._~/?";
// One query value: the delimiters that mean nothing inside a value ("&", "+", "=", ";" and "#"
// do: a server would split the query there, or read a blank).
inline constexpr std::string_view queryValue = "-._~!$'()*,/:@?";
} // namespace urlKept

// Whether a "%" followed by two hexadecimal digits in the text is kept as the escape it is.
enum class ExistingEscapes { encode, keep };

// Appends `text` percent-encoded to `out`.
void appendPercentEncoded(std::string& out, std::string_view text, std::string_view kept,
                          ExistingEscapes escapes = ExistingEscapes::encode);
// `text` percent-encoded: percentEncoded("a b/c", urlKept::unreserved) gives "a%20b%2Fc".
std::string percentEncoded(std::string_view text, std::string_view kept,
                           ExistingEscapes escapes = ExistingEscapes::encode);

} // namespace platform
