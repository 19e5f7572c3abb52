// The update check: asking the content server whether the web content is current, and reading
// its XML reply.

#include "contentserver/ServerCom.h"

#include "base/Config.h"
#include "base/IJReachability.h"
#include "logger/Logger.h"
#include "portable/URLResolution.h"
#include "portable/UTF8.h"

#include <filesystem>

namespace {

constexpr std::chrono::seconds updateCheckTimeout{10};

// The leftmost "<error>…</error>" that stands on one line, from its first "<error>" to the last
// "</error>" of that line (what the pattern "<error>(.*)</error>" finds when "." matches no line
// break). Searched by hand: a backtracking regular expression can exhaust the stack on a long
// line the server sends.
std::optional<std::string> errorElementOnOneLine(const std::string& text)
{
    static const std::string open = "<error>";
    static const std::string close = "</error>";
    for (std::size_t start = text.find(open); start != std::string::npos; start = text.find(open, start + 1)) {
        const std::size_t lineEnd = text.find_first_of("\r\n", start);
        const std::size_t searchEnd = lineEnd == std::string::npos ? text.size() : lineEnd;
        if (searchEnd < start + open.size() + close.size())
            continue;
        const std::size_t end = text.rfind(close, searchEnd - close.size());
        if (end != std::string::npos && end >= start + open.size())
            return text.substr(start, end + close.size() - start);
    }
    return std::nullopt;
}

// The update reply of a finished check, or nothing (logged) when there is none to act on.
std::optional<RequestProperties> readUpdateReply(ServerCom& serverCom, const platform::DataTaskResult& result)
{
    if (result.error || !result.data || !result.response) {
        // The reason (an untrusted certificate, a reply beyond its limit, …) is only in the log:
        // the user is told the check failed.
        LOG_ERROR("Network error=" + (result.error ? result.error->localizedDescription : ""));
        return std::nullopt;
    }
    const platform::HttpUrlResponse& response = *result.response;
    if (response.statusCode != 200) {
        LOG_DEBUG("statusCode should be 200, but is " + std::to_string(response.statusCode));
        LOG_DEBUG("response = " + response.description());
        return std::nullopt;
    }
    serverCom.getAndStoreNonces(response);

    const std::string& body = *result.data;
    pugi::xml_document document;
    try {
        document = serverCom.parseXML(body);
    } catch (const fetchAppXmlError& error) {
        LOG_ERROR(std::string("Error ") + error.what() + " parsing XML! " + body);
        return std::nullopt;
    }
    RequestProperties properties;
    properties.populate(document);
    // parseXML took only UTF-8 text.
    properties.xmlResponse = body;
    LOG_DEBUG("respStr: " + body);
    if (!properties.jScript.empty()) {
        sharedConfig().stackOfJScript.lock()->push(properties.jScript);
        LOG_DEBUG("adding xml script: " + properties.jScript + " ");
    }
    return properties;
}

} // namespace

pugi::xml_document ServerCom::parseXML(const std::string& data)
{
    // A reply cut short, garbage or an error page must never be read as "nothing to update"
    // nor act on the part that arrived.
    if (!platform::isValidUTF8(data))
        throw fetchAppXmlError(fetchAppXmlError::Kind::custom, "the reply is not UTF-8 text");
    if (const auto element = errorElementOnOneLine(data)) {
        const std::string location = std::filesystem::path(__FILE__).filename().string() + "  :  " +
                                     std::to_string(__LINE__);
        throw fetchAppXmlError(fetchAppXmlError::Kind::custom, "Server Error: " + *element + ") : " + location);
    }
    pugi::xml_document document;
    const pugi::xml_parse_result parsed = document.load_buffer(data.data(), data.size(), pugi::parse_default,
                                                               pugi::encoding_utf8);
    if (!parsed)
        throw fetchAppXmlError(fetchAppXmlError::Kind::custom,
                               std::string("the reply is not well-formed XML: ") + parsed.description() + " at " +
                                   std::to_string(parsed.offset));
    if (document.document_element().name() != rootNode)
        throw fetchAppXmlError(fetchAppXmlError::Kind::custom, "the reply's root element is not \"" + rootNode + "\"");
    return document;
}

void ServerCom::updateCheck(bool wakeup, UpdateCheckCompletion completionHandler)
{
    if (!IJReachability::isConnectedToNetwork()) {
        LOG_ERROR("No internet connection: false");
        throw fetchAppXmlError(fetchAppXmlError::Kind::no_INTERNET_CONNECTION, "false");
    }
    auto params = makeApiParams();
    if (!params)
        throw fetchAppXmlError(fetchAppXmlError::Kind::failed_URL_GENERATION, "Could not generate URL from: ");
    if (wakeup)
        params->sync_mode = "wakeup";
    isWakeupSync = wakeup;

    const std::string query = params->queryString(false);
    const auto url = platform::resolvedURLString(query, params->baseURL);
    if (!url)
        throw fetchAppXmlError(fetchAppXmlError::Kind::failed_URL_GENERATION,
                               "Could not generate URL from: " + params->baseURL + query);

    platform::UrlRequest request;
    request.url = *url;
    request.httpMethod = "GET";
    request.timeoutInterval = updateCheckTimeout;
    request.timeoutIntervalForResource = updateCheckDeadline_;
    request.maximumBodyLength = [](const platform::HttpUrlResponse&) { return platform::limits::updateReplyBytes; };
    LOG_DEBUG("Firing asynchronous url connection......");

    // A session of its own that stores no cookie: the reply's cookies are read from its header.
    startDataTask("updatecheck", Redirects::followAll, std::move(request),
                  [this, completionHandler = std::move(completionHandler)](platform::DataTaskResult result) {
                      completionHandler(readUpdateReply(*this, result));
                  });
}
