// What follows an update check: telling the user that all is current or that the check failed,
// asking before a large package, and starting the package's download.

#include "contentserver/ServerCom.h"

#include "base/Config.h"
#include "base/JavaScriptCalls.h"
#include "base/LocalizedTexts.h"
#include "base/SharedInstances.h"
#include "base/TimestampFormatter.h"
#include "base/UIHelpers.h"
#include "contentserver/DownloadSizeRule.h"
#include "contentserver/LazyLoad.h"
#include "logger/Logger.h"
#include "platform/Clock.h"
#include "platform/Toast.h"
#include "portable/Dispatch.h"
#include "portable/NotificationCenter.h"
#include "portable/SettingsStore.h"
#include "portable/URLComponents.h"

#include <cstdio>

namespace {

constexpr std::chrono::milliseconds toastDuration{2000};

void showToastOn(const std::weak_ptr<platform::View>& view, const std::string& text)
{
    if (view.lock())
        platform::showToast(text, toastDuration, platform::ToastPosition::bottom);
}

// The question before a large package's download, with its size in MB.
std::string downloadQuestion(double packageSize)
{
    char size[64];
    std::snprintf(size, sizeof size, "%.2f", packageSize / 1048576);
    return localizedString("Q_DOWNLOAD_NEW_VERSION") + " \n " + localizedString("DOWNLOAD_SIZE") + ": " + size +
           "  MB)";
}

} // namespace

void ServerCom::showUpdateDialog(std::weak_ptr<platform::View> view, bool wakeup)
{
    try {
        updateCheck(wakeup, [weak = weak_from_this(), view, wakeup](std::optional<RequestProperties> reply) {
            if (auto self = weak.lock())
                self->decideOnUpdate(view, wakeup, std::move(reply));
        });
    } catch (const fetchAppXmlError& error) {
        platform::mainQueue().async([weak = weak_from_this(), view] {
            auto self = weak.lock();
            if (!self)
                return;
            showToastOn(view, localizedString("UPDATE_TRY_AGAIN_LATER"));
            sharedConfig().appState = Config::appStateEnum::FRESH;
            self->queueUpdateErrorAlert();
            self->isWakeupSync = false;
        });
        LOG_ERROR(std::string("Error checking for update ") + error.what());
    }
}

void ServerCom::decideOnUpdate(const std::weak_ptr<platform::View>& view, bool wakeup,
                               std::optional<RequestProperties> reply)
{
    Config& config = sharedConfig();
    if (reply && !isStorableReply(*reply)) {
        LOG_ERROR("the update reply holds a text the settings cannot keep as it is");
        reply.reset();
    }
    if (!reply) {
        LOG_ERROR("Failed update Check");
        failUpdateCheck();
        return;
    }
    LOG_DEBUG("Return from updateCheck: " + reply->xmlResponse);
    const std::string checkTime = timestampFormatter().string(platform::now());

    switch (reply->updateType) {
    case updateTypeEnum::FULL:
    case updateTypeEnum::INCREMENTAL:
        if (shouldAskBeforeDownload(reply->packageSize) && !wakeup &&
            config.updateSilentMode == Config::UPDATE_SILENT_MODE_OFF) {
            platform::mainQueue().async([weak = weak_from_this(), view, props = *reply] {
                if (auto self = weak.lock())
                    self->askBeforeDownload(view, props);
            });
            LOG_DEBUG("Will update now!");
        } else {
            LOG_DEBUG("Will do small " + reply->updateTypeStr + " update");
            platform::mainQueue().async([] { sharedConfig().appState = Config::appStateEnum::PENDING; });
            downloadUpdate(view, reply, "", "", std::nullopt, false);
        }
        break;
    case updateTypeEnum::NOP:
        platform::mainQueue().async([weak = weak_from_this(), view] {
            auto self = weak.lock();
            if (!self)
                return;
            self->finishCheckWithoutDownload(view, localizedString("UP_TO_DATE"));
            self->reloadWebViewIfStartedViaURLScheme();
            sharedLazyLoad().startLazyLoad(self->webView.get());
        });
        isWakeupSync = false;
        break;
    case updateTypeEnum::ERROR:
        platform::mainQueue().async([weak = weak_from_this(), view] {
            auto self = weak.lock();
            if (!self)
                return;
            self->finishCheckWithoutDownload(view, localizedString("UPDATE_TRY_AGAIN_LATER"));
            self->isWakeupSync = false;
            self->reloadWebViewIfStartedViaURLScheme();
        });
        break;
    }
    config.defaults.set("lastUpdateCheck", checkTime);
    config.defaults.synchronize();
}

void ServerCom::failUpdateCheck()
{
    platform::mainQueue().async([weak = weak_from_this()] {
        auto self = weak.lock();
        if (!self)
            return;
        sharedConfig().appState = Config::appStateEnum::FRESH;
        self->queueUpdateErrorAlert();
        self->isWakeupSync = false;
        self->reloadWebViewIfStartedViaURLScheme();
    });
}

bool ServerCom::isStorableReply(const RequestProperties& reply) const
{
    return platform::SettingsStore::canStore(ZIPSECRET, reply.secretKey)
        && platform::SettingsStore::canStore(reply.updateTypeStr + "-", reply.xmlResponse);
}

void ServerCom::finishCheckWithoutDownload(const std::weak_ptr<platform::View>& view, const std::string& toast)
{
    sharedConfig().appState = Config::appStateEnum::FRESH;
    callJS(HIDEALLLOADING, webView.get());
    sharedConfig().stackOfJScript.lock()->push(HIDEALLLOADING);
    showToastOn(view, toast);
}

void ServerCom::askBeforeDownload(const std::weak_ptr<platform::View>& view, const RequestProperties& reply)
{
    const AlertButton ok{localizedString("OK"), [weak = weak_from_this(), view, reply] {
                             LOG_DEBUG("ok chosen");
                             sharedConfig().appState = Config::appStateEnum::PENDING;
                             if (auto self = weak.lock())
                                 self->downloadUpdate(view, reply, "", "", std::nullopt, false);
                         }};
    showAlert(localizedString("NEW_VERSION_AVAILABLE"), downloadQuestion(reply.packageSize), ok,
              AlertButton{"Cancel", [] { LOG_DEBUG("cancel"); }});
}

void ServerCom::queueUpdateErrorAlert()
{
    platform::mainQueue().async([weak = weak_from_this()] {
        if (auto self = weak.lock())
            self->showOkAlert(JS_ALERT_TITLES().at("ERROR"), localizedString("UPDATE_TRY_AGAIN_LATER"));
    });
}

void ServerCom::hideAllLoading()
{
    callJS("hideAllLoading()", webView.get());
}

void ServerCom::reloadWebViewIfStartedViaURLScheme()
{
    Config& config = sharedConfig();
    if (!config.isStartedViaURLscheme)
        return;
    const std::string landing = config.URLschemeLanding.get();
    if (landing.empty() || !platform::URLComponents::parse(landing))
        return;
    LOG_DEBUG("CALLING actonurlscheme due to NOP");
    sharedNotificationCenter().post(config.urlSchemeMessageIDKey, {}, platform::PlistDict{{"message", landing}});
}
