#pragma once
// How much room a file system has left. Safe from any thread.

#include <cstdint>
#include <filesystem>
#include <optional>

namespace platform {

// The bytes an unprivileged writer may still use on the file system that holds `path`, or that
// would hold it once made (the nearest folder of it that exists counts); nothing when that can't
// be told.
std::optional<std::uintmax_t> availableBytes(const std::filesystem::path& path);

} // namespace platform
