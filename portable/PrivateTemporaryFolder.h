#pragma once
// The program's own folder for temporary files: downloads on their way, the update package and
// its decrypted copy, images to show. Every run makes a new one with mkdtemp (mode 0700) below
// the application's cache folder ($XDG_CACHE_HOME/<bundle id>/), or below
// $XDG_RUNTIME_DIR/<bundle id>/ when that can't be used, so no other user can plant a file
// where the program looks or swap one in between. Never a fixed name in a shared folder.
//
// A run holds a lock on its folder for as long as the folder object lives; a folder of an
// earlier run whose lock is free (that run ended without removing it) is removed when the next
// folder is made there. The object removes its folder, with everything in it, when it goes.
// Immutable: safe from any thread.

#include "portable/UniqueFd.h"

#include <filesystem>
#include <memory>
#include <string>

namespace platform {

class PrivateTemporaryFolder {
public:
    // A new folder for the application `bundleIdentifier`; nothing when none can be made.
    static std::unique_ptr<PrivateTemporaryFolder> create(const std::string& bundleIdentifier);
    ~PrivateTemporaryFolder();
    PrivateTemporaryFolder(const PrivateTemporaryFolder&) = delete;
    PrivateTemporaryFolder& operator=(const PrivateTemporaryFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }

private:
    PrivateTemporaryFolder(std::filesystem::path path, UniqueFd lock);

    std::filesystem::path path_;
    // The open folder, locked with flock while this run uses it.
    UniqueFd lock_;
};

} // namespace platform
