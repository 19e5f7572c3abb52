#include "portable/FileWriterPool.h"

namespace platform {

FileWriterPool::FileWriterPool(std::size_t threads, std::size_t maximumQueuedBytes)
    : maximumQueuedBytes_(maximumQueuedBytes)
{
    for (std::size_t i = 0; i < threads; ++i)
        threads_.emplace_back([this] { run(); });
}

FileWriterPool::~FileWriterPool()
{
    drain();
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    for (auto& thread : threads_)
        thread.join();
}

void FileWriterPool::write(ContainedPath place, std::string bytes, std::size_t order)
{
    std::unique_lock lock(mutex_);
    // One file larger than the bound still goes, once nothing else waits.
    changed_.wait(lock, [&] { return queue_.empty() || queuedBytes_ + bytes.size() <= maximumQueuedBytes_; });
    queuedBytes_ += bytes.size();
    ++pending_[place.relative()];
    queue_.push_back({std::move(place), std::move(bytes), order});
    changed_.notify_all();
}

void FileWriterPool::drain()
{
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return queue_.empty() && running_ == 0; });
}

bool FileWriterPool::isPending(const std::string& relative) const
{
    std::lock_guard lock(mutex_);
    return pending_.count(relative) != 0;
}

std::optional<std::pair<std::size_t, std::error_code>> FileWriterPool::failure() const
{
    std::lock_guard lock(mutex_);
    return failure_;
}

void FileWriterPool::run()
{
    std::unique_lock lock(mutex_);
    while (true) {
        changed_.wait(lock, [this] { return !queue_.empty() || stopping_; });
        if (queue_.empty())
            return;
        Job job = std::move(queue_.front());
        queue_.pop_front();
        ++running_;
        lock.unlock();
        auto error = job.place.writeFile(job.bytes);
        // A folder of that name stays; the file is not written.
        if (error == std::errc::is_a_directory)
            error.clear();
        lock.lock();
        --running_;
        queuedBytes_ -= job.bytes.size();
        if (auto pending = pending_.find(job.place.relative()); --pending->second == 0)
            pending_.erase(pending);
        if (error && (!failure_ || job.order < failure_->first))
            failure_ = std::make_pair(job.order, error);
        changed_.notify_all();
    }
}

} // namespace platform
