// Download tasks of the libcurl URL session against the loopback content server, reported on the
// main queue as the update and lazy-load downloads use them.

#include "platform/UrlSession.h"
#include "platform/linux/CurlUrlSession.h"
#include "portable/Dispatch.h"
#include "tests/support/TestContentServer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

using platform::HttpUrlResponse;
using platform::UrlErrorCode;
using platform::UrlRequest;
using platform::UrlSessionDownloadDelegate;
using testsupport::TestContentServer;
using Reply = testsupport::TestContentServer::Reply;
using Stream = testsupport::TestContentServer::Stream;
using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

constexpr std::int64_t unknown = UrlSessionDownloadDelegate::transferSizeUnknown;

// Records what one session's delegate hears; the finished file is moved to `keep` when set.
class RecordingDelegate final : public UrlSessionDownloadDelegate {
public:
    struct Progress {
        std::int64_t bytesWritten, totalBytesWritten, totalBytesExpectedToWrite;
    };

    std::optional<fs::path> keep;
    std::vector<Progress> progress;
    std::vector<std::string> calls;
    std::optional<HttpUrlResponse> response;
    std::optional<platform::UrlError> error;
    std::string sessionIdentifier;
    fs::path location;
    bool offMainQueue = false;
    bool completed = false;

    void didWriteData(platform::UrlSession&, platform::UrlSessionDownloadTask&, std::int64_t bytesWritten,
                      std::int64_t totalBytesWritten, std::int64_t totalBytesExpectedToWrite) override
    {
        note("didWriteData");
        progress.push_back({bytesWritten, totalBytesWritten, totalBytesExpectedToWrite});
    }

    void didFinishDownloadingTo(platform::UrlSession& session, platform::UrlSessionDownloadTask& task,
                                const fs::path& file) override
    {
        note("didFinishDownloadingTo");
        sessionIdentifier = session.configuration().identifier;
        response = task.response();
        location = file;
        if (keep)
            fs::rename(file, *keep);
    }

    void didCompleteWithError(platform::UrlSession&, platform::UrlSessionDownloadTask&,
                              const std::optional<platform::UrlError>& taskError) override
    {
        note("didCompleteWithError");
        error = taskError;
        completed = true;
    }

    std::int64_t written() const { return progress.empty() ? 0 : progress.back().totalBytesWritten; }

private:
    void note(const char* call)
    {
        offMainQueue = offMainQueue || !platform::isMainThread();
        if (calls.empty() || calls.back() != call)
            calls.emplace_back(call);
    }
};

struct Download {
    std::shared_ptr<RecordingDelegate> delegate = std::make_shared<RecordingDelegate>();
    std::shared_ptr<platform::UrlSession> session;
    std::shared_ptr<platform::UrlSessionDownloadTask> task;
};

// Starts a download on a session of its own whose delegate queue is the main queue.
Download start(const std::string& url, platform::UrlSessionConfiguration configuration = {})
{
    Download download;
    configuration.delegateQueue = std::shared_ptr<platform::Queue>(std::shared_ptr<platform::Queue>(), &platform::mainQueue());
    configuration.downloadDelegate = download.delegate;
    download.session = std::make_shared<platform::CurlUrlSession>(std::move(configuration));
    UrlRequest request;
    request.url = url;
    download.task = download.session->downloadTask(request);
    return download;
}

bool waitForEnd(const Download& download)
{
    return platform::runMainLoopUntil([&] { return download.delegate->completed; }, 30s);
}

// The download files that are still in the temporary folder.
int temporaryDownloadFiles()
{
    int count = 0;
    for (const auto& entry : fs::directory_iterator(fs::temp_directory_path()))
        count += entry.path().filename().string().starts_with("webcontainer-download-");
    return count;
}

// True when `path` holds exactly the streamed body of `size` bytes.
bool holdsPattern(const fs::path& path, std::size_t size)
{
    std::ifstream in(path, std::ios::binary);
    std::string piece(1 << 20, '\0');
    std::size_t offset = 0;
    while (in.read(piece.data(), static_cast<std::streamsize>(piece.size())) || in.gcount() > 0) {
        const auto count = static_cast<std::size_t>(in.gcount());
        if (piece.compare(0, count, TestContentServer::patternBytes(offset, count)) != 0)
            return false;
        offset += count;
    }
    return offset == size;
}

// The process's peak resident memory so far, in kB.
long peakResidentKilobytes()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.starts_with("VmHWM:"))
            return std::stol(line.substr(6));
    return -1;
}

std::string readAll(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

} // namespace

// A 25 MB body goes to the file while it arrives: half of it is on disk while the server still
// holds the rest back, progress arrives on the main queue, and memory never holds the body.
TEST(UrlSessionDownload, streamsALargeBodyToAFileWithProgressOnTheMainQueue)
{
    constexpr std::size_t size = 25 * 1024 * 1024;
    constexpr std::size_t half = size / 2;
    for (bool announced : {true, false}) {
        SCOPED_TRACE(announced ? "Content-Length" : "chunked");
        TestContentServer server;
        server.reply("/package.zip", Reply().withStream({.size = size, .announceLength = announced, .holdAt = half}));
        const long peakBefore = peakResidentKilobytes();
        auto download = start(server.url("/package.zip"));
        download.delegate->keep = fs::temp_directory_path() / "kept.zip";

        ASSERT_TRUE(platform::runMainLoopUntil([&] { return download.delegate->written() == std::int64_t(half); }, 20s));
        EXPECT_EQ(1, temporaryDownloadFiles());
        for (const auto& entry : fs::directory_iterator(fs::temp_directory_path())) {
            if (entry.path().filename().string().starts_with("webcontainer-download-")) {
                EXPECT_EQ(half, fs::file_size(entry.path()));
            }
        }
        server.releaseHeldBodies();
        ASSERT_TRUE(waitForEnd(download));

        const auto& delegate = *download.delegate;
        EXPECT_FALSE(delegate.offMainQueue);
        EXPECT_EQ((std::vector<std::string>{"didWriteData", "didFinishDownloadingTo", "didCompleteWithError"}),
                  delegate.calls);
        EXPECT_FALSE(delegate.error);
        ASSERT_TRUE(delegate.response);
        EXPECT_EQ(200, delegate.response->statusCode);
        std::int64_t sum = 0;
        for (const auto& step : delegate.progress) {
            sum += step.bytesWritten;
            EXPECT_EQ(sum, step.totalBytesWritten);
            EXPECT_EQ(announced ? std::int64_t(size) : unknown, step.totalBytesExpectedToWrite);
        }
        EXPECT_EQ(std::int64_t(size), delegate.written());
        EXPECT_TRUE(holdsPattern(*delegate.keep, size));
#ifndef __SANITIZE_ADDRESS__
        // AddressSanitizer keeps freed buffers resident in its quarantine, so the bound says
        // nothing in a sanitizer build.
        EXPECT_LT(peakResidentKilobytes() - peakBefore, 8 * 1024) << "the body was held in memory";
#endif
        fs::remove(*delegate.keep);
    }
}

// Error pages are whole replies: the file holds them and the delegate reads the status; the
// session's file is gone once the delegate has had it.
TEST(UrlSessionDownload, reportsErrorStatusesAsFinishedDownloads)
{
    for (int status : {404, 500}) {
        SCOPED_TRACE(status);
        TestContentServer server;
        server.reply("/broken", Reply().withStatus(status).withBody("error page " + std::to_string(status)));
        auto download = start(server.url("/broken"));
        ASSERT_TRUE(waitForEnd(download));

        const auto& delegate = *download.delegate;
        EXPECT_FALSE(delegate.error);
        ASSERT_TRUE(delegate.response);
        EXPECT_EQ(status, delegate.response->statusCode);
        EXPECT_EQ(server.url("/broken"), delegate.response->url);
        EXPECT_FALSE(fs::exists(delegate.location));
        EXPECT_EQ(0, temporaryDownloadFiles());
    }
}

// Redirects as the download code decides them: one to an "http:" address is followed (its own
// body is not part of the download), one to "https:" is refused and its reply is the download.
TEST(UrlSessionDownload, followsOrRefusesRedirectsAsTheSessionDecides)
{
    TestContentServer server;
    server.reply("/target", Reply().withBody("the package"));
    server.reply("/to-http", Reply().withStatus(302).withHeader("Location", server.url("/target")).withBody("moved to http"));
    server.reply("/to-https", Reply().withStatus(301).withHeader("Location", "https://127.0.0.1:1/target").withBody("moved to https"));
    struct Case {
        std::string path;
        int status;
        std::string body;
    };
    for (const Case& row : {Case{"/to-http", 200, "the package"}, Case{"/to-https", 301, "moved to https"}}) {
        SCOPED_TRACE(row.path);
        platform::UrlSessionConfiguration configuration;
        bool askedOnMain = false;
        configuration.willPerformHTTPRedirection = [&](const HttpUrlResponse& redirect, const UrlRequest&) {
            askedOnMain = platform::isMainThread();
            return redirect.headerFields.value("Location").value_or("").find("http:") != std::string::npos;
        };
        auto download = start(server.url(row.path), configuration);
        download.delegate->keep = fs::temp_directory_path() / "kept";
        ASSERT_TRUE(waitForEnd(download));

        EXPECT_TRUE(askedOnMain);
        EXPECT_FALSE(download.delegate->error);
        ASSERT_TRUE(download.delegate->response);
        EXPECT_EQ(row.status, download.delegate->response->statusCode);
        EXPECT_EQ(row.body, readAll(*download.delegate->keep));
        EXPECT_EQ(std::int64_t(row.status == 200 ? row.body.size() : 0), download.delegate->written());
    }
}

// Transfers that end without a whole reply: the delegate gets the error and no file, and the
// partial file is removed.
TEST(UrlSessionDownload, endsWithTheErrorAndNoFileWhenTheTransferFails)
{
    TestContentServer server;
    server.reply("/stalls", Reply().withStream({.size = 256 * 1024, .holdAt = 64 * 1024}));
    // Longer than the time-out in all, never silent for long (libcurl measures speed per second).
    server.reply("/slow", Reply().withStream({.size = 20 * 1024, .pieceSize = 1024, .pause = 150ms, .holdAt = std::nullopt}));
    struct Case {
        std::string name;
        std::string url;
        std::function<void(Download&)> whileRunning;
        std::optional<UrlErrorCode> expected;
    };
    auto cancelOnceHalfway = [](Download& download) {
        ASSERT_TRUE(platform::runMainLoopUntil([&] { return download.delegate->written() == 64 * 1024; }));
        download.task->cancel();
    };
    const std::vector<Case> cases = {
        {"idle longer than the time-out", server.url("/stalls"), nullptr, UrlErrorCode::timedOut},
        {"slow but steady", server.url("/slow"), nullptr, std::nullopt},
        {"cancelled", server.url("/stalls"), cancelOnceHalfway, UrlErrorCode::cancelled},
        {"not http", "file:///etc/hostname", nullptr, UrlErrorCode::unsupportedURL},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.name);
        platform::UrlSessionConfiguration configuration;
        configuration.timeoutIntervalForRequest = 2s;
        auto download = start(row.url, configuration);
        if (row.whileRunning)
            row.whileRunning(download);
        ASSERT_TRUE(waitForEnd(download));

        const auto& delegate = *download.delegate;
        EXPECT_EQ(row.expected, delegate.error ? std::optional(delegate.error->code) : std::nullopt);
        EXPECT_EQ(!row.expected, delegate.response.has_value());
        EXPECT_EQ(!row.expected, std::count(delegate.calls.begin(), delegate.calls.end(), "didFinishDownloadingTo") == 1);
        EXPECT_EQ("didCompleteWithError", delegate.calls.back());
        EXPECT_EQ(0, temporaryDownloadFiles());
    }
}

// Many downloads at once, each on its own session as the download code makes them: each one's
// delegate hears its own session and gets its own body.
TEST(UrlSessionDownload, runsManyDownloadsSideBySide)
{
    constexpr int count = 16;
    constexpr std::size_t size = 512 * 1024;
    TestContentServer server;
    server.reply("/file", Reply().withStream({.size = size, .pieceSize = 32 * 1024, .pause = 10ms, .holdAt = std::nullopt}));
    std::vector<Download> downloads;
    for (int i = 0; i < count; ++i) {
        platform::UrlSessionConfiguration configuration;
        configuration.identifier = "lazy-?action=file&name=" + std::to_string(i);
        downloads.push_back(start(server.url("/file?i=" + std::to_string(i)), configuration));
        downloads.back().delegate->keep = fs::temp_directory_path() / ("kept-" + std::to_string(i));
    }
    ASSERT_TRUE(platform::runMainLoopUntil(
        [&] { return std::all_of(downloads.begin(), downloads.end(), [](auto& d) { return d.delegate->completed; }); }, 30s));
    for (int i = 0; i < count; ++i) {
        const auto& delegate = *downloads[i].delegate;
        EXPECT_FALSE(delegate.error);
        EXPECT_EQ("lazy-?action=file&name=" + std::to_string(i), delegate.sessionIdentifier);
        EXPECT_TRUE(holdsPattern(*delegate.keep, size)) << i;
    }
}
