#include "contentserver/DownloadSessionDelegate.h"

#include "base/Logger.h"
#include "contentserver/ServerCom.h"

namespace {

std::string describe(const platform::UrlSession& session)
{
    return session.configuration().identifier;
}

std::string describe(const platform::UrlSessionDownloadTask& task)
{
    return task.originalRequest().description();
}

} // namespace

void DownloadSessionDelegate::didBecomeInvalidWithError(const platform::UrlSession&,
                                                        const std::optional<platform::UrlError>& error)
{
    LOG_DEBUG("session error: " + (error ? error->localizedDescription : ""));
}

DownloadSessionDelegate::AuthChallengeDisposition
DownloadSessionDelegate::didReceiveChallenge(const AuthenticationChallenge&) const
{
    return AuthChallengeDisposition::performDefaultHandling;
}

void DownloadSessionDelegate::didFinishDownloadingTo(platform::UrlSession& session,
                                                     platform::UrlSessionDownloadTask& task,
                                                     const std::filesystem::path& location)
{
    LOG_DEBUG("session " + describe(session) + " has finished the download task " + describe(task) + " of URL " +
              location.string());
}

void DownloadSessionDelegate::didWriteData(platform::UrlSession& session, platform::UrlSessionDownloadTask& task,
                                           std::int64_t bytesWritten, std::int64_t totalBytesWritten,
                                           std::int64_t totalBytesExpectedToWrite)
{
    LOG_DEBUG("session " + describe(session) + " download task " + describe(task) + " wrote an additional " +
              std::to_string(bytesWritten) + " bytes (total " + std::to_string(totalBytesWritten) +
              " bytes) out of an expected " + std::to_string(totalBytesExpectedToWrite) + " bytes.");
    LOG_DEBUG("Progress: " + std::to_string(ServerCom::downloadProgress(totalBytesWritten, totalBytesExpectedToWrite)));
}

void DownloadSessionDelegate::didResumeAtOffset(const platform::UrlSession& session,
                                                const platform::UrlSessionDownloadTask& task, std::int64_t fileOffset,
                                                std::int64_t expectedTotalBytes)
{
    if (targetView.expired()) {
        LOG_DEBUG("session " + describe(session) + " download task " + describe(task) + " resumed at offset " +
                  std::to_string(fileOffset) + " bytes out of an expected " + std::to_string(expectedTotalBytes) +
                  " bytes.");
    } else if (expectedTotalBytes == 0) {
        LOG_ERROR("Error: expectedTotalByte is 0");
    }
}

void DownloadSessionDelegate::didCompleteWithError(platform::UrlSession& session, platform::UrlSessionDownloadTask&,
                                                   const std::optional<platform::UrlError>& error)
{
    if (error)
        LOG_DEBUG("session " + describe(session) + " download failed with error " + error->localizedDescription);
    else
        LOG_DEBUG("session " + describe(session) + " download completed");
}

void DownloadSessionDelegate::didFinishEvents(const platform::UrlSession& session)
{
    LOG_DEBUG("background session " + describe(session) + " finished events.");
    if (!describe(session).empty())
        completionHandler(describe(session));
}

void DownloadSessionDelegate::completionHandler(const std::string& identifier)
{
    if (!handlerQueue)
        return;
    handlerQueue->erase(identifier);
    if (handlerQueue->contains(identifier))
        LOG_DEBUG("COMPLETE!!!");
}
