#include "contentserver/ServerCom.h"

#include "base/Config.h"
#include "base/LocalizedTexts.h"
#include "base/SharedInstances.h"
#include "logger/Logger.h"

ServerCom::ServerCom()
    : TMPWWWROOT(sharedConfig().WEBROOT + "-1")
    , SERVERCOM_ERROR_WRONG_URL(localizedString("SERVERCOM_ERROR_WRONG_URL"))
    , SERVERCOM_SERVER_ERROR(localizedString("SERVERCOM_SERVER_ERROR"))
    , NO_INTERNET(localizedString("NO_INTERNET"))
    , SC_DOWNLOAD_STARTED(localizedString("SC_DOWNLOAD_STARTED"))
    , SC_DOWNLOAD_FINISHED(localizedString("SC_DOWNLOAD_FINISHED"))
    , SC_UPDATE_FINISHED(localizedString("SC_UPDATE_FINISHED"))
    , SC_UPDATE_ERROR(localizedString("SC_UPDATE_ERROR"))
    , DOWNLOAD_UPDATE_FINISHED(localizedString("DOWNLOAD_UPDATE_FINISHED"))
    , VC_DL_ALREADY_RUNNING(localizedString("VC_DL_ALREADY_RUNNING"))
    , packageInstaller(std::make_shared<PackageInstaller>(sharedConfig().WEBROOT, sharedConfig().tmpDirURL))
    , updateCheckDeadline_(platform::limits::updateCheckDeadline)
    , replyQueue_(platform::makeSerialQueue("servercall"))
{
}

bool ServerCom::willPerformHTTPRedirection(const platform::HttpUrlResponse& response,
                                           const platform::UrlRequest& newRequest)
{
    LOG_DEBUG("REDIRECT: AllHeaders " + response.headerFields.description());
    LOG_DEBUG("REQUEST DESC: " + newRequest.description());
    const auto location = response.headerFields.value("Location");
    if (location && location->find("http:") != std::string::npos) {
        LOG_DEBUG("Following redirect: " + *location);
        return true;
    }
    LOG_DEBUG("Will NOT follow redirect");
    return false;
}

void ServerCom::startDataTask(const std::string& identifier, Redirects redirects, platform::UrlRequest request,
                              platform::UrlSession::DataTaskCompletion completion)
{
    platform::UrlSessionConfiguration configuration;
    configuration.identifier = identifier;
    configuration.delegateQueue = replyQueue_;
    if (redirects == Redirects::serverRule) {
        configuration.willPerformHTTPRedirection = [this](const platform::HttpUrlResponse& response,
                                                          const platform::UrlRequest& newRequest) {
            return willPerformHTTPRedirection(response, newRequest);
        };
    }
    // Every reply is held in memory until it is handled: bounded, a file more generously.
    if (!request.maximumBodyLength) {
        request.maximumBodyLength = [](const platform::HttpUrlResponse& reply) {
            return reply.headerFields.contains("Content-Disposition") ? platform::limits::serverCallFileBytes
                                                                      : platform::limits::serverCallReplyBytes;
        };
    }
    auto session = platform::makeUrlSession(std::move(configuration));
    if (!session) {
        // Completions run on the reply queue, as a session's would.
        replyQueue_->async([completion = std::move(completion)] {
            completion({std::nullopt, std::nullopt, platform::UrlError::make(platform::UrlErrorCode::unknown)});
        });
        return;
    }
    session->dataTask(std::move(request), std::move(completion));
}

ServerCom& sharedServerCom()
{
    return SharedInstances::get<ServerCom>();
}
