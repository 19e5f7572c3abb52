#pragma once
// What the system reports about the device it runs on. Safe from any thread.

#include <string>

namespace platform {

// The operating system's name ("Debian GNU/Linux"; the kernel's name when the system names
// itself nowhere).
std::string systemName();
// The operating system's version ("12"; the kernel's release when the system gives none).
std::string systemVersion();

} // namespace platform
