#pragma once
// Resolving a URL reference against a base address, as a browser resolves a link
// ("/a/b?x=1" against "http://host:8080" gives "http://host:8080/a/b?x=1"). Safe from any
// thread.

#include <optional>
#include <string>

namespace platform {

// The absolute address `reference` names relative to `base`; characters a URL can't hold as
// they stand (blanks, line breaks, non-ASCII) come out percent-encoded, escapes already there
// stay. Nothing when `base` is no absolute address (and `reference` none either) or either
// holds a malformed percent-escape.
std::optional<std::string> resolvedURLString(const std::string& reference, const std::string& base);

} // namespace platform
