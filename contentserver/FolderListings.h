#pragma once
// The folders below a web root, listed on a thread of their own ahead of the walk that uses
// them, in the walk's order: the files of a folder before its subfolders, the subfolders in
// name order. Each comes with the names of its entries that are not folders. Folders are
// opened beneath their parent without following links, so a link never leads the walk
// elsewhere. Listing changes nothing on disk, so it may run ahead of what the walk deletes.
//
// One thread uses the object; the listing thread ends with it.

#include "portable/UniqueFd.h"

#include <condition_variable>
#include <deque>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

class FolderListings {
public:
    struct Listing {
        // The folder, only named (O_PATH): entries are removed relative to it.
        std::shared_ptr<const platform::UniqueFd> folder;
        // The folder's path below the web root, percent-encoded, with a final "/" ("" at the top).
        std::string prefix;
        // The names of its files and links, each ended by a NUL.
        std::string names;
        // Why the walk ends after these names; none when it goes on.
        std::error_code error;
    };

    explicit FolderListings(std::filesystem::path webRoot);
    ~FolderListings();
    FolderListings(const FolderListings&) = delete;
    FolderListings& operator=(const FolderListings&) = delete;

    // The next folder, waiting for it; nothing at the end or after the listing with an error.
    std::optional<Listing> next();

private:
    // A subfolder still to list: its parent, its name and its encoded path.
    struct Pending {
        std::shared_ptr<const platform::UniqueFd> parent;
        std::string name;
        std::string prefix;
    };

    void run();
    std::optional<Listing> listNext();
    std::error_code read(Listing& listing);

    // How many folders may wait listed, each holding a descriptor open.
    static constexpr std::size_t kListedAhead = 256;

    const std::filesystem::path webRoot_;
    // The listing thread's own.
    std::vector<Pending> pending_;
    bool started_ = false;
    bool ended_ = false;
    // Shared with the listing thread.
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Listing> ready_;
    bool done_ = false;
    bool stopped_ = false;
    std::thread thread_;
};
