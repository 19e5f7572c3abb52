#pragma once
// The delegate of one download session of ServerCom: it hands what the session reports to the
// shared ServerCom, together with what that download was started for (its DownloadContext).
//
// The session keeps its delegate until its task has ended, so this holds ServerCom weakly: a
// download that outlives ServerCom is heard by nobody. Runs on the session's delegate queue,
// the main queue.

#include "contentserver/ServerCom.h"

#include <memory>

class ServerComDownloadDelegate final : public platform::UrlSessionDownloadDelegate {
public:
    ServerComDownloadDelegate(std::weak_ptr<ServerCom> serverCom, ServerCom::DownloadContext context)
        : serverCom_(std::move(serverCom)), context_(std::move(context))
    {
    }

    void didWriteData(platform::UrlSession& session, platform::UrlSessionDownloadTask& task, std::int64_t bytesWritten,
                      std::int64_t totalBytesWritten, std::int64_t totalBytesExpectedToWrite) override;
    void didFinishDownloadingTo(platform::UrlSession& session, platform::UrlSessionDownloadTask& task,
                                const std::filesystem::path& location) override;
    void didCompleteWithError(platform::UrlSession& session, platform::UrlSessionDownloadTask& task,
                              const std::optional<platform::UrlError>& error) override;

private:
    const std::weak_ptr<ServerCom> serverCom_;
    ServerCom::DownloadContext context_;
};
