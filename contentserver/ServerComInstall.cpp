// Installing an update package: unpacking it, checking and importing what came with it,
// swapping the web roots for a full package, the manifest clean-up, the page refresh and the
// start of lazy loading.

#include "contentserver/ServerCom.h"

#include "base/Config.h"
#include "base/InternalJS.h"
#include "base/JavaScriptCalls.h"
#include "base/Logger.h"
#include "base/ObsoleteFiles.h"
#include "base/SettingsImport.h"
#include "base/WebRootSwap.h"
#include "contentserver/LazyLoad.h"
#include "platform/Dispatch.h"
#include "platform/FileURL.h"
#include "platform/Toast.h"
#include "platform/URLComponents.h"

namespace fs = std::filesystem;

namespace {

const std::string refreshScript = "if(window.refreshCurrentPage) { window.refreshCurrentPage() };";

bool samePath(const fs::path& a, const fs::path& b)
{
    return a.lexically_normal() == b.lexically_normal();
}

// A full package is unpacked into the web root's path with "-1"; an incremental one into the
// web root itself, which therefore never counts as a full package's copy.
bool isFullUpdateFolder(const fs::path& folder)
{
    return folder.string().ends_with("-1") && !samePath(folder, sharedConfig().WEBROOT);
}

} // namespace

void ServerCom::unpackUpdate(const fs::path& file, const fs::path& target)
{
    Config& config = sharedConfig();
    // Only this package may answer the page-refresh question, never one installed before.
    zipContent.reset();
    if (isWakeupSync || config.updateSilentMode == Config::UPDATE_SILENT_MODE_BACKGROUND)
        zipContent = platform::Archive::open(file);

    const bool full = samePath(target, TMPWWWROOT);
    auto fail = [&](const std::string& reason) {
        LOG_ERROR("UNZIP Error: " + reason + " unzipping file " + file.string() + " to " + target.string());
        config.stackOfJScript.lock()->push(alertScript(SERVERCOM_ERROR_WRONG_URL));
    };
    // Nothing of an earlier failed try may be merged into a full package's copy.
    if (full && config.fm.fileExists(target)) {
        if (auto error = config.fm.removeItem(target)) {
            fail("cannot empty the folder (" + error.message() + ")");
            return;
        }
    }

    platform::ZipError error;
    if (!platform::ZipArchive::unzipFileAtPath(file, target, &error, this)) {
        fail(error.localizedDescription);
        // What a full package left half unpacked is of no use; the live web root is untouched.
        if (full && config.fm.fileExists(target))
            config.fm.removeItem(target);
        return;
    }
    LOG_DEBUG("URL " + platform::fileURLString(file));
}

void ServerCom::zipArchiveDidUnzipArchive(const fs::path& path, const platform::ZipInfo&, const fs::path& unzippedPath)
{
    Config& config = sharedConfig();
    LOG_DEBUG("executing unzip delegate at " + platform::fileURLString(unzippedPath));
    const bool full = isFullUpdateFolder(unzippedPath);

    if (!config.fm.fileExists(unzippedPath / "info.plist")) {
        LOG_ERROR("ALERT: plist is missing in update.zip!");
        if (!full) {
            // An incremental package was unpacked over the live web root: removing the unpack
            // folder would remove the web root itself. It keeps what the package wrote.
            LOG_ERROR("the web root keeps the files of the incremental package without info.plist");
        } else if (auto error = config.fm.removeItem(unzippedPath)) {
            LOG_ERROR("Error deleting " + unzippedPath.string() + " on reverting update");
            if (!viewController.expired()) {
                platform::mainQueue().async([text = SC_UPDATE_ERROR] {
                    platform::showToast(text, std::chrono::milliseconds(2000), platform::ToastPosition::bottom);
                });
            }
        }
        if (auto screen = viewController.lock())
            screen->reloadWebView();
        return;
    }

    readPListToDefaultPref(unzippedPath / "info.plist");
    writeInternalJS(unzippedPath);

    if (full) {
        std::error_code error;
        if (config.fm.fileExists(path))
            error = config.fm.removeItem(path);
        if (!error)
            error = WebRootSwap(config.WEBROOT).replaceWith(unzippedPath);
        if (error)
            LOG_ERROR("Error deleting upzipped dir in full mode: " + error.message());
    }

    if (auto lazyLoadList = deleteObsoleteFiles(config.WEBROOT, sharedLazyLoad().configuredLazyLoadMode))
        storeLazyLoadList(*lazyLoadList);
    refreshPageFromPackage();
    // Fetches what the manifest lists and the package left out; no web view without a screen.
    const auto screen = viewController.lock();
    sharedLazyLoad().startLazyLoad(screen ? screen->pageWebView() : nullptr);
}

void ServerCom::refreshPageFromPackage()
{
    const auto view = webView.get().lock();
    if (!view || !zipContent)
        return;
    const auto address = view->url();
    const auto url = address ? platform::URLComponents::parse(*address) : std::nullopt;
    if (!url)
        return;
    const std::string page = url->lastPathComponent();
    if (page.find("message-thread") != std::string::npos || !zipContent->containsEntry(page))
        return;
    callJS(refreshScript, view);
}
