#pragma once
// HTTP requests in the manner of the platform's URL sessions.
//
// A session runs data tasks: one request, one reply. Each task's completion runs exactly once
// on the session's delegate queue (by default a serial queue of the session's own), with either
//   - a reply and its body (an empty body is a body: data holds ""), or
//   - a transport error and no body (a refused connection, a time-out, a TLS failure, …).
// HTTP error statuses are replies, not errors.
//
// Rules every implementation keeps:
//   - The session stores no cookie and sends none of its own: a reply's Set-Cookie lines are
//     handed to the caller raw, and a request carries only the header fields it was given.
//   - Before a redirect is followed, the configuration's redirect decision is asked on the
//     delegate queue; a refused redirect completes the task with the redirect reply itself.
//   - TLS certificates and host names are always verified.
//   - The time-out is an idle time-out: the task fails when nothing arrives for that long, while
//     connecting or while the reply is under way; a slow but steady transfer never times out.
//
// Lifetimes: a running task keeps its session and the delegate queue alive until its completion
// has run; callers need not keep either. Sessions and tasks are safe to use from any thread.

#include "platform/Dispatch.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace platform {

// Header fields of a request or a reply, in order of first appearance. Names compare
// case-insensitively and keep the spelling first seen; a field a reply repeats holds its values
// joined with ", ".
class HttpHeaderFields {
public:
    std::optional<std::string> value(std::string_view name) const;
    bool contains(std::string_view name) const { return value(name).has_value(); }
    // Replaces the value of `name`.
    void set(const std::string& name, const std::string& value);
    // Adds `value` to `name`, joined with ", " to a value already there.
    void add(const std::string& name, const std::string& value);
    void remove(std::string_view name);

    bool empty() const { return fields_.empty(); }
    std::size_t size() const { return fields_.size(); }
    const std::vector<std::pair<std::string, std::string>>& fields() const { return fields_; }
    // "{ Name = value; … }", for logs.
    std::string description() const;

private:
    std::vector<std::pair<std::string, std::string>> fields_;
};

struct UrlRequest {
    std::string url;
    std::string httpMethod = "GET";
    HttpHeaderFields headerFields;
    std::optional<std::string> httpBody;
    // Longest silence allowed while connecting or transferring.
    std::chrono::milliseconds timeoutInterval = std::chrono::seconds(60);

    // "<METHOD> <url>", for logs.
    std::string description() const;
};

struct HttpUrlResponse {
    // The address that answered (after the redirects that were followed).
    std::string url;
    int statusCode = 0;
    HttpHeaderFields headerFields;
    // Every Set-Cookie line of the reply, unparsed, in order.
    std::vector<std::string> setCookieLines;

    std::string description() const;
};

enum class UrlErrorCode {
    unknown,
    cancelled,
    badURL,
    unsupportedURL,
    timedOut,
    cannotFindHost,
    cannotConnectToHost,
    networkConnectionLost,
    tooManyRedirects,
    secureConnectionFailed,
    serverCertificateUntrusted,
    cannotDecodeContentData,
};

struct UrlError {
    UrlErrorCode code = UrlErrorCode::unknown;
    // A sentence for people ("The request timed out.").
    std::string localizedDescription;

    // The error of `code` with its standard description.
    static UrlError make(UrlErrorCode code);
};

struct DataTaskResult {
    std::optional<std::string> data;
    std::optional<HttpUrlResponse> response;
    std::optional<UrlError> error;
};

class UrlSessionTask {
public:
    virtual ~UrlSessionTask() = default;
    // Ends the task; its completion reports `cancelled` unless it has already run or is due.
    // Safe from any thread.
    virtual void cancel() = 0;
};

struct UrlSessionConfiguration {
    // Names the session's own queue in logs.
    std::string identifier = "url-session";
    // Asked on the delegate queue before a redirect is followed: the redirect reply and the
    // request that following it would send. True follows it. Empty: every redirect is followed.
    std::function<bool(const HttpUrlResponse& redirect, const UrlRequest& newRequest)> willPerformHTTPRedirection;
    // The queue completions and decisions run on; empty: a new serial queue of the session's own.
    std::shared_ptr<Queue> delegateQueue;
};

class UrlSession : public std::enable_shared_from_this<UrlSession> {
public:
    using DataTaskCompletion = std::function<void(DataTaskResult)>;

    explicit UrlSession(UrlSessionConfiguration configuration);
    virtual ~UrlSession() = default;
    UrlSession(const UrlSession&) = delete;
    UrlSession& operator=(const UrlSession&) = delete;

    // Starts a data task for `request` at once. A URL that is not http or https completes the
    // task with `unsupportedURL` without sending anything.
    std::shared_ptr<UrlSessionTask> dataTask(UrlRequest request, DataTaskCompletion completion);

    Queue& delegateQueue() const { return *queue_; }
    const UrlSessionConfiguration& configuration() const { return configuration_; }

protected:
    // Delivers a task's result: may be called from any thread; the first call of each task wins
    // and its completion runs on the delegate queue.
    using Finish = std::function<void(DataTaskResult)>;
    // Asks the redirect decision on the delegate queue and hands the answer to `answer` there.
    void decideRedirect(HttpUrlResponse redirect, UrlRequest newRequest, std::function<void(bool)> answer);

    // Sends `request` (already checked to be http or https) and calls `finish` once.
    virtual std::shared_ptr<UrlSessionTask> dataTaskImpl(UrlRequest request, Finish finish) = 0;

private:
    UrlSessionConfiguration configuration_;
    std::shared_ptr<Queue> queue_;
};

// Makes a session with the installed platform's implementation; nothing when none is installed.
std::shared_ptr<UrlSession> makeUrlSession(UrlSessionConfiguration configuration);

} // namespace platform
