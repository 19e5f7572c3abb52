#pragma once
// The one configuration object of the process: the names components share, the folders of the
// web content, the start flags, the application state shown to the page, the update silent
// mode, the scripts waiting for a web view and the settings store.
//
// Fields written from URL-session queues as well as the main thread (the state, the flags,
// the landing page, the silent mode, the script stack and the running downloads) are atomic or
// guarded; everything else is fixed after construction.

#include "base/UtilsStack.h"
#include "portable/FileManager.h"
#include "portable/Guarded.h"
#include "portable/PrivateTemporaryFolder.h"
#include "portable/SettingsStore.h"

#include <atomic>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class Config {
public:
    // The application state the page receives from "getAppState".
    enum class appStateEnum { FRESH, PENDING, OFFLINE };
    static std::string rawValue(appStateEnum state);
    // Exactly "fresh", "full" and "offline" (case-sensitive); nothing for any other text.
    static std::optional<appStateEnum> appStateFromRawValue(const std::string& raw);

    // Sets every field, with `defaults` as the settings store and `temporaryFolder` as the
    // folder of tmpDirURL, and registers the bundle's property list `plistName` as its defaults.
    // Nothing when the list is missing or is not a dictionary: start-up cannot go on, and the
    // composition root reports it.
    static std::unique_ptr<Config> create(const std::string& plistName, platform::SettingsStore& defaults,
                                          std::unique_ptr<platform::PrivateTemporaryFolder> temporaryFolder);
    Config(const Config&) = delete;
    Config& operator=(const Config&) = delete;

    // Registers the entries of the bundle's "<plistName>.plist" as defaults of `defaults`;
    // false when it is missing or not a dictionary.
    bool registerDefaults(const std::string& plistName);

    platform::FileManager& fm;
private:
    // Declared before tmpDirURL, which names it.
    const std::unique_ptr<platform::PrivateTemporaryFolder> temporaryFolder_;

public:
    // The program's own folder for temporary files (portable/PrivateTemporaryFolder.h).
    const std::filesystem::path tmpDirURL;
    const std::string didRreceiveRemoteN = "apn.didRRN";
    const std::string USERNAME_KEY = "user";
    const std::string urlSchemeMessageIDKey = "url.scheme_id";
    const std::string notifcationKey = "notficationType";
    const std::string timeBackgroundEnteredKey = "timeBackgroundEntered";
    const std::string REMINDER = "reminder";
    platform::Guarded<std::vector<std::string>> runningDownloads;
    platform::Guarded<UtilsStack<std::string>> stackOfJScript;
    std::atomic<bool> isStartedViaURLscheme{false};
    std::atomic<bool> isStartedViaPNTap{false};
    std::atomic<bool> isLaunchedViaPNTap{false};
    platform::Guarded<std::string> URLschemeLanding;
    std::atomic<appStateEnum> appState{appStateEnum::FRESH};
    const std::filesystem::path BASEURL;
    const std::string WEBROOT;
    const std::filesystem::path SYNCURL;
    const std::filesystem::path UPLOADURL;
    const std::string CACHEDIR;
    const std::string APPCACHEDIR;
    static constexpr int UPDATE_SILENT_MODE_OFF = 0;
    static constexpr int UPDATE_SILENT_MODE_NOPROMPTS = 1;
    static constexpr int UPDATE_SILENT_MODE_WAKEUP = 2;
    static constexpr int UPDATE_SILENT_MODE_WAKEUP_LOCALLOADING = 3;
    static constexpr int UPDATE_SILENT_MODE_BACKGROUND = 4;
    const std::string LAZYLOAD_STORE_KEY = "LazyLoadList";
    std::atomic<int> updateSilentMode{UPDATE_SILENT_MODE_OFF};
    platform::SettingsStore& defaults;
    std::atomic<bool> isSplashScreenShown{false};
    std::atomic<bool> isAppStart{false};

private:
    Config(platform::SettingsStore& defaults, std::unique_ptr<platform::PrivateTemporaryFolder> temporaryFolder);
};

// The shared configuration, built with "DefaultPreferences" by the composition root. Safe from
// any thread.
Config& sharedConfig();
