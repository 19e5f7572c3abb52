#pragma once
// UTF-8 checks. Safe from any thread.

#include <string_view>

namespace platform {

// True when `text` is well-formed UTF-8. NUL bytes are well-formed.
bool isValidUTF8(std::string_view text);

} // namespace platform
