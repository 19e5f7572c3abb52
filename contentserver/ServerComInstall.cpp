// Handing a downloaded update package to the package installer, and what the user sees of its
// outcome: the alert of a package that did not install, the reload after a package without
// "info.plist", the page refresh and the start of lazy loading after an installed one.

#include "contentserver/ServerCom.h"

#include "base/Config.h"
#include "base/JavaScriptCalls.h"
#include "contentserver/LazyLoad.h"
#include "logger/Logger.h"
#include "platform/Toast.h"
#include "portable/URLComponents.h"

namespace fs = std::filesystem;

namespace {

const std::string refreshScript = "if(window.refreshCurrentPage) { window.refreshCurrentPage() };";

// The last path component of the page `view` shows; nothing without one.
std::optional<std::string> pageName(const std::shared_ptr<platform::WebView>& view)
{
    const auto address = view ? view->url() : std::nullopt;
    const auto url = address ? platform::URLComponents::parse(*address) : std::nullopt;
    if (!url)
        return std::nullopt;
    return url->lastPathComponent();
}

} // namespace

void ServerCom::installPackage(const fs::path& file, DownloadKind kind, DownloadContext& context)
{
    Config& config = sharedConfig();
    PackageInstaller::Package package{file, kind, config.defaults.string(ZIPSECRET).value_or(""), std::nullopt};
    // Only the page on show may be refreshed, and only after a wake-up check or in silent mode 4.
    if (isWakeupSync || config.updateSilentMode == Config::UPDATE_SILENT_MODE_BACKGROUND) {
        const auto page = pageName(webView.get().lock());
        if (page && page->find("message-thread") == std::string::npos)
            package.pageOnShow = page;
    }
    auto install = std::make_shared<InstallInFlight>();
    context.install = install;
    packageInstaller->install(std::move(package), sharedLazyLoad().configuredLazyLoadMode,
                              [weak = weak_from_this(), install](const PackageInstaller::Outcome& outcome) {
                                  install->outcome = outcome;
                                  if (auto self = weak.lock())
                                      self->didInstallPackage(outcome);
                                  // The task's end, when it came first, holds this install.
                                  if (auto taskEnd = std::exchange(install->taskEnd, nullptr))
                                      taskEnd();
                              });
}

void ServerCom::didInstallPackage(const PackageInstaller::Outcome& outcome)
{
    Config& config = sharedConfig();
    if (outcome.keySpent)
        config.defaults.remove(ZIPSECRET);
    const auto screen = viewController.lock();
    using Result = PackageInstaller::Outcome::Result;
    switch (outcome.result) {
    case Result::failed: {
        // The page on show hears of it now; without one, the next page does.
        const std::string alert = alertScript(SERVERCOM_ERROR_WRONG_URL);
        const auto page = screen ? screen->pageWebView() : nullptr;
        if (page && page->url())
            callJS(alert, page);
        else
            config.stackOfJScript.lock()->push(alert);
        return;
    }
    case Result::withoutInfoPlist:
        if (!outcome.error.empty() && screen)
            platform::showToast(SC_UPDATE_ERROR, std::chrono::milliseconds(2000), platform::ToastPosition::bottom);
        if (screen)
            screen->reloadWebView();
        return;
    case Result::installedAndRefreshed:
        if (const auto view = webView.get().lock())
            callJS(refreshScript, view);
        [[fallthrough]];
    case Result::installed:
        // Fetches what the manifest lists and the package left out; no web view without a screen.
        sharedLazyLoad().startLazyLoad(screen ? screen->pageWebView() : nullptr);
        return;
    }
}
