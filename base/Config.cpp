#include "base/Config.h"

#include "base/SharedInstances.h"
#include "portable/Bundle.h"
#include "portable/Paths.h"
#include "portable/PlistSerialization.h"

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

Config::Config(platform::SettingsStore& store, std::unique_ptr<platform::PrivateTemporaryFolder> temporaryFolder)
    : fm(platform::FileManager::defaultManager())
    , temporaryFolder_(std::move(temporaryFolder))
    , tmpDirURL(temporaryFolder_->path())
    , BASEURL(applicationSupport())
    , WEBROOT((applicationSupport() / "www").string())
    , SYNCURL(applicationSupport() / "sync")
    , UPLOADURL(applicationSupport() / "www" / "upload")
    // The per-user cache folder of this application stands where the platform's caches would.
    , CACHEDIR((platform::paths::cacheHome() / bundleID()).string())
    , APPCACHEDIR((platform::paths::cacheHome() / bundleID() / "app").string())
    , defaults(store)
{
}

std::unique_ptr<Config> Config::create(const std::string& plistName, platform::SettingsStore& defaults,
                                       std::unique_ptr<platform::PrivateTemporaryFolder> temporaryFolder)
{
    std::unique_ptr<Config> config(new Config(defaults, std::move(temporaryFolder)));
    if (!config->registerDefaults(plistName))
        return nullptr;
    return config;
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
    return SharedInstances::get<Config>();
}
