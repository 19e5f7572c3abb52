#include "base/SettingsImport.h"

#include "base/Config.h"
#include "logger/Logger.h"
#include "portable/PlistSerialization.h"
#include "portable/URLComponents.h"

bool readPListToDefaultPref(const std::filesystem::path& plistPath)
{
    const auto settings = readSettingsList(plistPath);
    if (!settings)
        return false;
    importSettings(*settings);
    return true;
}

std::optional<platform::PlistDict> readSettingsList(const std::filesystem::path& plistPath)
{
    const auto list = platform::readPlistFile(plistPath);
    if (!list || !list->isDict()) {
        LOG_ERROR("defaultPrefs from plist is nil!");
        return std::nullopt;
    }
    LOG_DEBUG("Updating default prefs: " + list->description());
    platform::PlistDict settings;
    for (const auto& [key, value] : *list->asDict()) {
        LOG_DEBUG("Storing " + key + " -> " + value.description());
        if (value.isString())
            settings.emplace(key, value);
    }
    return settings;
}

void importSettings(const platform::PlistDict& settings)
{
    auto& defaults = sharedConfig().defaults;
    for (const auto& [key, value] : settings)
        defaults.set(key, value);
    defaults.synchronize();
}

void saveQueryParams(const std::string& url)
{
    const auto components = platform::URLComponents::parse(url);
    if (!components)
        return;
    auto& defaults = sharedConfig().defaults;
    for (const auto& item : components->queryItems()) {
        const std::string key = "cli_" + item.name;
        if (item.value)
            defaults.set(key, *item.value);
        else
            defaults.remove(key);
        defaults.synchronize();
        LOG_DEBUG("saving " + item.name + " with value: " + item.value.value_or(""));
    }
}
