#pragma once
// The desktop's shared MIME database. Safe from any thread.

#include <optional>
#include <string>

namespace platform {

// The MIME type that files with the name extension `extension` (without the dot: "png") have,
// when the database knows one.
std::optional<std::string> preferredMimeType(const std::string& extension);

} // namespace platform
