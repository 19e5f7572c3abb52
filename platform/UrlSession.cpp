#include "platform/UrlSession.h"

#include "platform/AsciiText.h"
#include "platform/GuardedCall.h"
#include "platform/Platform.h"

#include <atomic>
#include <mutex>

namespace platform {
namespace {

bool startsWithIgnoringCase(std::string_view text, std::string_view prefix)
{
    return text.size() >= prefix.size() && equalsIgnoringASCIICase(text.substr(0, prefix.size()), prefix);
}

// A task that never started: cancelling it changes nothing.
class FinishedTask final : public UrlSessionTask {
public:
    void cancel() override {}
};

// A download task as its delegate sees it. It holds the implementation's task weakly: that task
// lives as long as its transfer runs, and holds what reports back to the delegate.
class SessionDownloadTask final : public UrlSessionDownloadTask {
public:
    explicit SessionDownloadTask(UrlRequest request) : request_(std::move(request)) {}

    void cancel() override
    {
        std::shared_ptr<UrlSessionTask> running;
        {
            std::lock_guard lock(mutex_);
            cancelled_ = true;
            running = running_.lock();
        }
        if (running)
            running->cancel();
    }

    const UrlRequest& originalRequest() const override { return request_; }

    std::optional<HttpUrlResponse> response() const override
    {
        std::lock_guard lock(mutex_);
        return response_;
    }

    // Attaches the implementation's task; a cancel() that came first is passed on.
    void run(const std::shared_ptr<UrlSessionTask>& running)
    {
        bool cancelled = false;
        {
            std::lock_guard lock(mutex_);
            running_ = running;
            cancelled = cancelled_;
        }
        if (cancelled && running)
            running->cancel();
    }

    void setResponse(HttpUrlResponse response)
    {
        std::lock_guard lock(mutex_);
        response_ = std::move(response);
    }

private:
    const UrlRequest request_;
    mutable std::mutex mutex_;
    std::weak_ptr<UrlSessionTask> running_;
    bool cancelled_ = false;
    std::optional<HttpUrlResponse> response_;
};

// Reports one download to the session's delegate on its queue: progress coalesced (at most one
// report waits on the queue; it tells what has arrived by the time it runs), then the end.
class DownloadReport final : public std::enable_shared_from_this<DownloadReport> {
public:
    DownloadReport(std::shared_ptr<UrlSession> session, std::shared_ptr<SessionDownloadTask> task,
                   std::shared_ptr<DownloadFile> file)
        : session_(std::move(session)), task_(std::move(task)), file_(std::move(file))
    {
    }

    // Any thread.
    void progressed()
    {
        if (progressPending_.exchange(true))
            return;
        session_->delegateQueue().async([self = shared_from_this()] {
            self->progressPending_ = false;
            self->reportProgress();
        });
    }

    // Any thread; the first call wins. A result without error carries the reply whose body is
    // in the file.
    void finish(DataTaskResult result)
    {
        if (ended_.exchange(true))
            return;
        session_->delegateQueue().async([self = shared_from_this(), result = std::move(result)] { self->end(result); });
    }

private:
    UrlSessionDownloadDelegate* delegate() const { return session_->configuration().downloadDelegate.get(); }

    // Delegate queue.
    void reportProgress()
    {
        if (!file_ || completed_)
            return;
        const std::int64_t total = file_->written();
        if (total <= reported_)
            return;
        const std::int64_t bytesWritten = total - reported_;
        reported_ = total;
        if (auto* listener = delegate())
            listener->didWriteData(*session_, *task_, bytesWritten, total, file_->expected());
    }

    // Delegate queue.
    void end(const DataTaskResult& result)
    {
        auto* listener = delegate();
        if (!result.error && result.response && file_) {
            reportProgress();
            task_->setResponse(*result.response);
            file_->close();
            // The file goes and the task ends even when the delegate fails.
            if (listener)
                guardedCall("download delegate", [&] { listener->didFinishDownloadingTo(*session_, *task_, file_->path()); });
        }
        completed_ = true;
        if (file_)
            file_->remove();
        if (listener)
            listener->didCompleteWithError(*session_, *task_, result.error);
    }

    const std::shared_ptr<UrlSession> session_;
    const std::shared_ptr<SessionDownloadTask> task_;
    const std::shared_ptr<DownloadFile> file_;
    std::atomic<bool> progressPending_ = false;
    std::atomic<bool> ended_ = false;
    // Delegate queue only.
    std::int64_t reported_ = 0;
    bool completed_ = false;
};

bool isHttpURL(const std::string& url)
{
    return startsWithIgnoringCase(url, "http://") || startsWithIgnoringCase(url, "https://");
}

} // namespace

std::optional<std::string> HttpHeaderFields::value(std::string_view name) const
{
    for (const auto& [fieldName, fieldValue] : fields_)
        if (equalsIgnoringASCIICase(fieldName, name))
            return fieldValue;
    return std::nullopt;
}

void HttpHeaderFields::set(const std::string& name, const std::string& value)
{
    for (auto& field : fields_) {
        if (equalsIgnoringASCIICase(field.first, name)) {
            field.second = value;
            return;
        }
    }
    fields_.emplace_back(name, value);
}

void HttpHeaderFields::add(const std::string& name, const std::string& value)
{
    for (auto& field : fields_) {
        if (equalsIgnoringASCIICase(field.first, name)) {
            field.second += ", " + value;
            return;
        }
    }
    fields_.emplace_back(name, value);
}

void HttpHeaderFields::remove(std::string_view name)
{
    std::erase_if(fields_, [&](const auto& field) { return equalsIgnoringASCIICase(field.first, name); });
}

std::string HttpHeaderFields::description() const
{
    std::string text = "{";
    for (const auto& [name, value] : fields_)
        text += " " + name + " = " + value + ";";
    return text + " }";
}

std::string UrlRequest::description() const
{
    return httpMethod + " " + url;
}

std::string HttpUrlResponse::description() const
{
    return "{ URL: " + url + " } { Status Code: " + std::to_string(statusCode) + ", Headers " +
           headerFields.description() + " }";
}

UrlError UrlError::make(UrlErrorCode code)
{
    switch (code) {
    case UrlErrorCode::cancelled: return {code, "cancelled"};
    case UrlErrorCode::badURL: return {code, "bad URL"};
    case UrlErrorCode::unsupportedURL: return {code, "unsupported URL"};
    case UrlErrorCode::timedOut: return {code, "The request timed out."};
    case UrlErrorCode::cannotFindHost: return {code, "A server with the specified hostname could not be found."};
    case UrlErrorCode::cannotConnectToHost: return {code, "Could not connect to the server."};
    case UrlErrorCode::networkConnectionLost: return {code, "The network connection was lost."};
    case UrlErrorCode::tooManyRedirects: return {code, "too many HTTP redirects"};
    case UrlErrorCode::cannotCreateFile: return {code, "cannot create file"};
    case UrlErrorCode::cannotWriteToFile: return {code, "cannot write to file"};
    case UrlErrorCode::secureConnectionFailed:
        return {code, "An SSL error has occurred and a secure connection to the server cannot be made."};
    case UrlErrorCode::serverCertificateUntrusted:
        return {code, "The certificate for this server is invalid."};
    case UrlErrorCode::cannotDecodeContentData: return {code, "cannot decode raw data"};
    case UrlErrorCode::dataLengthExceedsMaximum: return {code, "resource exceeds maximum size"};
    case UrlErrorCode::unknown: break;
    }
    return {UrlErrorCode::unknown, "An unknown error occurred."};
}

UrlSession::UrlSession(UrlSessionConfiguration configuration)
    : configuration_(std::move(configuration))
    , queue_(configuration_.delegateQueue ? configuration_.delegateQueue : makeSerialQueue(configuration_.identifier))
{
}

std::shared_ptr<UrlSessionTask> UrlSession::dataTask(UrlRequest request, DataTaskCompletion completion)
{
    auto self = shared_from_this();
    auto delivered = std::make_shared<std::atomic<bool>>(false);
    Finish finish = [self, delivered, completion = std::move(completion)](DataTaskResult result) mutable {
        if (delivered->exchange(true))
            return;
        self->queue_->async([self, completion = std::move(completion), result = std::move(result)]() mutable {
            if (completion)
                completion(std::move(result));
        });
    };
    if (!isHttpURL(request.url)) {
        finish({std::nullopt, std::nullopt, UrlError::make(UrlErrorCode::unsupportedURL)});
        return std::make_shared<FinishedTask>();
    }
    return dataTaskImpl(prepared(std::move(request)), std::move(finish));
}

std::shared_ptr<UrlSessionDownloadTask> UrlSession::downloadTask(UrlRequest request)
{
    auto task = std::make_shared<SessionDownloadTask>(request);
    auto file = DownloadFile::create(configuration_.downloadsFolder);
    // Without a file (none could be made) the task ends before any transfer starts.
    auto report = std::make_shared<DownloadReport>(shared_from_this(), task, file);
    if (!isHttpURL(request.url) || !file) {
        const auto code = file ? UrlErrorCode::unsupportedURL : UrlErrorCode::cannotCreateFile;
        report->finish({std::nullopt, std::nullopt, UrlError::make(code)});
        return task;
    }
    file->onProgress = [weak = std::weak_ptr<DownloadReport>(report)] {
        if (auto alive = weak.lock())
            alive->progressed();
    };
    Finish finish = [report](DataTaskResult result) { report->finish(std::move(result)); };
    task->run(downloadTaskImpl(prepared(std::move(request)), std::move(file), std::move(finish)));
    return task;
}

UrlRequest UrlSession::prepared(UrlRequest request) const
{
    if (configuration_.timeoutIntervalForRequest)
        request.timeoutInterval = *configuration_.timeoutIntervalForRequest;
    return request;
}

void UrlSession::decideRedirect(HttpUrlResponse redirect, UrlRequest newRequest, std::function<void(bool)> answer)
{
    auto self = shared_from_this();
    queue_->async([self, redirect = std::move(redirect), newRequest = std::move(newRequest), answer = std::move(answer)] {
        bool follow = true;
        if (self->configuration_.willPerformHTTPRedirection) {
            // A decision that fails refuses the redirect; the task still completes.
            follow = false;
            guardedCall("redirect decision", [&] {
                follow = self->configuration_.willPerformHTTPRedirection(redirect, newRequest);
            });
        }
        answer(follow);
    });
}

std::shared_ptr<UrlSession> makeUrlSession(UrlSessionConfiguration configuration)
{
    auto& make = current().makeUrlSession;
    return make ? make(std::move(configuration)) : nullptr;
}

} // namespace platform
