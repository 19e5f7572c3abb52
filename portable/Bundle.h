#pragma once
// The application bundle: the resources folder next to the executable ("bundle/"), its
// Info.plist and its string tables "<lang>.lproj/Localizable.strings".
// Safe from any thread; tables are read once, on first use.

#include "portable/PlistValue.h"
#include "portable/StringsFile.h"

#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace platform {

class Bundle {
public:
    explicit Bundle(std::filesystem::path resourcePath);

    // The main bundle: "bundle/" beside the executable (the build tree), else the installed one
    // ("share/webcontainer/" beside the executable's "bin/"), unless a test chose another.
    static std::shared_ptr<Bundle> main();
    static void setMainForTesting(const std::filesystem::path& resourcePath);

    const std::filesystem::path& resourcePath() const { return resourcePath_; }
    // The file "<name>.<ext>" of the resources, when it exists.
    std::optional<std::filesystem::path> pathForResource(const std::string& name, const std::string& ext) const;

    // An entry of Info.plist.
    const PlistValue* infoValue(const std::string& key) const;
    // CFBundleIdentifier, when Info.plist names one.
    std::optional<std::string> identifier() const;
    // CFBundleShortVersionString, or "" when there is none.
    std::string shortVersion() const;
    // Where the store keeps the application's purchase receipt: "store/receipt" in the
    // application-support folder of the bundle identifier; nothing without an identifier.
    // The file itself exists only once the store has written it.
    std::optional<std::filesystem::path> appStoreReceiptURL() const;

    // The localizations the bundle holds ("en", "de", …).
    std::vector<std::string> localizations() const;
    // The bundle's localizations ordered by the user's preferred languages (best first).
    std::vector<std::string> preferredLocalizations() const;
    // The text of `key` in the best table; `value` when the key is missing and `value` is not
    // empty; the key itself otherwise.
    std::string localizedString(const std::string& key, const std::string& value = "",
                                const std::string& table = "Localizable") const;

private:
    const StringTable& loadTable(const std::string& localization, const std::string& table) const;

    std::filesystem::path resourcePath_;
    PlistValue info_;
    mutable std::mutex mutex_;
    mutable std::map<std::string, StringTable> tables_;
};

// The user's preferred languages as language tags, best first ("de_DE.UTF-8" becomes "de-DE"),
// from LANGUAGE, then LC_ALL, LC_MESSAGES or LANG; ["en"] when none is set.
std::vector<std::string> preferredLanguages();
// One locale name as a language tag; "" for "C", "POSIX" and empty names.
std::string languageTagFromLocale(const std::string& locale);

} // namespace platform
