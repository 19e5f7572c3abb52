#include "portable/PrivateTemporaryFolder.h"

#include "portable/Paths.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>

#include <cstdlib>
#include <vector>

namespace fs = std::filesystem;

namespace platform {
namespace {

constexpr const char* kNamePrefix = "tmp-";
// A run racing another's start-up for the same folder tries again with a new one.
constexpr int kAttempts = 3;

// `folder` itself (never a link to one), open and locked; nothing when another run holds it or
// it can't be opened.
UniqueFd lockedFolder(const fs::path& folder)
{
    UniqueFd fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!fd || ::flock(fd.get(), LOCK_EX | LOCK_NB) != 0)
        return {};
    return fd;
}

// Removes the folders earlier runs left in `parent`.
void removeStaleFolders(const fs::path& parent)
{
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(parent, error)) {
        std::error_code ignored;
        if (!entry.path().filename().string().starts_with(kNamePrefix) || !entry.is_directory(ignored) ||
            entry.is_symlink(ignored))
            continue;
        if (const auto lock = lockedFolder(entry.path()))
            fs::remove_all(entry.path(), ignored);
    }
}

} // namespace

std::unique_ptr<PrivateTemporaryFolder> PrivateTemporaryFolder::create(const std::string& bundleIdentifier)
{
    std::vector<fs::path> bases = {paths::cacheHome()};
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && runtime[0] == '/')
        bases.emplace_back(runtime);
    for (const auto& base : bases) {
        const fs::path parent = base / bundleIdentifier;
        std::error_code error;
        fs::create_directories(parent, error);
        if (error)
            continue;
        removeStaleFolders(parent);
        for (int attempt = 0; attempt < kAttempts; ++attempt) {
            std::string name = (parent / (std::string(kNamePrefix) + "XXXXXX")).string();
            if (!::mkdtemp(name.data()))
                break;
            // Another run starting meanwhile may have taken the folder for a stale one before the
            // lock was on it; a folder that is gone by then is given up.
            UniqueFd lock = lockedFolder(name);
            struct stat status {};
            if (lock && ::fstat(lock.get(), &status) == 0 && status.st_nlink > 0)
                return std::unique_ptr<PrivateTemporaryFolder>(new PrivateTemporaryFolder(name, std::move(lock)));
        }
    }
    return nullptr;
}

PrivateTemporaryFolder::PrivateTemporaryFolder(fs::path path, UniqueFd lock)
    : path_(std::move(path)), lock_(std::move(lock))
{
}

PrivateTemporaryFolder::~PrivateTemporaryFolder()
{
    std::error_code ignored;
    fs::remove_all(path_, ignored);
}

} // namespace platform
