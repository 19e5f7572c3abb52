#include "contentserver/FolderListings.h"

#include "portable/FileURL.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <functional>
#include <string_view>

namespace fs = std::filesystem;

namespace {

std::error_code lastError()
{
    return {errno, std::generic_category()};
}

} // namespace

FolderListings::FolderListings(fs::path webRoot) : webRoot_(std::move(webRoot)), thread_([this] { run(); }) {}

FolderListings::~FolderListings()
{
    {
        std::lock_guard lock(mutex_);
        stopped_ = true;
    }
    changed_.notify_all();
    thread_.join();
}

std::optional<FolderListings::Listing> FolderListings::next()
{
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return !ready_.empty() || done_; });
    if (ready_.empty())
        return std::nullopt;
    auto listing = std::move(ready_.front());
    ready_.pop_front();
    changed_.notify_all();
    return listing;
}

void FolderListings::run()
{
    while (true) {
        {
            std::unique_lock lock(mutex_);
            changed_.wait(lock, [this] { return ready_.size() < kListedAhead || stopped_; });
            if (stopped_)
                break;
        }
        auto listing = listNext();
        if (!listing)
            break;
        std::lock_guard lock(mutex_);
        ready_.push_back(std::move(*listing));
        changed_.notify_all();
    }
    std::lock_guard lock(mutex_);
    done_ = true;
    changed_.notify_all();
}

std::optional<FolderListings::Listing> FolderListings::listNext()
{
    if (ended_)
        return std::nullopt;
    Listing listing;
    if (!started_) {
        started_ = true;
        listing.folder =
            std::make_shared<platform::UniqueFd>(::open(webRoot_.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    } else if (pending_.empty()) {
        ended_ = true;
        return std::nullopt;
    } else {
        Pending subfolder = std::move(pending_.back());
        pending_.pop_back();
        listing.prefix = std::move(subfolder.prefix) + '/';
        listing.folder = std::make_shared<platform::UniqueFd>(::openat(
            subfolder.parent->get(), subfolder.name.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    }
    if (*listing.folder)
        listing.error = read(listing);
    else
        listing.error = lastError();
    ended_ = static_cast<bool>(listing.error);
    return listing;
}

std::error_code FolderListings::read(Listing& listing)
{
    // Read through a descriptor of its own, so that what reading keeps in the kernel goes when
    // the listing is done, on this thread.
    const int reading = ::openat(listing.folder->get(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR* folder = reading < 0 ? nullptr : ::fdopendir(reading);
    if (!folder) {
        const auto error = lastError();
        if (reading >= 0)
            ::close(reading);
        return error;
    }
    std::vector<std::string> subfolders;
    std::error_code error;
    while (!error) {
        errno = 0;
        const dirent* entry = ::readdir(folder);
        if (!entry) {
            if (errno != 0)
                error = lastError();
            break;
        }
        const std::string_view name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        unsigned char type = entry->d_type;
        if (type == DT_UNKNOWN) {
            struct stat status {};
            if (::fstatat(listing.folder->get(), entry->d_name, &status, AT_SYMLINK_NOFOLLOW) != 0) {
                error = lastError();
                break;
            }
            type = IFTODT(status.st_mode);
        }
        if (type == DT_DIR) {
            subfolders.emplace_back(name);
        } else {
            listing.names += name;
            listing.names += '\0';
        }
    }
    ::closedir(folder);
    // The first by name on top.
    std::sort(subfolders.begin(), subfolders.end(), std::greater<>());
    for (auto& name : subfolders) {
        std::string prefix = listing.prefix;
        platform::appendPercentEncodedPath(prefix, name);
        pending_.push_back({listing.folder, std::move(name), std::move(prefix)});
    }
    return error;
}
