#pragma once
// Parser of string tables in the usual strings-file syntax:
//   /* comment */  // comment
//   "KEY" = "value";
//   KEY = value;          (unquoted words: letters, digits and _ . - / : $)
//   "KEY";                (the value is the key)
// Escapes in quoted text: \" \\ \' \n \t \r \0, \Uxxxx (UTF-16 code unit, surrogate pairs joined)
// and octal \ooo. Files are UTF-8 (a BOM is skipped) or UTF-16 with a BOM.
// Safe from any thread: a pure function of its text.

#include <map>
#include <optional>
#include <string>

namespace platform {

using StringTable = std::map<std::string, std::string>;

// The table, or nothing when the text is not a valid strings file.
std::optional<StringTable> parseStringsFile(const std::string& bytes);

} // namespace platform
