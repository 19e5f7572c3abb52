#pragma once
// The temporary file a download task streams its body into, with the count of bytes written.
//
// The transfer writes each piece as it arrives (from its own thread); the session reads the
// count and, once the task has ended, hands the file to the delegate and removes it. Each reply
// of the task (a redirect, then its target) starts the file afresh; only a reply whose body is
// the download counts towards progress. Safe from any thread; a write after close() fails.

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string_view>

namespace platform {

class DownloadFile {
public:
    // A new empty file of a name of its own in `folder` (the temporary directory, $TMPDIR, when
    // empty); nothing when it cannot be made.
    static std::shared_ptr<DownloadFile> create(const std::filesystem::path& folder = {});
    ~DownloadFile();
    DownloadFile(const DownloadFile&) = delete;
    DownloadFile& operator=(const DownloadFile&) = delete;

    // Runs after each counted write, on the writing thread. Set before the transfer starts.
    std::function<void()> onProgress;

    // A reply's header fields are in: the file is emptied for its body. `counted` says whether
    // that body is the download's (a redirect's is not); `expectedLength` is its announced
    // length or -1.
    bool startReply(std::int64_t expectedLength, bool counted);
    // Appends `piece`; false when the file is closed or the disk refuses it.
    bool write(std::string_view piece);
    void close();
    // Closes and deletes the file (it may already have been moved away).
    void remove();

    const std::filesystem::path& path() const { return path_; }
    // Bytes of the counted reply's body written so far, and its announced length (-1: unknown).
    std::int64_t written() const { return written_.load(); }
    std::int64_t expected() const { return expected_.load(); }

private:
    DownloadFile(std::filesystem::path path, int descriptor);

    std::filesystem::path path_;
    mutable std::mutex mutex_;
    int descriptor_ = -1;
    bool counted_ = false;
    std::atomic<std::int64_t> written_{0};
    std::atomic<std::int64_t> expected_{-1};
};

} // namespace platform
