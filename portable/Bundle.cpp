#include "portable/Bundle.h"

#include "portable/FileManager.h"
#include "portable/Paths.h"
#include "portable/PlistSerialization.h"

#include <algorithm>
#include <cstdlib>

namespace fs = std::filesystem;

namespace platform {
namespace {

std::mutex gMainMutex;
std::shared_ptr<Bundle> gMain;

std::string lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

void addUnique(std::vector<std::string>& list, const std::string& item)
{
    if (!item.empty() && std::find(list.begin(), list.end(), item) == list.end())
        list.push_back(item);
}

std::filesystem::path mainBundleFolder()
{
    const fs::path executableFolder = paths::executableDirectory();
    // A folder: an installed program may stand beside a program named "bundle".
    if (std::error_code ignored; fs::is_directory(executableFolder / "bundle", ignored))
        return executableFolder / "bundle";
    return (executableFolder / WEBCONTAINER_INSTALLED_BUNDLE).lexically_normal();
}

} // namespace

Bundle::Bundle(fs::path resourcePath) : resourcePath_(std::move(resourcePath))
{
    if (auto info = readPlistFile(resourcePath_ / "Info.plist"); info && info->isDict())
        info_ = std::move(*info);
    else
        info_ = PlistDict{};
}

std::shared_ptr<Bundle> Bundle::main()
{
    std::lock_guard lock(gMainMutex);
    if (!gMain)
        gMain = std::make_shared<Bundle>(mainBundleFolder());
    return gMain;
}

void Bundle::setMainForTesting(const fs::path& resourcePath)
{
    std::lock_guard lock(gMainMutex);
    gMain = std::make_shared<Bundle>(resourcePath);
}

std::optional<fs::path> Bundle::pathForResource(const std::string& name, const std::string& ext) const
{
    fs::path path = resourcePath_ / (ext.empty() ? name : name + "." + ext);
    if (!FileManager::defaultManager().fileExists(path))
        return std::nullopt;
    return path;
}

const PlistValue* Bundle::infoValue(const std::string& key) const
{
    return info_.find(key);
}

std::optional<std::string> Bundle::identifier() const
{
    return info_.stringAt("CFBundleIdentifier");
}

std::optional<fs::path> Bundle::appStoreReceiptURL() const
{
    const auto id = identifier();
    if (!id)
        return std::nullopt;
    return paths::applicationSupport(*id) / "store" / "receipt";
}

std::string Bundle::shortVersion() const
{
    return info_.stringAt("CFBundleShortVersionString").value_or("");
}

std::vector<std::string> Bundle::localizations() const
{
    std::vector<std::string> out;
    auto entries = FileManager::defaultManager().contentsOfDirectory(resourcePath_);
    if (!entries)
        return out;
    for (const auto& entry : *entries)
        if (entry.extension() == ".lproj" && FileManager::defaultManager().isDirectory(entry))
            out.push_back(entry.stem().string());
    return out;
}

std::vector<std::string> Bundle::preferredLocalizations() const
{
    const auto available = localizations();
    auto match = [&](const std::string& tag) -> std::string {
        for (const auto& loc : available)
            if (lower(loc) == lower(tag) || lower(loc) == lower(languageTagFromLocale(tag)))
                return loc;
        return {};
    };
    std::vector<std::string> out;
    for (const auto& tag : preferredLanguages()) {
        addUnique(out, match(tag));
        addUnique(out, match(tag.substr(0, tag.find('-'))));
    }
    addUnique(out, match(info_.stringAt("CFBundleDevelopmentRegion").value_or("en")));
    addUnique(out, match("Base"));
    for (const auto& loc : available)
        addUnique(out, loc);
    return out;
}

const StringTable& Bundle::loadTable(const std::string& localization, const std::string& table) const
{
    const std::string cacheKey = localization + "/" + table;
    std::lock_guard lock(mutex_);
    auto it = tables_.find(cacheKey);
    if (it != tables_.end())
        return it->second;
    StringTable loaded;
    const fs::path file = resourcePath_ / (localization + ".lproj") / (table + ".strings");
    if (auto bytes = FileManager::defaultManager().readFile(file))
        if (auto parsed = parseStringsFile(*bytes))
            loaded = std::move(*parsed);
    return tables_.emplace(cacheKey, std::move(loaded)).first->second;
}

std::string Bundle::localizedString(const std::string& key, const std::string& value, const std::string& table) const
{
    const auto localizations = preferredLocalizations();
    if (!localizations.empty()) {
        const auto& strings = loadTable(localizations.front(), table);
        if (auto it = strings.find(key); it != strings.end())
            return it->second;
    }
    return value.empty() ? key : value;
}

std::string languageTagFromLocale(const std::string& locale)
{
    std::string name = locale.substr(0, locale.find_first_of(".@"));
    if (name.empty() || name == "C" || name == "POSIX")
        return {};
    std::replace(name.begin(), name.end(), '_', '-');
    return name;
}

std::vector<std::string> preferredLanguages()
{
    std::vector<std::string> out;
    if (const char* list = std::getenv("LANGUAGE")) {
        std::string text = list;
        std::size_t start = 0;
        while (start <= text.size()) {
            const auto end = text.find(':', start);
            addUnique(out, languageTagFromLocale(text.substr(start, end - start)));
            if (end == std::string::npos)
                break;
            start = end + 1;
        }
    }
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(name);
        if (value && *value) {
            addUnique(out, languageTagFromLocale(value));
            break;
        }
    }
    if (out.empty())
        out.push_back("en");
    return out;
}

} // namespace platform
