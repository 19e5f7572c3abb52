#pragma once
// A download-session delegate that only reports what happens to its downloads in the log.
// ServerCom makes one and keeps it, but attaches it to no session: every download session has
// a ServerComDownloadDelegate, so none of these operations runs in the application.
//
// Authentication challenges get the session's default handling: the server certificate and
// host name are verified, never accepted unseen.
//
// Runs on whatever delegate queue a session would name; holds no lock, so one queue at a time.

#include "platform/ProgressView.h"
#include "platform/UrlSession.h"

#include <map>
#include <memory>
#include <optional>
#include <string>

class DownloadSessionDelegate final : public platform::UrlSessionDownloadDelegate {
public:
    // How a session answers an authentication challenge.
    enum class AuthChallengeDisposition { performDefaultHandling, useCredential, cancelAuthenticationChallenge };
    // The challenge as a session would hand it over: the server it came from and whether it
    // carries the server's certificate chain to judge.
    struct AuthenticationChallenge {
        std::string host;
        bool hasServerTrust = false;
    };

    // Session identifiers whose background events are awaited; never filled.
    std::optional<std::map<std::string, bool>> handlerQueue;
    std::weak_ptr<platform::View> targetView;
    std::shared_ptr<platform::ProgressView> progressView;

    void didBecomeInvalidWithError(const platform::UrlSession& session, const std::optional<platform::UrlError>& error);
    // Always the default handling: the session verifies the certificate and the host itself.
    AuthChallengeDisposition didReceiveChallenge(const AuthenticationChallenge& challenge) const;
    void didFinishDownloadingTo(platform::UrlSession& session, platform::UrlSessionDownloadTask& task,
                                const std::filesystem::path& location) override;
    void didWriteData(platform::UrlSession& session, platform::UrlSessionDownloadTask& task, std::int64_t bytesWritten,
                      std::int64_t totalBytesWritten, std::int64_t totalBytesExpectedToWrite) override;
    void didResumeAtOffset(const platform::UrlSession& session, const platform::UrlSessionDownloadTask& task,
                           std::int64_t fileOffset, std::int64_t expectedTotalBytes);
    void didCompleteWithError(platform::UrlSession& session, platform::UrlSessionDownloadTask& task,
                              const std::optional<platform::UrlError>& error) override;
    void didFinishEvents(const platform::UrlSession& session);
    // Forgets the identifier's entry in handlerQueue; nothing when there is none.
    void completionHandler(const std::string& identifier);
};
