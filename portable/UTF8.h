#pragma once
// UTF-8 checks, and text files read in their encoding. Safe from any thread.

#include <optional>
#include <string>
#include <string_view>

namespace platform {

// True when `text` is well-formed UTF-8. NUL bytes are well-formed.
bool isValidUTF8(std::string_view text);

// The text of a file's bytes as UTF-8: UTF-16 (little or big endian) when they begin with its
// byte-order mark, else UTF-8 (a leading byte-order mark dropped). Nothing when the bytes are
// not well-formed in that encoding.
std::optional<std::string> textFromBytes(std::string_view bytes);

// True when `text` is well-formed UTF-8 of characters an XML 1.0 document can hold: no NUL, no
// control character but tab, line feed and carriage return, no U+FFFE or U+FFFF (surrogates
// are no UTF-8 already).
bool isXmlText(std::string_view text);

} // namespace platform
