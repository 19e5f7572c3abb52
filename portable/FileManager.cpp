#include "portable/FileManager.h"

#include "portable/DescriptorIO.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace platform {
namespace {

// The temporary file of an atomic write: ".<name>." and six characters that mkstemp picks.
constexpr std::size_t kTemporarySuffix = 6;

std::string temporaryPrefix(const fs::path& path)
{
    return "." + path.filename().string() + ".";
}

} // namespace

FileManager& FileManager::defaultManager()
{
    static auto* manager = new FileManager();
    return *manager;
}

bool FileManager::fileExists(const fs::path& path) const
{
    std::error_code error;
    return fs::exists(fs::symlink_status(path, error));
}

bool FileManager::isDirectory(const fs::path& path) const
{
    std::error_code error;
    return fs::is_directory(path, error);
}

std::error_code FileManager::createDirectory(const fs::path& path, bool withIntermediates) const
{
    std::error_code error;
    if (withIntermediates)
        fs::create_directories(path, error);
    else
        fs::create_directory(path, error);
    if (!error && !fs::is_directory(path, error) && !error)
        error = std::make_error_code(std::errc::file_exists);
    return error;
}

std::error_code FileManager::removeItem(const fs::path& path) const
{
    std::error_code error;
    if (!fileExists(path))
        return std::make_error_code(std::errc::no_such_file_or_directory);
    fs::remove_all(path, error);
    return error;
}

std::error_code FileManager::moveItem(const fs::path& from, const fs::path& to) const
{
    std::error_code error;
    fs::rename(from, to, error);
    return error;
}

std::error_code FileManager::copyItem(const fs::path& from, const fs::path& to) const
{
    std::error_code error;
    fs::copy(from, to, fs::copy_options::recursive | fs::copy_options::overwrite_existing, error);
    return error;
}

std::optional<std::vector<fs::path>> FileManager::contentsOfDirectory(const fs::path& path,
                                                                      std::error_code* errorOut) const
{
    std::error_code error;
    std::vector<fs::path> entries;
    for (fs::directory_iterator it(path, error); !error && it != fs::directory_iterator(); it.increment(error))
        entries.push_back(it->path());
    if (error) {
        if (errorOut)
            *errorOut = error;
        return std::nullopt;
    }
    std::sort(entries.begin(), entries.end());
    return entries;
}

std::optional<std::string> FileManager::readFile(const fs::path& path) const
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::ostringstream buffer;
    buffer << in.rdbuf();
    if (in.bad())
        return std::nullopt;
    return buffer.str();
}

bool FileManager::writeFileAtomically(const fs::path& path, const std::string& bytes, unsigned mode) const
{
    const fs::path folder = path.has_parent_path() ? path.parent_path() : fs::path(".");
    std::string pattern = (folder / (temporaryPrefix(path) + std::string(kTemporarySuffix, 'X'))).string();
    int fd = mkstemp(pattern.data());
    if (fd < 0)
        return false;
    bool ok = writeAll(fd, bytes);
    ok = ok && ::fchmod(fd, static_cast<mode_t>(mode)) == 0 && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    if (ok)
        ok = ::rename(pattern.c_str(), path.c_str()) == 0;
    if (!ok) {
        ::unlink(pattern.c_str());
        return false;
    }
    // The rename itself reaches the disk only with the folder.
    int dirFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
    return true;
}

bool FileManager::writeFileAtomicallyIfChanged(const fs::path& path, const std::string& bytes, unsigned mode) const
{
    std::error_code error;
    const auto status = fs::symlink_status(path, error);
    const bool asWritten = status.type() == fs::file_type::regular
        && (status.permissions() & fs::perms::mask) == static_cast<fs::perms>(mode);
    if (asWritten && readFile(path) == bytes)
        return true;
    return writeFileAtomically(path, bytes, mode);
}

std::size_t FileManager::removeStrayTemporaryFiles(const fs::path& path) const
{
    const fs::path folder = path.has_parent_path() ? path.parent_path() : fs::path(".");
    const std::string prefix = temporaryPrefix(path);
    std::size_t removed = 0;
    std::error_code error;
    for (fs::directory_iterator it(folder, error); !error && it != fs::directory_iterator(); it.increment(error)) {
        const std::string name = it->path().filename().string();
        if (name.size() == prefix.size() + kTemporarySuffix && name.starts_with(prefix)
            && it->symlink_status().type() == fs::file_type::regular && ::unlink(it->path().c_str()) == 0)
            ++removed;
    }
    return removed;
}

std::error_code FileManager::setExcludedFromBackup(const fs::path& path, bool excluded) const
{
    // The freedesktop.org common extended attribute for backup programs.
    const char* value = excluded ? "false" : "true";
    if (::setxattr(path.c_str(), "user.xdg.robots.backup", value, std::strlen(value), 0) != 0)
        return std::error_code(errno, std::generic_category());
    return {};
}

} // namespace platform
