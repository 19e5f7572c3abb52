#include "base/FileHelpers.h"

#include "base/Config.h"
#include "base/Logger.h"
#include "platform/FileURL.h"

#include <glib.h>
#include <sys/stat.h>

#include <algorithm>
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

} // namespace

bool staysInside(const fs::path& relative)
{
    if (relative.is_absolute() || relative.has_root_name() || relative.has_root_directory())
        return false;
    return std::none_of(relative.begin(), relative.end(), [](const fs::path& part) { return part == ".."; });
}

std::optional<fs::path> createFullURL(const std::string& relativePath)
{
    static const std::string marker = "sync/";
    const auto found = relativePath.find(marker);
    const fs::path folder = found != std::string::npos ? sharedConfig().SYNCURL : fs::path(sharedConfig().WEBROOT);
    const fs::path relative = found != std::string::npos ? relativePath.substr(found + marker.size()) : relativePath;
    if (!staysInside(relative))
        return std::nullopt;
    return relative.empty() ? folder : folder / relative;
}

std::optional<fs::path> fileInFolder(const fs::path& folder, const std::string& relativePath)
{
    const fs::path relative = relativePath;
    if (!staysInside(relative))
        return std::nullopt;
    const fs::path normal = relative.lexically_normal();
    if (normal.empty() || normal == "." || normal == "./")
        return std::nullopt;
    return folder / relative;
}

bool saveCreateDir(const fs::path& dirURL)
{
    const auto& fm = sharedConfig().fm;
    const std::string urlText = platform::fileURLString(dirURL);
    if (fm.fileExists(dirURL)) {
        if (fm.isDirectory(dirURL)) {
            LOG_DEBUG(urlText + " exists");
            return true;
        }
        LOG_ERROR(urlText + " is a file and not a directory!");
        if (const auto error = fm.removeItem(dirURL)) {
            LOG_ERROR("Error creating dir " + urlText + ": " + error.message());
            return false;
        }
    }
    if (const auto error = fm.createDirectory(dirURL, false)) {
        LOG_ERROR("Error creating dir " + urlText + ": " + error.message());
        return false;
    }
    return true;
}

void deleteFolder(const fs::path& url)
{
    if (const auto error = sharedConfig().fm.removeItem(url))
        LOG_ERROR("Error deleting folder " + platform::fileURLString(url) + ": " + error.message());
}

std::optional<std::string> webRootRelativePath(const fs::path& file)
{
    const fs::path relative = file.lexically_normal().lexically_relative(webRoot());
    if (relative.empty() || relative == "." || !staysInside(relative))
        return std::nullopt;
    return platform::percentEncodedPath(relative);
}

std::vector<std::string> getFilesOfWebDir()
{
    std::vector<std::string> files;
    std::error_code error;
    fs::recursive_directory_iterator it(webRoot(), error);
    if (error)
        return files;
    for (; !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
        // The entry itself decides: a link to a folder is an entry, not a folder to enter.
        const auto status = it->symlink_status(error);
        if (error)
            break;
        if (status.type() == fs::file_type::directory)
            continue;
        if (auto relative = webRootRelativePath(it->path()))
            files.push_back(std::move(*relative));
    }
    if (error)
        LOG_ERROR(error.message());
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
