#pragma once
// The URL session on libcurl: every transfer of its data and download tasks runs on CurlMulti's one
// worker thread; redirects are taken one at a time, each after the session's redirect decision.

#include "platform/UrlSession.h"

namespace platform {

class CurlUrlSession final : public UrlSession {
public:
    using UrlSession::UrlSession;

    // Redirects a task follows before it fails with tooManyRedirects.
    static constexpr int maximumRedirects = 16;

protected:
    std::shared_ptr<UrlSessionTask> dataTaskImpl(UrlRequest request, Finish finish) override;
    std::shared_ptr<UrlSessionTask> downloadTaskImpl(UrlRequest request, std::shared_ptr<DownloadFile> file,
                                                     Finish finish) override;

private:
    friend class CurlDataTask;
    using UrlSession::decideRedirect;
};

} // namespace platform
