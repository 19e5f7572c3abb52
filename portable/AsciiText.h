#pragma once
// Small operations on text where only ASCII letters and white space matter (protocol names,
// header fields, cookie attributes). Safe from any thread.

#include <string>
#include <string_view>

namespace platform {

// `text` without the white space (blank, tab, line breaks, form feeds) at both ends.
std::string_view trimmed(std::string_view text);
// `text` with its ASCII letters in lower case; other bytes unchanged.
std::string lowercasedASCII(std::string_view text);
// True when `a` and `b` differ at most in the case of ASCII letters.
bool equalsIgnoringASCIICase(std::string_view a, std::string_view b);

} // namespace platform
