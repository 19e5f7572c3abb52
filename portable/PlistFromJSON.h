#pragma once
// JSON text as property-list values: objects as dictionaries, arrays as arrays, strings,
// booleans, whole numbers as integers and other numbers as reals; null members and elements
// are left out; a text nested deeper than kPlistMaxDepth (PlistBounds.h) is refused. Safe from
// any thread.

#include "portable/PlistValue.h"

#include <optional>
#include <string>

namespace platform {

// The dictionary of a JSON object text; nothing for other JSON or for text that is no JSON.
std::optional<PlistDict> plistDictFromJSON(const std::string& text);

} // namespace platform
