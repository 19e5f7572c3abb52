#include "base/SettingsImport.h"

#include "base/Config.h"
#include "base/Logger.h"
#include "platform/PlistSerialization.h"
#include "platform/URLComponents.h"

bool readPListToDefaultPref(const std::filesystem::path& plistPath)
{
    const auto list = platform::readPlistFile(plistPath);
    if (!list || !list->isDict()) {
        LOG_ERROR("defaultPrefs from plist is nil!");
        return false;
    }
    LOG_DEBUG("Updating default prefs: " + list->description());
    auto& defaults = sharedConfig().defaults;
    for (const auto& [key, value] : *list->asDict()) {
        LOG_DEBUG("Storing " + key + " -> " + value.description());
        if (value.isString())
            defaults.set(key, value);
    }
    defaults.synchronize();
    return true;
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
