#pragma once
// Writes whole files on a few threads of its own, for a caller that produces them faster than
// the file system takes them in: on a busy disk creating a file costs far more than filling it,
// and several creations at once take little longer than one.
//
// Each file is written as ContainedPath::writeFile writes it (a new file renamed over the entry
// once complete); a folder in the way is left as it is, not counted as an error. Writes of
// different files run in any order; the caller keeps the order where it matters (drain, or
// isPending before touching a path again).
//
// One thread hands files over and waits; the object is not shared further.

#include "portable/ContainedPath.h"

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

namespace platform {

class FileWriterPool {
public:
    // `threads` writers; write() waits while more than `maximumQueuedBytes` wait to be written.
    FileWriterPool(std::size_t threads, std::size_t maximumQueuedBytes);
    // Writes what is queued, then ends the threads.
    ~FileWriterPool();
    FileWriterPool(const FileWriterPool&) = delete;
    FileWriterPool& operator=(const FileWriterPool&) = delete;

    // Queues `bytes` as the new content of `place`; `order` ranks its failure among others.
    void write(ContainedPath place, std::string bytes, std::size_t order);
    // Waits until every queued file is written.
    void drain();
    // True while a file at `relative` (a ContainedPath's relative name) is queued or being written.
    bool isPending(const std::string& relative) const;
    // The failure of the lowest `order` so far: its order and error. None while all went well.
    std::optional<std::pair<std::size_t, std::error_code>> failure() const;

private:
    struct Job {
        ContainedPath place;
        std::string bytes;
        std::size_t order;
    };
    void run();

    const std::size_t maximumQueuedBytes_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Job> queue_;
    std::size_t queuedBytes_ = 0;
    std::size_t running_ = 0;
    std::map<std::string, int> pending_;
    std::optional<std::pair<std::size_t, std::error_code>> failure_;
    bool stopping_ = false;
    std::vector<std::thread> threads_;
};

} // namespace platform
