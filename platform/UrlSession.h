#pragma once
// HTTP requests in the manner of the platform's URL sessions.
//
// A session runs data tasks: one request, one reply. Each task's completion runs exactly once
// on the session's delegate queue (by default a serial queue of the session's own), with either
//   - a reply and its body (an empty body is a body: data holds ""), or
//   - a transport error and no body (a refused connection, a time-out, a TLS failure, …).
// HTTP error statuses are replies, not errors.
//
// A session also runs download tasks: the body streams into a temporary file of its own (never
// held whole in memory) while the session's download delegate hears, on the delegate queue and in
// this order: didWriteData (zero or more times, coalesced), didFinishDownloadingTo (once, when a
// whole reply arrived: the file and, through the task, the reply; the file is removed when the
// call returns, so the delegate moves it away), didCompleteWithError (always last, exactly once:
// nothing, or the transport error). Whatever the status, a whole reply is a finished download:
// the delegate reads the status and decides what a 404 page means. The body of a redirect that is
// followed is not part of the download.
//
// Rules every implementation keeps:
//   - The session stores no cookie and sends none of its own: a reply's Set-Cookie lines are
//     handed to the caller raw, and a request carries only the header fields it was given.
//   - Before a redirect is followed, the configuration's redirect decision is asked on the
//     delegate queue; a refused redirect completes the task with the redirect reply itself.
//   - TLS certificates and host names are always verified.
//   - The time-out is an idle time-out: the task fails when nothing arrives for that long, while
//     connecting or while the reply is under way; a slow but steady transfer times out only at
//     the request's timeoutIntervalForResource.
//   - A data task's body never grows past the request's maximumBodyLength.
//
//   - A cancelled task asks no redirect decision once its completion is due.
//
// Lifetimes: a running task keeps its session and the delegate queue alive until its completion
// has run; callers need not keep either. Sessions and tasks are safe to use from any thread.
// A completion reaches what it captured, and often the shared instances: endAllTasks() ends
// every task before those go (and before the process exits).

#include "portable/Dispatch.h"
#include "portable/DownloadFile.h"

#include <chrono>
#include <cstdint>
#include <filesystem>
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

struct HttpUrlResponse;

struct UrlRequest {
    std::string url;
    std::string httpMethod = "GET";
    HttpHeaderFields headerFields;
    std::optional<std::string> httpBody;
    // Longest silence allowed while connecting or transferring.
    std::chrono::milliseconds timeoutInterval = std::chrono::seconds(60);
    // Longest the whole task may take, redirects included, however steadily its reply arrives;
    // it then fails with timedOut. None: no limit.
    std::optional<std::chrono::milliseconds> timeoutIntervalForResource;
    // Data tasks: the longest reply body the task takes in memory, asked once the reply's header
    // fields are in (on a thread of the session's own). A body announced or arriving longer ends
    // the task with dataLengthExceedsMaximum before more of it is read. Empty, or no answer: no
    // limit.
    std::function<std::optional<std::int64_t>(const HttpUrlResponse&)> maximumBodyLength;

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
    cannotCreateFile,
    cannotWriteToFile,
    secureConnectionFailed,
    serverCertificateUntrusted,
    cannotDecodeContentData,
    dataLengthExceedsMaximum,
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

class UrlSession;

// A download task, as its delegate sees it. Safe from any thread.
class UrlSessionDownloadTask : public UrlSessionTask {
public:
    // The request the task was made with.
    virtual const UrlRequest& originalRequest() const = 0;
    // The reply whose body was downloaded (after the redirects that were followed); nothing
    // until the whole reply has arrived, and nothing for a task that failed.
    virtual std::optional<HttpUrlResponse> response() const = 0;
};

// What a download task reports, on the session's delegate queue (see the top of this file).
// The session holds its delegate until its last task has ended.
class UrlSessionDownloadDelegate {
public:
    // totalBytesExpectedToWrite when the reply does not say how long its body is.
    static constexpr std::int64_t transferSizeUnknown = -1;

    virtual ~UrlSessionDownloadDelegate() = default;
    // More of the body is in the file: `bytesWritten` since the last call, `totalBytesWritten`
    // in all, of `totalBytesExpectedToWrite` (the reply's length, or transferSizeUnknown).
    virtual void didWriteData(UrlSession& session, UrlSessionDownloadTask& task, std::int64_t bytesWritten,
                              std::int64_t totalBytesWritten, std::int64_t totalBytesExpectedToWrite)
    {
    }
    // The whole body is in the file at `location`, which is removed when this returns.
    virtual void didFinishDownloadingTo(UrlSession& session, UrlSessionDownloadTask& task,
                                        const std::filesystem::path& location)
    {
    }
    // The task has ended: no error (a whole reply arrived, whatever its status), or the error.
    virtual void didCompleteWithError(UrlSession& session, UrlSessionDownloadTask& task,
                                      const std::optional<UrlError>& error)
    {
    }
};

struct UrlSessionConfiguration {
    // The session's identifier: a download delegate reads it back from the session; it also
    // names the session's own queue in logs.
    std::string identifier = "url-session";
    // Asked on the delegate queue before a redirect is followed: the redirect reply and the
    // request that following it would send. True follows it. Empty: every redirect is followed.
    std::function<bool(const HttpUrlResponse& redirect, const UrlRequest& newRequest)> willPerformHTTPRedirection;
    // The queue completions and decisions run on; empty: a new serial queue of the session's own.
    std::shared_ptr<Queue> delegateQueue;
    // Hears the session's download tasks; empty: downloads run unheard.
    std::shared_ptr<UrlSessionDownloadDelegate> downloadDelegate;
    // When set, the idle time-out of every task of the session in place of its request's.
    std::optional<std::chrono::milliseconds> timeoutIntervalForRequest;
    // The folder download tasks stream their bodies into; empty: the temporary directory ($TMPDIR).
    std::filesystem::path downloadsFolder;
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
    // Starts a download task for `request` at once, reported to the configuration's download
    // delegate. A URL that is not http or https ends the task with `unsupportedURL`; a temporary
    // file that cannot be made, with `cannotCreateFile`.
    std::shared_ptr<UrlSessionDownloadTask> downloadTask(UrlRequest request);

    // Cancels every task of every session and waits until each one whose delegate queue is not
    // the main queue has run its completion (a download: its end), cancelling the tasks that
    // completions start meanwhile; false when some still run after `timeout`. Tasks of the main
    // queue end when the main queue next runs. Main thread, at teardown and at exit; a
    // completion must not wait for the main queue meanwhile.
    static bool endAllTasks(std::chrono::milliseconds timeout);

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
    // The same, with each reply's body written to `file` instead of memory: `finish` then gets
    // no data.
    virtual std::shared_ptr<UrlSessionTask> downloadTaskImpl(UrlRequest request, std::shared_ptr<DownloadFile> file,
                                                             Finish finish) = 0;

private:
    // The request as the session sends it (its time-out).
    UrlRequest prepared(UrlRequest request) const;

    UrlSessionConfiguration configuration_;
    std::shared_ptr<Queue> queue_;
};

// Makes a session with the installed platform's implementation; nothing when none is installed.
std::shared_ptr<UrlSession> makeUrlSession(UrlSessionConfiguration configuration);

} // namespace platform
