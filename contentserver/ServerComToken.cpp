// Registering the push token with the content server.

#include "contentserver/ServerCom.h"

#include "base/Config.h"
#include "logger/Logger.h"
#include "portable/URLResolution.h"

namespace {

constexpr std::chrono::seconds tokenRequestTimeout{120};

} // namespace

void ServerCom::sendToken(const std::string& token)
{
    auto params = makeApiParams();
    if (!params)
        return;
    params->regToken = token;
    const std::string query = params->queryString(false) + "&action=fcm&method=share&tokentype=apple";
    LOG_DEBUG("Sending POST request: " + query);
    const auto url = platform::resolvedURLString(query, params->baseURL);
    if (!url) {
        LOG_ERROR("Could not generate URL from: " + params->baseURL + " " + query);
        return;
    }
    platform::UrlRequest request;
    request.url = *url;
    request.httpMethod = "POST";
    request.httpBody = query;
    request.timeoutInterval = tokenRequestTimeout;
    startDataTask("token", Redirects::followAll, std::move(request),
                  [this](platform::DataTaskResult result) { tokenReplyCompletion(result); });
}

void ServerCom::tokenReplyCompletion(const platform::DataTaskResult& result)
{
    if (result.error || !result.data) {
        LOG_DEBUG("error=" + (result.error ? result.error->localizedDescription : std::string()));
        sharedConfig().stackOfJScript.lock()->push(alertScript(NO_INTERNET));
        return;
    }
    if (result.response && result.response->statusCode != 200) {
        LOG_DEBUG("statusCode should be 200, but is " + std::to_string(result.response->statusCode));
        LOG_DEBUG("response = " + result.response->description());
    }
    LOG_DEBUG("responseString = " + *result.data);
}
