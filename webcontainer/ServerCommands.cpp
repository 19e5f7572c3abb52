// Bridge commands that reach the content server: "callServer", "syncFile", "syncFileAuth",
// "update" and "requestToken". None answers at once: the page hears back from the server
// call's completion, from the end of the sync download, or not at all.
#include "base/Config.h"
#include "base/IJReachability.h"
#include "base/LocalizedTexts.h"
#include "contentserver/ServerCom.h"
#include "logger/Logger.h"
#include "platform/Toast.h"
#include "webcontainer/BridgeCommands.h"

#include <chrono>

namespace {

constexpr std::chrono::milliseconds kToastDuration{2000};

void startSync(BridgeScreen& screen, BridgeRequest& request, bool auth)
{
    if (!screen.pageWebView())
        return;
    screen.syncCallBack = sharedServerCom().syncFile(request.url.text(), request.reply, screen.rootView(), auth);
}

// What "update" does for a value of "silentMode".
struct SilentMode {
    std::optional<int> updateSilentMode;
    bool ask;
    bool checkAtOnce;
    const char* log;
};

SilentMode silentMode(const std::optional<std::string>& mode)
{
    if (!mode)
        return {Config::UPDATE_SILENT_MODE_OFF, true, false, nullptr};
    if (*mode == "silent")
        return {Config::UPDATE_SILENT_MODE_NOPROMPTS, false, true, "Setting update  mode to silent noprompts "};
    if (*mode == "background")
        return {Config::UPDATE_SILENT_MODE_BACKGROUND, false, true, "Setting update mode to silent background"};
    if (*mode == "apply")
        return {Config::UPDATE_SILENT_MODE_NOPROMPTS, true, true, nullptr};
    return {std::nullopt, false, true, nullptr};
}

} // namespace

void bridge::callServer(BridgeScreen&, BridgeRequest& request)
{
    const auto params = request.url.value("params");
    if (!params)
        return;
    sharedServerCom().callServer(*params, request.reply, "", request.url.value("uploadfile").value_or(""),
                                 request.url.value("callbackError").value_or(""),
                                 request.url.value("silent") == "true", request.url.value("url").value_or(""));
}

void bridge::syncFile(BridgeScreen& screen, BridgeRequest& request)
{
    startSync(screen, request, false);
}

void bridge::syncFileAuth(BridgeScreen& screen, BridgeRequest& request)
{
    startSync(screen, request, true);
}

void bridge::update(BridgeScreen& screen, BridgeRequest& request)
{
    Config& config = sharedConfig();
    if (!IJReachability::isConnectedToNetwork()) {
        if (screen.rootView())
            platform::showToast(localizedString("ERROR_UPDATE_OFFLINE"), kToastDuration,
                                platform::ToastPosition::bottom);
        return;
    }
    const SilentMode mode = silentMode(request.url.value("silentMode"));
    if (mode.updateSilentMode)
        config.updateSilentMode = *mode.updateSilentMode;
    if (mode.log)
        LOG_DEBUG(mode.log);
    if (mode.ask) {
        // The landing page the OK button sets; "none" stands for no landing page.
        std::string landing = request.url.value("landingPage").value_or("");
        if (landing == "none")
            landing.clear();
        BridgeScreen* target = &screen;
        screen.presentAlert(localizedString("VC_UPDATE"), localizedString("VC_Q_UPDATE"),
                            AlertButton{localizedString("OK"),
                                        [target, alive = screen.lifetime(), landing] {
                                            LOG_DEBUG("ok chosen");
                                            if (alive.expired())
                                                return;
                                            target->landingPage = landing;
                                            target->showUpdateDialog(false);
                                        }},
                            AlertButton{"Cancel", [] { LOG_DEBUG("cancel"); }});
    }
    if (mode.checkAtOnce)
        screen.showUpdateDialog(false);
}

void bridge::requestToken(BridgeScreen&, BridgeRequest&)
{
    const auto token = sharedConfig().defaults.object("registrationToken");
    if (!token || !token->isString()) {
        LOG_DEBUG("No token found in defaults");
        return;
    }
    LOG_DEBUG("sending FCM Token to server: " + *token->asString());
    sharedServerCom().sendToken(*token->asString());
}
