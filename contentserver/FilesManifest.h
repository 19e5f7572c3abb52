#pragma once
// The manifest "files.txt" an update package may carry at the top of the web root: the list of
// every file the web application consists of, and its declared total.
//
// Format. Text; lines end at any newline character (LF, VT, FF, CR, U+0085, U+2028, U+2029), so
// CR LF yields an empty line between, which is ignored. Each line is split at every tab into
// fields, empty fields counting:
// - two fields: "===TOTAL===" and a decimal integer (optional "+" or "-", then only digits,
//   within 64 bits) declares the total, a later one replacing an earlier one; any other two
//   fields list the first field as a name.
// - three fields: name, ignored text, and the MD5 of the name's own UTF-8 bytes as 32 lower-case
//   hexadecimal digits. A different checksum drops the line (logged as an error).
// - one field, or four and more: ignored.
// Names are paths relative to the web root in the percent-encoded form of file URLs
// ("img/a%20b.png"); a name listed twice counts twice. Without a total line the total is 0.
//
// A plain value; parsing is safe from any thread.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class FilesManifest {
public:
    // The text of the manifest's bytes: UTF-8 (a leading byte-order mark dropped) or UTF-16
    // with a byte-order mark. Nothing when the encoding cannot be told.
    static std::optional<std::string> decode(std::string_view bytes);

    // Parses UTF-8 text as the format above says.
    static FilesManifest parse(std::string_view text);

    // The listed names, in file order.
    std::vector<std::string> names;
    // The declared total.
    std::int64_t total = 0;
};
