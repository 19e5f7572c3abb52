#pragma once
// One HTTP exchange on a libcurl easy handle, run by CurlMulti's worker thread.
//
// libcurl follows no redirect and keeps no cookie here: the URL session decides about redirects
// itself, and cookies are the caller's business. The reply's header lines are collected as they
// arrive (a new status line, as after "100 Continue", starts them afresh); the body goes to
// `onBodyData` when set, else into memory, up to the request's maximumBodyLength. The request's
// timeoutIntervalForResource bounds the whole exchange.

#include "platform/UrlSession.h"

#include <curl/curl.h>

#include <functional>
#include <string>
#include <string_view>

namespace platform {

class CurlTransfer {
public:
    explicit CurlTransfer(const UrlRequest& request);
    ~CurlTransfer();
    CurlTransfer(const CurlTransfer&) = delete;
    CurlTransfer& operator=(const CurlTransfer&) = delete;

    CURL* handle() const { return easy_; }

    // Runs on the worker thread once the transfer has ended: CURLE_OK when a whole reply
    // arrived, CURLE_ABORTED_BY_CALLBACK when it was cancelled.
    std::function<void(CURLcode)> onEnd;
    // Takes each piece of the body; false aborts the transfer. Empty: the body is kept in memory.
    std::function<bool(std::string_view)> onBodyData;
    // Runs when the header fields of the final reply (not an interim 1xx one) are in, before its
    // body; false aborts the transfer.
    std::function<bool()> onReplyStart;

    // The reply as far as it arrived (status, address, header fields, Set-Cookie lines).
    HttpUrlResponse response() const;
    // The body kept in memory, handed over once.
    std::string takeBody() { return std::move(body_); }
    // The absolute address a redirect reply points to, when it names one.
    std::optional<std::string> redirectUrl() const;
    int statusCode() const;
    // The reply's header fields as far as they have arrived.
    const HttpHeaderFields& headerFields() const { return headerFields_; }
    // The length of the body as it will be handed over: the announced Content-Length when the
    // body is not content-encoded, else -1.
    std::int64_t expectedBodyLength() const;

    // The URL error that stands for this transfer's libcurl failure.
    UrlError errorFor(CURLcode code) const;

private:
    static size_t receiveHeader(char* data, size_t size, size_t count, void* self);
    static size_t receiveBody(char* data, size_t size, size_t count, void* self);
    // False aborts the transfer.
    bool headerLine(std::string_view line);

    CURL* easy_ = nullptr;
    curl_slist* headerList_ = nullptr;
    std::string requestBody_;
    HttpHeaderFields headerFields_;
    std::vector<std::string> setCookieLines_;
    std::string lastHeaderName_;
    std::string body_;
    std::function<std::optional<std::int64_t>(const HttpUrlResponse&)> maximumBodyLength_;
    // The limit of the reply under way, and whether its body went past it.
    std::optional<std::int64_t> bodyLimit_;
    bool exceededBodyLimit_ = false;
};

} // namespace platform
