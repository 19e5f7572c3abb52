#pragma once
// Base32 text as RFC 4648 defines it (alphabet "A"–"Z", "2"–"7"), the form shared secrets of
// one-time codes are handed out in. Safe from any thread.

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace platform {

// The bytes `text` encodes. Lower-case letters count as upper-case ones; the "=" padding of the
// last group may be left out. Nothing when `text` holds any other character (white space too),
// padding anywhere but at the end or of a wrong length, or a last group of a length no bytes
// encode to (1, 3 or 6 characters). The empty text is no bytes.
std::optional<std::vector<std::uint8_t>> base32Decode(std::string_view text);

} // namespace platform
