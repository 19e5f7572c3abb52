#include "base/FileHelpers.h"

#include "base/Config.h"
#include "logger/Logger.h"
#include "portable/FileURL.h"

#include <glib.h>
#include <sys/stat.h>

#include <cerrno>
#include <system_error>

namespace fs = std::filesystem;

namespace {

fs::path webRoot()
{
    fs::path root = fs::path(sharedConfig().WEBROOT).lexically_normal();
    if (!root.has_filename() && root.has_parent_path())
        root = root.parent_path();
    return root;
}

std::string formattedByteCount(std::uint64_t bytes)
{
    gchar* text = g_format_size(bytes);
    std::string out = text;
    g_free(text);
    return out;
}

// A folder the system itself names, as an entry of its parent: made, moved and removed there
// without following a link in its place.
std::optional<platform::ContainedPath> inItsParent(const fs::path& path)
{
    fs::path normal = path.lexically_normal();
    if (!normal.has_filename() && normal.has_parent_path())
        normal = normal.parent_path();
    return platform::ContainedPath::make(normal.parent_path(), normal.filename().string());
}

// Adds the entries below `folder` that are not folders, depth first. A folder that cannot be
// listed is logged and passed over; the rest of the web root still counts.
void listFilesBelow(const fs::path& folder, std::vector<std::string>& files)
{
    std::error_code error;
    fs::directory_iterator it(folder, error);
    for (; !error && it != fs::directory_iterator(); it.increment(error)) {
        // The entry itself decides: a link to a folder is an entry, not a folder to enter.
        const auto status = it->symlink_status(error);
        if (error)
            break;
        if (status.type() == fs::file_type::directory)
            listFilesBelow(it->path(), files);
        else if (auto relative = webRootRelativePath(it->path()))
            files.push_back(std::move(*relative));
    }
    if (error)
        LOG_ERROR(error.message());
}

} // namespace

std::optional<platform::ContainedPath> createFullURL(const fs::path& folder, const std::string& relativePath)
{
    // Appended as components: leading separators name nothing of their own.
    const auto start = relativePath.find_first_not_of('/');
    return platform::ContainedPath::make(folder, start == std::string::npos ? "" : relativePath.substr(start));
}

std::optional<platform::ContainedPath> createFullURL(const std::string& relativePath)
{
    static const std::string marker = "sync/";
    const auto found = relativePath.find(marker);
    if (found != std::string::npos)
        return createFullURL(sharedConfig().SYNCURL, relativePath.substr(found + marker.size()));
    return createFullURL(sharedConfig().WEBROOT, relativePath);
}

bool saveCreateDir(const platform::ContainedPath& dirURL)
{
    const std::string urlText = platform::fileURLString(dirURL.path());
    if (dirURL.isDirectory()) {
        LOG_DEBUG(urlText + " exists");
        return true;
    }
    struct stat entry {};
    if (!dirURL.entryStatus(entry)) {
        LOG_ERROR(urlText + " is a file and not a directory!");
        if (const auto error = dirURL.remove()) {
            LOG_ERROR("Error creating dir " + urlText + ": " + error.message());
            return false;
        }
    }
    if (const auto error = dirURL.createDirectory()) {
        LOG_ERROR("Error creating dir " + urlText + ": " + error.message());
        return false;
    }
    return true;
}

bool saveCreateDir(const fs::path& dirURL)
{
    if (const auto dir = inItsParent(dirURL))
        return saveCreateDir(*dir);
    LOG_ERROR("Error creating dir " + platform::fileURLString(dirURL) + ": " +
              std::make_error_code(std::errc::invalid_argument).message());
    return false;
}

void deleteFolder(const fs::path& url)
{
    const auto item = inItsParent(url);
    const auto error = item ? item->remove() : std::make_error_code(std::errc::invalid_argument);
    if (error)
        LOG_ERROR("Error deleting folder " + platform::fileURLString(url) + ": " + error.message());
}

std::optional<std::string> webRootRelativePath(const fs::path& file)
{
    const fs::path relative = file.lexically_normal().lexically_relative(webRoot());
    if (relative.empty() || relative == "." || *relative.begin() == "..")
        return std::nullopt;
    return platform::percentEncodedPath(relative);
}

std::vector<std::string> getFilesOfWebDir()
{
    std::vector<std::string> files;
    std::error_code error;
    const auto status = fs::symlink_status(webRoot(), error);
    if (error && error != std::errc::no_such_file_or_directory)
        LOG_ERROR(error.message());
    else if (fs::exists(status))
        listFilesBelow(webRoot(), files);
    return files;
}

std::uint64_t getFolderSize(const fs::path& folder)
{
    std::error_code error;
    const auto entries = sharedConfig().fm.contentsOfDirectory(folder, &error);
    if (!entries) {
        LOG_ERROR("Error: " + error.message());
        return 0;
    }
    std::uint64_t sum = 0;
    for (const auto& entry : *entries) {
        struct stat attributes {};
        if (::lstat(entry.c_str(), &attributes) != 0) {
            LOG_ERROR("Error: " + std::generic_category().message(errno));
            return sum;
        }
        sum += static_cast<std::uint64_t>(attributes.st_size);
    }
    LOG_DEBUG("Filesize found: " + std::to_string(sum) + " :: " + formattedByteCount(sum));
    return sum;
}
