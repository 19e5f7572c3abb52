#include "platform/linux/CurlUrlSession.h"

#include "platform/linux/CurlMulti.h"

namespace platform {
namespace {

bool isRedirect(int status)
{
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

// The request that following a redirect sends: 303, and 301 or 302 after a POST, turn into a GET
// without body; 307 and 308 repeat the method and the body.
UrlRequest redirectedRequest(const UrlRequest& request, int status, const std::string& location)
{
    UrlRequest next = request;
    next.url = location;
    const bool toGet = status == 303 || ((status == 301 || status == 302) && request.httpMethod == "POST");
    if (toGet && request.httpMethod != "HEAD") {
        next.httpMethod = "GET";
        next.httpBody.reset();
        next.headerFields.remove("Content-Type");
        next.headerFields.remove("Content-Length");
    }
    return next;
}

} // namespace

// One data or download task across its redirects. The running transfer holds the task; the task
// holds the transfer only weakly, so a finished exchange frees both. A download task writes each
// reply's body to its file instead of memory.
class CurlDataTask final : public UrlSessionTask, public std::enable_shared_from_this<CurlDataTask> {
public:
    CurlDataTask(std::shared_ptr<CurlUrlSession> session, std::shared_ptr<DownloadFile> file, UrlSession::Finish finish)
        : session_(std::move(session)), file_(std::move(file)), finish_(std::move(finish))
    {
    }

    void send(UrlRequest request, int redirectsLeft)
    {
        // The whole task's time, redirects included: each exchange gets what is left of it.
        if (request.timeoutIntervalForResource) {
            const auto now = std::chrono::steady_clock::now();
            if (!deadline_)
                deadline_ = now + *request.timeoutIntervalForResource;
            request.timeoutIntervalForResource =
                std::max<std::chrono::milliseconds>(std::chrono::milliseconds(1),
                                                    std::chrono::duration_cast<std::chrono::milliseconds>(*deadline_ - now));
        }
        auto transfer = std::make_shared<CurlTransfer>(request);
        CurlTransfer* raw = transfer.get();
        if (file_)
            writeBodyToFile(*transfer);
        transfer->onEnd = [self = shared_from_this(), raw, request = std::move(request), redirectsLeft](CURLcode code) {
            self->ended(*raw, code, request, redirectsLeft);
        };
        {
            std::lock_guard lock(mutex_);
            if (cancelled_)
                return;
            transfer_ = transfer;
        }
        CurlMulti::shared().start(std::move(transfer));
    }

    void cancel() override
    {
        std::shared_ptr<CurlTransfer> running;
        {
            std::lock_guard lock(mutex_);
            cancelled_ = true;
            running = transfer_.lock();
        }
        finish_({std::nullopt, std::nullopt, UrlError::make(UrlErrorCode::cancelled)});
        if (running)
            CurlMulti::shared().cancel(running);
    }

private:
    void writeBodyToFile(CurlTransfer& transfer)
    {
        // Fewer, larger pieces for bodies that may be large.
        curl_easy_setopt(transfer.handle(), CURLOPT_BUFFERSIZE, 256L * 1024L);
        transfer.onReplyStart = [file = file_, raw = &transfer] {
            // The redirect's address is known only once it has ended; its Location field now.
            const bool redirect = isRedirect(raw->statusCode()) && raw->headerFields().contains("Location");
            return file->startReply(raw->expectedBodyLength(), !redirect);
        };
        transfer.onBodyData = [file = file_](std::string_view piece) { return file->write(piece); };
    }

    void ended(CurlTransfer& transfer, CURLcode code, const UrlRequest& request, int redirectsLeft)
    {
        if (code != CURLE_OK) {
            finish_({std::nullopt, std::nullopt, transfer.errorFor(code)});
            return;
        }
        HttpUrlResponse response = transfer.response();
        // A download's body is in its file.
        std::optional<std::string> body;
        if (!file_)
            body = transfer.takeBody();
        auto location = transfer.redirectUrl();
        if (!isRedirect(response.statusCode) || !location) {
            finish_({std::move(body), std::move(response), std::nullopt});
            return;
        }
        if (redirectsLeft == 0) {
            finish_({std::nullopt, std::nullopt, UrlError::make(UrlErrorCode::tooManyRedirects)});
            return;
        }
        UrlRequest next = redirectedRequest(request, response.statusCode, *location);
        // Asked under the lock that cancel() takes before it delivers: the decision of a task
        // that is cancelled meanwhile comes before its completion, or not at all.
        std::lock_guard lock(mutex_);
        if (cancelled_)
            return;
        session_->decideRedirect(response, next,
                                 [self = shared_from_this(), next, response, body = std::move(body),
                                  redirectsLeft](bool follow) mutable {
                                     if (follow)
                                         self->send(std::move(next), redirectsLeft - 1);
                                     else
                                         self->finish_({std::move(body), std::move(response), std::nullopt});
                                 });
    }

    std::shared_ptr<CurlUrlSession> session_;
    // Download tasks only.
    std::shared_ptr<DownloadFile> file_;
    UrlSession::Finish finish_;
    std::mutex mutex_;
    std::weak_ptr<CurlTransfer> transfer_;
    bool cancelled_ = false;
    // When the task must have ended; set by its first exchange. One exchange at a time.
    std::optional<std::chrono::steady_clock::time_point> deadline_;
};

std::shared_ptr<UrlSessionTask> CurlUrlSession::dataTaskImpl(UrlRequest request, Finish finish)
{
    auto self = std::static_pointer_cast<CurlUrlSession>(shared_from_this());
    auto task = std::make_shared<CurlDataTask>(std::move(self), nullptr, std::move(finish));
    task->send(std::move(request), maximumRedirects);
    return task;
}

std::shared_ptr<UrlSessionTask> CurlUrlSession::downloadTaskImpl(UrlRequest request, std::shared_ptr<DownloadFile> file,
                                                                 Finish finish)
{
    auto self = std::static_pointer_cast<CurlUrlSession>(shared_from_this());
    auto task = std::make_shared<CurlDataTask>(std::move(self), std::move(file), std::move(finish));
    task->send(std::move(request), maximumRedirects);
    return task;
}

} // namespace platform
