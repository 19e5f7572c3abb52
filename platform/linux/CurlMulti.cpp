#include "platform/linux/CurlMulti.h"

#include "portable/GuardedCall.h"

namespace platform {

CurlMulti& CurlMulti::shared()
{
    static auto* multi = new CurlMulti();
    return *multi;
}

CurlMulti::CurlMulti()
{
    curl_global_init(CURL_GLOBAL_DEFAULT);
    multi_ = curl_multi_init();
    worker_ = std::thread([this] { run(); });
    worker_.detach();
}

void CurlMulti::start(std::shared_ptr<CurlTransfer> transfer)
{
    {
        std::lock_guard lock(mutex_);
        starting_.push_back(std::move(transfer));
    }
    curl_multi_wakeup(multi_);
}

void CurlMulti::cancel(const std::shared_ptr<CurlTransfer>& transfer)
{
    {
        std::lock_guard lock(mutex_);
        cancelling_.push_back(transfer);
    }
    curl_multi_wakeup(multi_);
}

void CurlMulti::run()
{
    for (;;) {
        takeRequests();
        int stillRunning = 0;
        curl_multi_perform(multi_, &stillRunning);
        int queued = 0;
        while (CURLMsg* message = curl_multi_info_read(multi_, &queued)) {
            if (message->msg == CURLMSG_DONE)
                finish(message->easy_handle, message->data.result);
        }
        curl_multi_poll(multi_, nullptr, 0, 1000, nullptr);
    }
}

void CurlMulti::takeRequests()
{
    std::vector<std::shared_ptr<CurlTransfer>> starting;
    std::vector<std::shared_ptr<CurlTransfer>> cancelling;
    {
        std::lock_guard lock(mutex_);
        starting.swap(starting_);
        cancelling.swap(cancelling_);
    }
    for (auto& transfer : starting) {
        if (curl_multi_add_handle(multi_, transfer->handle()) == CURLM_OK)
            running_.emplace(transfer->handle(), transfer);
        else
            notifyEnd(*transfer, CURLE_FAILED_INIT);
    }
    for (const auto& transfer : cancelling) {
        if (running_.contains(transfer->handle()))
            finish(transfer->handle(), CURLE_ABORTED_BY_CALLBACK);
    }
}

void CurlMulti::finish(CURL* easy, CURLcode code)
{
    auto found = running_.find(easy);
    if (found == running_.end())
        return;
    auto transfer = std::move(found->second);
    running_.erase(found);
    curl_multi_remove_handle(multi_, easy);
    notifyEnd(*transfer, code);
}

void CurlMulti::notifyEnd(CurlTransfer& transfer, CURLcode code)
{
    if (!transfer.onEnd)
        return;
    // Nothing may escape into libcurl's loop.
    guardedCall("HTTP transfer end handler", [&] { transfer.onEnd(code); });
}

} // namespace platform
