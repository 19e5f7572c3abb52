#pragma once
// Settings that arrive from outside: the text entries of a property list ("info.plist" of an
// update package or of a reset) and the query items of a landing page that is loaded.
// Safe from any thread (the settings store is).

#include "portable/PlistValue.h"

#include <filesystem>
#include <optional>
#include <string>

// Stores every entry of the property list at `plistPath` (XML or binary, root a dictionary)
// whose value is text as a stored setting under its key; entries of other types are skipped.
// Settings the list does not name keep their values. False when the file is missing or no
// dictionary list, and then nothing changes.
bool readPListToDefaultPref(const std::filesystem::path& plistPath);

// The two halves of readPListToDefaultPref, for a list read on one thread and stored on
// another: the text entries of the property list at `plistPath` (nothing when it can't be read
// or is no dictionary list, logged), and storing them as settings.
std::optional<platform::PlistDict> readSettingsList(const std::filesystem::path& plistPath);
void importSettings(const platform::PlistDict& settings);

// Stores each query item of `url` (an address or a relative reference such as
// "page.html?a=1&b=&c") under "cli_" + the item's name: the item's value, the empty text for
// "b=", and removal of the stored value for an item without "=". A name given twice keeps the
// last value. A text that is no URL reference, or has no query, changes nothing.
void saveQueryParams(const std::string& url);
