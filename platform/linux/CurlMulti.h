#pragma once
// The process's one libcurl worker: a multi handle driven by one thread that runs every HTTP
// transfer of every URL session side by side. Created on first use, never destroyed.
// Safe from any thread.

#include "platform/linux/CurlTransfer.h"

#include <curl/curl.h>

#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace platform {

class CurlMulti {
public:
    static CurlMulti& shared();

    // Starts `transfer`; its onEnd runs on the worker thread when it ends. The worker keeps the
    // transfer alive until then.
    void start(std::shared_ptr<CurlTransfer> transfer);
    // Stops `transfer` if it still runs; its onEnd then gets CURLE_ABORTED_BY_CALLBACK.
    void cancel(const std::shared_ptr<CurlTransfer>& transfer);

private:
    CurlMulti();
    void run();
    // Takes the starts and cancellations posted since the last round.
    void takeRequests();
    void finish(CURL* easy, CURLcode code);
    static void notifyEnd(CurlTransfer& transfer, CURLcode code);

    CURLM* multi_ = nullptr;
    std::mutex mutex_;
    std::vector<std::shared_ptr<CurlTransfer>> starting_;
    std::vector<std::shared_ptr<CurlTransfer>> cancelling_;
    // Owned by the worker thread.
    std::map<CURL*, std::shared_ptr<CurlTransfer>> running_;
    std::thread worker_;
};

} // namespace platform
