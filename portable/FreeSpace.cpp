#include "portable/FreeSpace.h"

namespace platform {

std::optional<std::uintmax_t> availableBytes(const std::filesystem::path& path)
{
    std::error_code error;
    std::filesystem::path existing = path.empty() ? "." : path;
    while (!std::filesystem::exists(existing, error) && existing.has_relative_path())
        existing = existing.parent_path();
    const auto space = std::filesystem::space(existing, error);
    if (error || space.available == static_cast<std::uintmax_t>(-1))
        return std::nullopt;
    return space.available;
}

} // namespace platform
