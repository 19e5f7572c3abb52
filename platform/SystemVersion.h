#pragma once
// The version of the operating system the process runs on. Safe from any thread.

#include <optional>
#include <string>

namespace platform {

// The system's version as its release description names it ("12" on Debian 12); the kernel's
// release when the system names no version; "" when neither can be read.
std::string systemVersion();
// Makes systemVersion() answer `version`; std::nullopt restores the real answer. Tests only.
void setSystemVersionForTesting(std::optional<std::string> version);

} // namespace platform
