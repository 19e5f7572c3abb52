#include "platform/linux/CurlTransfer.h"

#include "portable/AsciiText.h"

#include <cmath>

namespace platform {

CurlTransfer::CurlTransfer(const UrlRequest& request)
    : easy_(curl_easy_init()), maximumBodyLength_(request.maximumBodyLength)
{
    curl_easy_setopt(easy_, CURLOPT_URL, request.url.c_str());
    curl_easy_setopt(easy_, CURLOPT_PRIVATE, this);
    curl_easy_setopt(easy_, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy_, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy_, CURLOPT_FOLLOWLOCATION, 0L);
    // TLS is always verified: the peer's chain and the host name.
    curl_easy_setopt(easy_, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(easy_, CURLOPT_SSL_VERIFYHOST, 2L);
    // Every encoding libcurl can undo is offered and undone: callers see the plain body.
    curl_easy_setopt(easy_, CURLOPT_ACCEPT_ENCODING, "");

    // Idle time-out: connecting may take that long, and so may any silence afterwards.
    const auto timeout = std::max<long>(1, static_cast<long>(request.timeoutInterval.count()));
    curl_easy_setopt(easy_, CURLOPT_CONNECTTIMEOUT_MS, timeout);
    curl_easy_setopt(easy_, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(easy_, CURLOPT_LOW_SPEED_TIME, static_cast<long>(std::ceil(timeout / 1000.0)));
    if (request.timeoutIntervalForResource)
        curl_easy_setopt(easy_, CURLOPT_TIMEOUT_MS, std::max<long>(1, static_cast<long>(request.timeoutIntervalForResource->count())));

    const std::string& method = request.httpMethod;
    if (request.httpBody) {
        requestBody_ = *request.httpBody;
        curl_easy_setopt(easy_, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(requestBody_.size()));
        curl_easy_setopt(easy_, CURLOPT_POSTFIELDS, requestBody_.data());
        if (method != "POST")
            curl_easy_setopt(easy_, CURLOPT_CUSTOMREQUEST, method.c_str());
    } else if (method == "GET") {
        curl_easy_setopt(easy_, CURLOPT_HTTPGET, 1L);
    } else if (method == "HEAD") {
        curl_easy_setopt(easy_, CURLOPT_NOBODY, 1L);
    } else if (method == "POST") {
        curl_easy_setopt(easy_, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(0));
        curl_easy_setopt(easy_, CURLOPT_POSTFIELDS, "");
    } else {
        curl_easy_setopt(easy_, CURLOPT_CUSTOMREQUEST, method.c_str());
    }

    for (const auto& [name, value] : request.headerFields.fields())
        headerList_ = curl_slist_append(headerList_, (name + ": " + value).c_str());
    // No "Expect: 100-continue" round trip before a body.
    if (!request.headerFields.contains("Expect"))
        headerList_ = curl_slist_append(headerList_, "Expect:");
    curl_easy_setopt(easy_, CURLOPT_HTTPHEADER, headerList_);

    curl_easy_setopt(easy_, CURLOPT_HEADERFUNCTION, &CurlTransfer::receiveHeader);
    curl_easy_setopt(easy_, CURLOPT_HEADERDATA, this);
    curl_easy_setopt(easy_, CURLOPT_WRITEFUNCTION, &CurlTransfer::receiveBody);
    curl_easy_setopt(easy_, CURLOPT_WRITEDATA, this);
}

CurlTransfer::~CurlTransfer()
{
    curl_easy_cleanup(easy_);
    curl_slist_free_all(headerList_);
}

size_t CurlTransfer::receiveHeader(char* data, size_t size, size_t count, void* self)
{
    return static_cast<CurlTransfer*>(self)->headerLine(std::string_view(data, size * count)) ? size * count : 0;
}

size_t CurlTransfer::receiveBody(char* data, size_t size, size_t count, void* self)
{
    auto* transfer = static_cast<CurlTransfer*>(self);
    const std::string_view piece(data, size * count);
    if (transfer->onBodyData)
        return transfer->onBodyData(piece) ? piece.size() : 0;
    if (transfer->bodyLimit_ && static_cast<std::int64_t>(transfer->body_.size() + piece.size()) > *transfer->bodyLimit_) {
        transfer->exceededBodyLimit_ = true;
        return 0;
    }
    transfer->body_.append(piece);
    return piece.size();
}

bool CurlTransfer::headerLine(std::string_view line)
{
    if (line.starts_with("HTTP/")) {
        // A new reply begins (after an interim "100 Continue", say): its own fields only.
        headerFields_ = {};
        setCookieLines_.clear();
        lastHeaderName_.clear();
        return true;
    }
    if (line == "\r\n" || line == "\n") {
        // The blank line that ends a reply's header fields.
        if (statusCode() < 200)
            return true;
        if (maximumBodyLength_)
            bodyLimit_ = maximumBodyLength_(response());
        if (bodyLimit_ && expectedBodyLength() > *bodyLimit_) {
            exceededBodyLimit_ = true;
            return false;
        }
        return !onReplyStart || onReplyStart();
    }
    if (!line.empty() && (line.front() == ' ' || line.front() == '\t')) {
        // A folded continuation of the previous field.
        auto more = trimmed(line);
        if (!lastHeaderName_.empty() && !more.empty()) {
            auto current = headerFields_.value(lastHeaderName_).value_or("");
            headerFields_.set(lastHeaderName_, current + " " + std::string(more));
        }
        return true;
    }
    const auto colon = line.find(':');
    if (colon == std::string_view::npos)
        return true;
    const std::string name(trimmed(line.substr(0, colon)));
    const std::string value(trimmed(line.substr(colon + 1)));
    if (name.empty())
        return true;
    headerFields_.add(name, value);
    lastHeaderName_ = name;
    if (equalsIgnoringASCIICase(name, "Set-Cookie"))
        setCookieLines_.push_back(value);
    return true;
}

int CurlTransfer::statusCode() const
{
    long status = 0;
    curl_easy_getinfo(easy_, CURLINFO_RESPONSE_CODE, &status);
    return static_cast<int>(status);
}

std::int64_t CurlTransfer::expectedBodyLength() const
{
    const auto encoding = headerFields_.value("Content-Encoding");
    if (encoding && !equalsIgnoringASCIICase(trimmed(*encoding), "identity"))
        return -1;
    curl_off_t length = -1;
    if (curl_easy_getinfo(easy_, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length) != CURLE_OK)
        return -1;
    return length;
}

HttpUrlResponse CurlTransfer::response() const
{
    HttpUrlResponse response;
    response.statusCode = statusCode();
    char* url = nullptr;
    if (curl_easy_getinfo(easy_, CURLINFO_EFFECTIVE_URL, &url) == CURLE_OK && url)
        response.url = url;
    response.headerFields = headerFields_;
    response.setCookieLines = setCookieLines_;
    return response;
}

std::optional<std::string> CurlTransfer::redirectUrl() const
{
    char* url = nullptr;
    if (curl_easy_getinfo(easy_, CURLINFO_REDIRECT_URL, &url) == CURLE_OK && url)
        return std::string(url);
    return std::nullopt;
}

UrlError CurlTransfer::errorFor(CURLcode code) const
{
    if (exceededBodyLimit_)
        return UrlError::make(UrlErrorCode::dataLengthExceedsMaximum);
    switch (code) {
    case CURLE_ABORTED_BY_CALLBACK:
        return UrlError::make(UrlErrorCode::cancelled);
    case CURLE_UNSUPPORTED_PROTOCOL:
        return UrlError::make(UrlErrorCode::unsupportedURL);
    case CURLE_URL_MALFORMAT:
        return UrlError::make(UrlErrorCode::badURL);
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY:
        return UrlError::make(UrlErrorCode::cannotFindHost);
    case CURLE_COULDNT_CONNECT:
        return UrlError::make(UrlErrorCode::cannotConnectToHost);
    case CURLE_OPERATION_TIMEDOUT:
        return UrlError::make(UrlErrorCode::timedOut);
    case CURLE_PEER_FAILED_VERIFICATION:
        return UrlError::make(UrlErrorCode::serverCertificateUntrusted);
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_ISSUER_ERROR:
        return UrlError::make(UrlErrorCode::secureConnectionFailed);
    case CURLE_WRITE_ERROR:
        return UrlError::make(UrlErrorCode::cannotWriteToFile);
    case CURLE_BAD_CONTENT_ENCODING:
        return UrlError::make(UrlErrorCode::cannotDecodeContentData);
    case CURLE_GOT_NOTHING:
    case CURLE_SEND_ERROR:
    case CURLE_RECV_ERROR:
    case CURLE_PARTIAL_FILE:
    case CURLE_HTTP2:
    case CURLE_HTTP2_STREAM:
        return UrlError::make(UrlErrorCode::networkConnectionLost);
    default:
        return UrlError::make(UrlErrorCode::unknown);
    }
}

} // namespace platform
