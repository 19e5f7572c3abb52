#include "base/ObsoleteFiles.h"

#include "base/Config.h"
#include "base/FilesManifest.h"
#include "base/Logger.h"
#include "platform/ContainedPath.h"
#include "platform/FileURL.h"

#include <filesystem>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace fs = std::filesystem;

namespace {

void storeLazyLoadList(const std::vector<std::string>& files)
{
    Config& config = sharedConfig();
    const auto value = platform::PlistValue::stringArray(files);
    config.defaults.set(config.LAZYLOAD_STORE_KEY, value);
    config.defaults.synchronize();
    LOG_DEBUG("LL: Files to lazyload: " + value.description());
}

// The manifest's names and total; nothing (and the lazy-load list emptied) when it cannot be read.
std::optional<FilesManifest> readManifest(const platform::ContainedPath& file)
{
    std::error_code error;
    const auto bytes = file.readFile(error);
    if (auto text = bytes ? FilesManifest::decode(*bytes) : std::nullopt)
        return FilesManifest::parse(*text);
    LOG_ERROR("contents could not be loaded!!! " +
              (bytes ? std::string("the text encoding of files.txt cannot be told") : error.message()));
    storeLazyLoadList({});
    return std::nullopt;
}

bool isConsistent(const FilesManifest& manifest)
{
    const auto count = static_cast<std::int64_t>(manifest.names.size());
    if (manifest.total != count) {
        LOG_ERROR("Mismatching file count in deleteObsoleteFiles call: " + std::to_string(count) + " in list vs. " +
                  std::to_string(manifest.total) + " in count...");
        return false;
    }
    if (manifest.total < 16) {
        LOG_ERROR("Unrealistic file count in deleteObsoleteFiles call: " + std::to_string(count));
        return false;
    }
    return true;
}

// Walks the web root and deletes what is neither listed nor an "internal.js" path. `listed` maps
// each listed name to whether the walk found it.
void removeUnlisted(const fs::path& webRoot, std::unordered_map<std::string_view, bool>& listed)
{
    std::string prefix = webRoot.native();
    if (!prefix.ends_with('/'))
        prefix += '/';

    std::error_code error;
    // Without options: hidden entries are listed, links are entries and never entered.
    fs::recursive_directory_iterator it(webRoot, error);
    for (; !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
        const bool isLink = it->is_symlink(error);
        if (!error && !isLink && it->is_directory(error))
            continue;
        if (error)
            break;
        const std::string& path = it->path().native();
        if (!path.starts_with(prefix))
            continue;
        const std::string_view relative = std::string_view(path).substr(prefix.size());
        const std::string encoded = platform::percentEncodedPath(relative);
        if (const auto found = listed.find(encoded); found != listed.end()) {
            found->second = true;
            continue;
        }
        if (encoded.find("internal.js") != std::string::npos)
            continue;
        LOG_DEBUG("will delete file: " + platform::fileURLString(it->path()));
        const auto entry = platform::ContainedPath::make(webRoot, relative);
        error = entry ? entry->remove() : std::make_error_code(std::errc::invalid_argument);
    }
    if (error)
        LOG_ERROR("Error while enumerating and deleting files: " + error.message());
}

bool endsWithPageCode(std::string_view name)
{
    return name.ends_with(".html") || name.ends_with(".css") || name.ends_with(".js");
}

} // namespace

void deleteObsoleteFiles(LazyLoadMode configuredLazyLoadMode)
{
    const fs::path webRoot = fs::path(sharedConfig().WEBROOT).lexically_normal();
    const auto manifestFile = platform::ContainedPath::make(webRoot, "files.txt");
    if (!manifestFile || !manifestFile->exists()) {
        LOG_DEBUG("No files.txt present in deleteObsoleteFiles call");
        return;
    }
    const auto manifest = readManifest(*manifestFile);
    if (!manifest || !isConsistent(*manifest))
        return;

    std::unordered_map<std::string_view, bool> listed;
    listed.reserve(manifest->names.size());
    for (const auto& name : manifest->names)
        listed.emplace(name, false);
    removeUnlisted(webRoot, listed);

    std::vector<std::string> lazyLoadList;
    if (configuredLazyLoadMode != LazyLoadMode::none) {
        for (const auto& name : manifest->names) {
            if (listed[name])
                continue;
            if (configuredLazyLoadMode == LazyLoadMode::nonhtml && endsWithPageCode(name))
                continue;
            lazyLoadList.push_back(name);
        }
    }
    storeLazyLoadList(lazyLoadList);
}
