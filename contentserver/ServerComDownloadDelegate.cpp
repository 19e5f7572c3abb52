#include "contentserver/ServerComDownloadDelegate.h"

void ServerComDownloadDelegate::didWriteData(platform::UrlSession&, platform::UrlSessionDownloadTask&, std::int64_t,
                                             std::int64_t totalBytesWritten, std::int64_t totalBytesExpectedToWrite)
{
    if (auto serverCom = serverCom_.lock())
        serverCom->didWriteData(totalBytesWritten, totalBytesExpectedToWrite);
}

void ServerComDownloadDelegate::didFinishDownloadingTo(platform::UrlSession& session,
                                                       platform::UrlSessionDownloadTask& task,
                                                       const std::filesystem::path& location)
{
    if (auto serverCom = serverCom_.lock())
        serverCom->didFinishDownloadingTo(session.configuration().identifier, task.response(), location, context_);
}

void ServerComDownloadDelegate::didCompleteWithError(platform::UrlSession& session, platform::UrlSessionDownloadTask&,
                                                     const std::optional<platform::UrlError>& error)
{
    if (auto serverCom = serverCom_.lock())
        serverCom->didCompleteWithError(session.configuration().identifier, error, context_);
}
