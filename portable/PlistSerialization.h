#pragma once
// Reading and writing property lists (XML and binary) as PlistValue. Safe from any thread:
// every call works on its own data.

#include "portable/PlistBounds.h"
#include "portable/PlistValue.h"

#include <filesystem>
#include <optional>
#include <string>

namespace platform {

enum class PlistFormat { Xml, Binary };

// Parses XML or binary property-list bytes; nothing when they are not a property list or lie
// beyond the bounds of PlistBounds.h.
std::optional<PlistValue> plistFromBytes(const std::string& bytes);
// Reads and parses a property-list file; nothing when it is missing or unreadable.
std::optional<PlistValue> readPlistFile(const std::filesystem::path& path);
// The serialized form of a value.
std::string plistToBytes(const PlistValue& value, PlistFormat format = PlistFormat::Xml);
// True when `value`, standing at nesting level `level` of a list (the root is level 1), can be
// written into an XML property list that is well-formed XML and reads back as the same value:
// every text and key is XML text (UTF8.h), the list stays within kPlistMaxDepth, and the value
// comes back as it was (dates within the format's range, reals that equal themselves).
bool isWritableAsPlist(const PlistValue& value, std::size_t level = 1);

} // namespace platform
