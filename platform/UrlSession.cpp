#include "platform/UrlSession.h"

#include "platform/Platform.h"
#include "portable/AsciiText.h"
#include "portable/GuardedCall.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <map>
#include <mutex>

namespace platform {
namespace {

bool startsWithIgnoringCase(std::string_view text, std::string_view prefix)
{
    return text.size() >= prefix.size() && equalsIgnoringASCIICase(text.substr(0, prefix.size()), prefix);
}

// What a task's caller and endAllTasks() end it through. It holds the implementation's task
// weakly: that task lives as long as its transfer runs, and holds what reports back. A task
// the implementation gave no handle for (it never started a transfer) is ended by delivering
// the cancellation here.
class TaskControl {
public:
    explicit TaskControl(std::function<void(DataTaskResult)> finish) : finish_(std::move(finish)) {}

    // Attaches the implementation's task; a cancel() that came first is passed on.
    void run(const std::shared_ptr<UrlSessionTask>& running)
    {
        bool cancelled = false;
        {
            std::lock_guard lock(mutex_);
            running_ = running;
            attached_ = true;
            cancelled = cancelled_;
        }
        if (cancelled)
            end(running);
    }

    void cancel()
    {
        std::shared_ptr<UrlSessionTask> running;
        {
            std::lock_guard lock(mutex_);
            if (cancelled_)
                return;
            cancelled_ = true;
            if (!attached_)
                return;
            running = running_.lock();
        }
        end(running);
    }

    // The task's end has been reported: what delivers its result goes (it may hold the report).
    void ended()
    {
        std::lock_guard lock(mutex_);
        finish_ = nullptr;
    }

private:
    void end(const std::shared_ptr<UrlSessionTask>& running)
    {
        if (running) {
            running->cancel();
            return;
        }
        std::function<void(DataTaskResult)> finish;
        {
            std::lock_guard lock(mutex_);
            finish = finish_;
        }
        // The first result of a task wins: one that is in already stays.
        if (finish)
            finish({std::nullopt, std::nullopt, UrlError::make(UrlErrorCode::cancelled)});
    }

    std::mutex mutex_;
    std::function<void(DataTaskResult)> finish_;
    std::weak_ptr<UrlSessionTask> running_;
    bool attached_ = false;
    bool cancelled_ = false;
};

// Every task of every session, from its start until its end has been reported. Tasks whose
// delegate queue is not the main queue are what endAllTasks() waits for: their ends run on
// threads of their own. Never destroyed: reply threads may outlive main().
class RunningTasks {
public:
    static RunningTasks& shared()
    {
        static auto* tasks = new RunningTasks();
        return *tasks;
    }

    void add(const std::shared_ptr<UrlSessionTask>& task, bool offMainQueue)
    {
        std::lock_guard lock(mutex_);
        tasks_.emplace(task.get(), Entry{task, offMainQueue});
    }

    // `task` has reported its end. Its last reference may go here, outside the lock and before
    // a waiter hears of it.
    void remove(const UrlSessionTask* task)
    {
        std::shared_ptr<UrlSessionTask> gone;
        {
            std::lock_guard lock(mutex_);
            const auto found = tasks_.find(task);
            if (found == tasks_.end())
                return;
            gone = std::move(found->second.task);
            tasks_.erase(found);
        }
        gone.reset();
        changed_.notify_all();
    }

    std::vector<std::shared_ptr<UrlSessionTask>> all() const
    {
        std::lock_guard lock(mutex_);
        std::vector<std::shared_ptr<UrlSessionTask>> tasks;
        for (const auto& [key, entry] : tasks_)
            tasks.push_back(entry.task);
        return tasks;
    }

    // Waits until no task off the main queue is left, or `deadline`; true when none is left.
    bool waitOffMainQueue(std::chrono::steady_clock::time_point deadline)
    {
        std::unique_lock lock(mutex_);
        return changed_.wait_until(lock, deadline, [this] {
            return std::none_of(tasks_.begin(), tasks_.end(), [](const auto& entry) { return entry.second.offMainQueue; });
        });
    }

private:
    struct Entry {
        std::shared_ptr<UrlSessionTask> task;
        bool offMainQueue;
    };
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::map<const UrlSessionTask*, Entry> tasks_;
};

// A data task as its caller sees it.
class SessionDataTask final : public UrlSessionTask {
public:
    explicit SessionDataTask(std::function<void(DataTaskResult)> finish) : control(std::move(finish)) {}
    void cancel() override { control.cancel(); }
    TaskControl control;
};

// A download task as its delegate sees it.
class SessionDownloadTask final : public UrlSessionDownloadTask {
public:
    explicit SessionDownloadTask(UrlRequest request) : request_(std::move(request)) {}

    void cancel() override { control->cancel(); }

    const UrlRequest& originalRequest() const override { return request_; }

    std::optional<HttpUrlResponse> response() const override
    {
        std::lock_guard lock(mutex_);
        return response_;
    }

    void setResponse(HttpUrlResponse response)
    {
        std::lock_guard lock(mutex_);
        response_ = std::move(response);
    }

    // Set once, before the task is handed out.
    std::unique_ptr<TaskControl> control;

private:
    const UrlRequest request_;
    mutable std::mutex mutex_;
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
            guardedCall("download delegate", [&] { listener->didCompleteWithError(*session_, *task_, result.error); });
        task_->control->ended();
        RunningTasks::shared().remove(task_.get());
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
    struct Delivery {
        std::atomic<bool> delivered = false;
        DataTaskCompletion completion;
        const UrlSessionTask* task = nullptr;
    };
    auto self = shared_from_this();
    auto delivery = std::make_shared<Delivery>();
    delivery->completion = std::move(completion);
    Finish finish = [self, delivery](DataTaskResult result) {
        if (delivery->delivered.exchange(true))
            return;
        self->queue_->async([self, delivery, result = std::move(result)]() mutable {
            // The completion and what it holds go here, on the delegate queue, before the task
            // counts as ended.
            if (auto completion = std::move(delivery->completion))
                guardedCall("data task completion", [&] { completion(std::move(result)); });
            RunningTasks::shared().remove(delivery->task);
        });
    };
    auto task = std::make_shared<SessionDataTask>(finish);
    delivery->task = task.get();
    RunningTasks::shared().add(task, queue_.get() != &mainQueue());
    if (!isHttpURL(request.url)) {
        finish({std::nullopt, std::nullopt, UrlError::make(UrlErrorCode::unsupportedURL)});
        task->control.run(nullptr);
        return task;
    }
    task->control.run(dataTaskImpl(prepared(std::move(request)), std::move(finish)));
    return task;
}

std::shared_ptr<UrlSessionDownloadTask> UrlSession::downloadTask(UrlRequest request)
{
    auto task = std::make_shared<SessionDownloadTask>(request);
    auto file = DownloadFile::create(configuration_.downloadsFolder);
    // Without a file (none could be made) the task ends before any transfer starts.
    auto report = std::make_shared<DownloadReport>(shared_from_this(), task, file);
    Finish finish = [report](DataTaskResult result) { report->finish(std::move(result)); };
    task->control = std::make_unique<TaskControl>(finish);
    RunningTasks::shared().add(task, queue_.get() != &mainQueue());
    if (!isHttpURL(request.url) || !file) {
        const auto code = file ? UrlErrorCode::unsupportedURL : UrlErrorCode::cannotCreateFile;
        report->finish({std::nullopt, std::nullopt, UrlError::make(code)});
        task->control->run(nullptr);
        return task;
    }
    file->onProgress = [weak = std::weak_ptr<DownloadReport>(report)] {
        if (auto alive = weak.lock())
            alive->progressed();
    };
    task->control->run(downloadTaskImpl(prepared(std::move(request)), std::move(file), std::move(finish)));
    return task;
}

bool UrlSession::endAllTasks(std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    auto& running = RunningTasks::shared();
    // An ending task may start another (a completion that sends the next request): each round
    // cancels what has started since the last.
    for (;;) {
        for (const auto& task : running.all())
            task->cancel();
        const auto now = std::chrono::steady_clock::now();
        if (running.waitOffMainQueue(std::min(deadline, now + std::chrono::milliseconds(100))))
            return true;
        if (now >= deadline)
            return false;
    }
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
