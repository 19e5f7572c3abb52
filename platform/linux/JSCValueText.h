#pragma once
// The text form of a JavaScript value, whole: a string as it is (a NUL inside included), any
// other value as JavaScript's String(value) writes it (empty when that throws). The engine's own C-string conversion stops at
// a NUL and at a lone surrogate; here a string goes through its JSON form instead, so nothing
// is cut, and a lone surrogate comes out in its three-byte form, which is no valid UTF-8: a
// reader that checks the text refuses it whole. Main thread only (the value's context).

#include <JavaScriptCore/JavaScript.h>
#include <jsc/jsc.h>

#include <optional>
#include <string>
#include <string_view>

namespace platform::gtk {

std::string textOf(JSCValue* value);

// A string value's text, whole as textOf() reads it, from the engine's own UTF-16 characters:
// a fraction of the cost of the JSON form. Nothing for any other value.
std::optional<std::string> stringText(JSGlobalContextRef context, JSValueRef value);

// The UTF-8 form of UTF-16 text, whole: a NUL stays, a lone surrogate takes its three-byte form
// (as decodeJSONStringLiteral writes it).
std::string utf8FromUTF16(std::u16string_view text);

// Decodes a JSON string literal ("\"a\\u0000b\""); a lone surrogate escape becomes its
// three-byte form. Nothing when `json` is no string literal.
std::optional<std::string> decodeJSONStringLiteral(std::string_view json);

} // namespace platform::gtk
