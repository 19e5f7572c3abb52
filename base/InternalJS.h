#pragma once
// "internal.js": the small script through which the page learns the container version, the
// user, the installation's identity and the device language. At most four lines, each present
// only under its condition:
//
//   INTERNAL_CONTAINERVERSION = 3.4;\n\r     when CFBundleShortVersionString holds a "."
//   INTERNAL_USER = 'name';\n\r              when the "user" setting is non-empty text
//   INTERNAL_UUID = 'id';\r\n                when the "uuid" setting is non-empty text
//   INTERNAL_LANG = 'de-DE';\r\n             always
//
// The version is the bundle's short version up to its last "." (3.4.5 gives 3.4), unquoted.
// The two line-end orders are part of the format. User and identity are escaped as JavaScript
// string literals (escapeJavaScriptString), so no value can break or extend the script;
// ordinary values stand as they are.

#include "portable/PlistValue.h"

#include <filesystem>
#include <optional>
#include <string>

// What the script says: the bundle's version, the "user" and "uuid" settings and the
// preferred language.
struct InternalJSValues {
    // The values as they are now. Main thread (it reads the settings).
    static InternalJSValues current();
    // The values once `settings` (text entries about to be imported) are stored.
    InternalJSValues with(const platform::PlistDict& settings) const;
    // The script's text.
    std::string text() const;

    std::optional<std::string> shortVersion;
    std::optional<std::string> user;
    std::optional<std::string> uuid;
    std::string language;
};

// Writes the script for the current bundle, settings and preferred language atomically to
// `toPath`/"internal.js", replacing any earlier file. A failed write leaves the earlier file in
// place and is only logged. Main thread.
void writeInternalJS(const std::filesystem::path& toPath);
// The same for `values`. Safe from any thread.
void writeInternalJS(const std::filesystem::path& toPath, const InternalJSValues& values);
