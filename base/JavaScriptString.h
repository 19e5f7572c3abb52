#pragma once
// Text placed inside a JavaScript string literal, so that the page receives exactly the text
// sent and the script around it always parses. Safe from any thread.

#include <string>
#include <string_view>

// The body of a JavaScript string literal delimited by `quote` ('"' or '\''): a backslash
// becomes two, `quote` gets a backslash before it, line feed and carriage return become \n and
// \r, U+2028 and U+2029 become \u2028 and \u2029, and every other control character
// (U+0000 to U+001F, U+007F to U+009F) becomes \uXXXX. Every other byte passes unchanged, so
// ordinary text is escaped exactly as by doubling backslashes and escaping the quote alone.
std::string escapeJavaScriptString(std::string_view text, char quote);
// The same, appended to `out`.
void appendJavaScriptString(std::string& out, std::string_view text, char quote);
