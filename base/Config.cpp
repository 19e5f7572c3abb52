#include "base/Config.h"

#include "base/Logger.h"
#include "base/SharedInstances.h"
#include "platform/Bundle.h"
#include "platform/Paths.h"
#include "platform/PlistSerialization.h"

#include <cstdio>
#include <cstdlib>

namespace fs = std::filesystem;

namespace {

fs::path applicationSupport()
{
    return platform::paths::applicationSupport(bundleID());
}

} // namespace

std::string Config::rawValue(appStateEnum state)
{
    switch (state) {
    case appStateEnum::FRESH: return "fresh";
    case appStateEnum::PENDING: return "full";
    case appStateEnum::OFFLINE: return "offline";
    }
    return "fresh";
}

std::optional<Config::appStateEnum> Config::appStateFromRawValue(const std::string& raw)
{
    if (raw == "fresh")
        return appStateEnum::FRESH;
    if (raw == "full")
        return appStateEnum::PENDING;
    if (raw == "offline")
        return appStateEnum::OFFLINE;
    return std::nullopt;
}

Config::Config(const std::string& plistName)
    : fm(platform::FileManager::defaultManager())
    , tmpDirURL(platform::paths::temporaryDirectory())
    , BASEURL(applicationSupport())
    , WEBROOT((applicationSupport() / "www").string())
    , SYNCURL(applicationSupport() / "sync")
    , UPLOADURL(applicationSupport() / "www" / "upload")
    // The per-user cache folder of this application stands where the platform's caches would.
    , CACHEDIR((platform::paths::cacheHome() / bundleID()).string())
    , APPCACHEDIR((platform::paths::cacheHome() / bundleID() / "app").string())
    , defaults(platform::SettingsStore::standard())
{
    if (!registerDefaults(plistName)) {
        const auto path = platform::Bundle::main()->resourcePath() / (plistName + ".plist");
        LOG_ERROR("cannot read " + path.string());
        std::fprintf(stderr, "webcontainer: the bundle's %s.plist is missing or is not a dictionary (%s); cannot start.\n",
                     plistName.c_str(), path.c_str());
        std::exit(EXIT_FAILURE);
    }
}

bool Config::registerDefaults(const std::string& plistName)
{
    auto path = platform::Bundle::main()->pathForResource(plistName, "plist");
    if (!path)
        return false;
    auto list = platform::readPlistFile(*path);
    if (!list || !list->isDict())
        return false;
    defaults.registerDefaults(*list->asDict());
    return true;
}

Config& sharedConfig()
{
    static Config* config = new Config("DefaultPreferences");
    return *config;
}
