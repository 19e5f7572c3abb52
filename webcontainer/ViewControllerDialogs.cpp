// The hidden configuration dialog, and the reset to the installed state with the question
// that precedes it.
#include "webcontainer/ViewController.h"

#include "base/Config.h"
#include "base/InternalJS.h"
#include "base/LocalizedTexts.h"
#include "base/SettingsImport.h"
#include "base/SharedInstances.h"
#include "base/WebRootInstall.h"
#include "logger/Logger.h"
#include "platform/Window.h"
#include "services/PushNotificationUtils.h"

#include <array>

namespace {

// The settings the configuration dialog edits, in the order of its fields.
constexpr std::array<const char*, 4> kConfigKeys = {"app", "baseURL", "updateXMLPath", "updateFileBasePath"};

} // namespace

void ViewController::showConfigDialog()
{
    if (!window())
        return;
    auto& defaults = sharedConfig().defaults;
    platform::Alert alert;
    alert.title = "Advanced Config";
    alert.message = "This voids your warranty";
    alert.actions.push_back({"Cancel", platform::AlertAction::Style::Cancel, {}});
    platform::AlertAction save{"Save", platform::AlertAction::Style::Default, {}};
    save.textsHandler = [](const std::vector<std::string>& texts) {
        auto& defaults = sharedConfig().defaults;
        // An emptied field stores the empty text: the setting stays, blank.
        for (std::size_t i = 0; i < kConfigKeys.size() && i < texts.size(); ++i)
            defaults.set(kConfigKeys[i], texts[i]);
        defaults.synchronize();
        if (texts.size() == kConfigKeys.size())
            LOG_DEBUG("Saving: " + texts[0] + " " + texts[1] + " " + texts[3]);
    };
    alert.actions.push_back(std::move(save));
    for (const char* key : kConfigKeys)
        alert.textFields.push_back(defaults.string(key).value_or(""));
    window()->present(std::move(alert));
}

void ViewController::askForReset()
{
    presentAlert(VC_RESET, VC_Q_RESET,
                 {localizedString("OK"),
                  [weak = weak_from_this()] {
                      LOG_DEBUG("ok chosen");
                      if (auto self = weak.lock())
                          self->resetToDefaultSettings();
                  }},
                 AlertButton{"Cancel", [] { LOG_DEBUG("cancel"); }});
    LOG_DEBUG("Will reset now!");
}

void ViewController::resetToDefaultSettings()
{
    LOG_DEBUG("Reset to default settings");
    Config& config = sharedConfig();
    // The installed content is unpacked aside and swapped in first: a reset that can't install
    // it changes nothing, so the old web root and its settings keep working.
    if (!installBundledWebRoot(config.WEBROOT, "ERROR: app.zip not found in Mainbundle)"))
        return;

    if (!bundleID().empty())
        config.defaults.removeAll();
    config.registerDefaults("DefaultPreferences");
    config.defaults.synchronize();
    sharedPushNotificationUtils().registerForRemoteNotification();

    // What an update or a sync left goes; a missing one is no failure.
    config.fm.removeItem(config.tmpDirURL / "update.zip");
    config.fm.removeItem(config.SYNCURL);

    readPListToDefaultPref(std::filesystem::path(config.WEBROOT) / "info.plist");
    writeInternalJS(config.WEBROOT);
    config.stackOfJScript.lock()->push("if (typeof window.postReset == 'function') {window.postReset();}");
    loadPage(getIndexPage("index"));
}
