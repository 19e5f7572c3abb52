// What ServerCom does as its downloads progress and end: the progress bar, the finished file put
// in its place (a lazy file, a sync file, an update package to decrypt and unpack), and the
// notification at the end of every task.

#include "contentserver/ServerCom.h"

#include "base/Config.h"
#include "base/FileHelpers.h"
#include "base/LocalizedTexts.h"
#include "base/SharedInstances.h"
#include "contentserver/LazyLoad.h"
#include "logger/Logger.h"
#include "platform/UserNotificationCenter.h"
#include "portable/URLComponents.h"

#include <sys/stat.h>

#include <atomic>

namespace fs = std::filesystem;

namespace {

constexpr std::chrono::seconds failureNotificationDelay{1};

// "lazy" or "sync" for a download of such a file, the prefix of its identifier; else nothing.
std::optional<std::string> filePrefix(const std::optional<DownloadKind>& kind)
{
    if (kind == DownloadKind::lazy)
        return "lazy";
    if (kind == DownloadKind::sync)
        return "sync";
    return std::nullopt;
}

// The package of a download waits here for its install, under a name of its own.
std::string packageName()
{
    static std::atomic<unsigned> next{0};
    return "update-" + std::to_string(++next) + ".zip";
}

// The text after the first "<kind>-" of the identifier; "" when there is none.
std::string storeKeyOf(const std::string& identifier, const std::string& kind)
{
    const auto start = identifier.find(kind + "-");
    return start == std::string::npos ? "" : identifier.substr(start + kind.size() + 1);
}

// Why a finished reply is not taken as the download; nothing for a 2xx reply.
std::optional<std::string> refusedReply(const std::optional<platform::HttpUrlResponse>& response)
{
    if (!response)
        return "the download has no reply";
    if (response->statusCode >= 200 && response->statusCode < 300)
        return std::nullopt;
    return "The server answered with status " + std::to_string(response->statusCode) + ".";
}

// Moves the delivered file to `destination`, replacing what is there; failures are logged. The
// file arrives whole or not at all: renamed over the old one, or (from another file system)
// copied under a temporary name beside it and renamed then. Only a folder in the way goes first.
void moveIntoPlace(const fs::path& location, const platform::ContainedPath& destination)
{
    LOG_DEBUG("will move file to:" + destination.path().string());
    std::error_code error;
    struct stat existing {};
    if (!destination.entryStatus(existing) && S_ISDIR(existing.st_mode))
        error = destination.remove();
    // Folders a file needs that the web root lacks yet are made on the way.
    if (const auto parent = destination.parent(); !error && parent)
        error = parent->createDirectories();
    if (!error)
        error = destination.moveFrom(location);
    if (error)
        LOG_ERROR("Error moving file: " + error.message());
}

} // namespace

void ServerCom::didWriteData(std::int64_t totalBytesWritten, std::int64_t totalBytesExpectedToWrite)
{
    const float progress = downloadProgress(totalBytesWritten, totalBytesExpectedToWrite);
    LOG_DEBUG("Progress: " + std::to_string(progress));
    if (progressView && !progressView->isHidden())
        progressView->setProgress(progress, platform::ProgressAnimation::animated);
}

void ServerCom::didFinishDownloadingTo(const std::string& identifier,
                                       const std::optional<platform::HttpUrlResponse>& response,
                                       const fs::path& location, DownloadContext& context)
{
    if (progressView)
        progressView->removeFromSuperview();
    if (identifier.empty()) {
        LOG_ERROR("FATAL no session id !!!");
        return;
    }
    Config& config = sharedConfig();
    const auto kind = filePrefix(context.kind);
    // An error page, or the body of a redirect that was refused, is no file of the application.
    context.replyError = refusedReply(response);
    if (context.replyError)
        LOG_ERROR("not taking the download " + identifier + ": " + *context.replyError);

    if (!kind) {
        if (context.replyError) {
            config.defaults.remove(ZIPSECRET);
            return;
        }
        // The package goes to the program's own folder, replacing whatever lies there (a link
        // itself, never its target). One that can't be put there is a failed download: what
        // lies in its place is never unpacked instead.
        const auto package = platform::ContainedPath::make(config.tmpDirURL, packageName());
        if (const auto error = package->moveFrom(location)) {
            LOG_ERROR("Error moving file: " + error.message() + " at " + location.string());
            context.replyError = "The package could not be put in place: " + error.message();
            config.defaults.remove(ZIPSECRET);
            return;
        }
        installPackage(package->path(), context.kind.value_or(DownloadKind::incremental), context);
        return;
    }

    const std::string storeKey = storeKeyOf(identifier, *kind);
    if (storeKey.empty()) {
        LOG_ERROR("Could not get filename from sessionID");
        return;
    }
    const bool lazy = context.kind == DownloadKind::lazy;
    // A lazy file is the list entry it was fetched for, decoded as its manifest encoded it: the
    // store key's "file" item misreads names holding "&" or "+".
    std::string name = fileName(storeKey);
    if (lazy && context.lazyListEntry)
        name = platform::removingPercentEncoding(*context.lazyListEntry).value_or(*context.lazyListEntry);

    if (!context.replyError) {
        std::optional<platform::ContainedPath> destination;
        if (lazy) {
            destination = platform::ContainedPath::make(config.WEBROOT, name);
        } else {
            if (!saveCreateDir(config.SYNCURL))
                return;
            destination = platform::ContainedPath::make(config.SYNCURL, name);
        }
        if (destination) {
            moveIntoPlace(location, *destination);
        } else {
            LOG_ERROR("Error moving file: no file name of its folder: \"" + name + "\"");
            // Nothing was stored: the task ends as a failure, never as a sync that arrived.
            context.replyError = "No file name of its folder: \"" + name + "\"";
        }
    }
    if (lazy) {
        sharedLazyLoad().remove(context.lazyListEntry.value_or(name));
        sharedLazyLoad().lazyLoadNext(webView.get());
    }
}

void ServerCom::didCompleteWithError(const std::string& identifier, const std::optional<platform::UrlError>& error,
                                     const DownloadContext& context)
{
    // A package's task ends once its install has, with the install's failure as its own.
    if (context.install) {
        if (!context.install->outcome) {
            context.install->taskEnd = [weak = weak_from_this(), identifier, error, context] {
                if (auto self = weak.lock())
                    self->didCompleteWithError(identifier, error, context);
            };
            return;
        }
        if (const auto& outcome = *context.install->outcome;
            outcome.result == PackageInstaller::Outcome::Result::failed && !context.replyError) {
            DownloadContext failed = context;
            failed.install.reset();
            failed.replyError = outcome.error;
            didCompleteWithError(identifier, error, failed);
            return;
        }
    }

    if (progressView) {
        progressView->setProgress(0, platform::ProgressAnimation::animated);
        progressView->setHidden(true);
    }
    if (identifier.empty())
        return;
    Config& config = sharedConfig();
    platform::PlistDict userInfo;
    if (const auto kind = filePrefix(context.kind))
        userInfo["storeKey"] = storeKeyOf(identifier, *kind);
    if (const auto xml = config.defaults.string(identifier))
        userInfo["xmlstr"] = *xml;
    config.defaults.remove(identifier);
    config.defaults.synchronize();

    const auto failure = error ? std::optional(error->localizedDescription) : context.replyError;
    if (!failure) {
        LOG_DEBUG("The task finished transferring data successfully");
    } else {
        LOG_ERROR("Client Error: " + *failure);
        config.defaults.remove(identifier);
        userInfo["error"] = *failure;

        if (auto* center = platform::currentUserNotificationCenter()) {
            platform::UserNotificationRequest request;
            request.identifier = bundleID();
            request.content.title = JS_ALERT_TITLES().at("ERROR");
            request.content.body = SERVERCOM_ERROR_WRONG_URL;
            request.content.sound = platform::NotificationSound::defaultSound;
            request.content.userInfo = userInfo;
            request.trigger = platform::TimeIntervalNotificationTrigger{failureNotificationDelay, false};
            center->add(std::move(request));
        }
        if (const auto storeKey = userInfo.find("storeKey"); storeKey != userInfo.end())
            removeRunningDownload(*storeKey->second.asString());
    }
    config.appState = Config::appStateEnum::FRESH;
    sharedNotificationCenter().post(bundleID(), this, userInfo);
}
