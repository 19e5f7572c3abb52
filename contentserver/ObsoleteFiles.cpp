#include "contentserver/ObsoleteFiles.h"

#include "base/Config.h"
#include "contentserver/FilesManifest.h"
#include "contentserver/FolderListings.h"
#include "contentserver/ListedNames.h"
#include "logger/Logger.h"
#include "portable/ContainedPath.h"
#include "portable/FileURL.h"

#include <unistd.h>

#include <cerrno>
#include <future>
#include <string_view>

namespace fs = std::filesystem;

namespace {

std::error_code lastError()
{
    return {errno, std::generic_category()};
}

// The manifest's names and total; nothing when it cannot be read.
std::optional<FilesManifest> readManifest(const platform::ContainedPath& file)
{
    std::error_code error;
    const auto bytes = file.readFile(error);
    if (auto text = bytes ? FilesManifest::decode(*bytes) : std::nullopt)
        return FilesManifest::parse(*text);
    LOG_ERROR("contents could not be loaded!!! " +
              (bytes ? std::string("the text encoding of files.txt cannot be told") : error.message()));
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

// A manifest read, with the table of its names when it is consistent.
struct CheckedManifest {
    FilesManifest manifest;
    std::optional<ListedNames> listed;
};

// Records the listed entries of `listing` as present and deletes the rest but "internal.js"
// paths, each relative to its folder. The first error comes back.
std::error_code cleanUp(const FolderListings::Listing& listing, ListedNames& listed, const std::string& rootURL)
{
    std::string path;
    for (std::size_t at = 0; at < listing.names.size();) {
        const char* name = listing.names.c_str() + at;
        const std::string_view entry(name);
        at += entry.size() + 1;
        path.assign(listing.prefix);
        platform::appendPercentEncodedPath(path, entry);
        if (listed.markFound(path) || path.find("internal.js") != std::string::npos)
            continue;
        LOG_DEBUG("will delete file: " + rootURL + path);
        if (::unlinkat(listing.folder->get(), name, 0) != 0)
            return lastError();
    }
    return listing.error;
}

bool endsWithPageCode(std::string_view name)
{
    return name.ends_with(".html") || name.ends_with(".css") || name.ends_with(".js");
}

} // namespace

std::optional<std::vector<std::string>> deleteObsoleteFiles(const fs::path& webRoot,
                                                            LazyLoadMode configuredLazyLoadMode)
{
    const fs::path root = webRoot.lexically_normal();
    const auto manifestFile = platform::ContainedPath::make(root, "files.txt");
    if (!manifestFile || !manifestFile->exists()) {
        LOG_DEBUG("No files.txt present in deleteObsoleteFiles call");
        return std::nullopt;
    }
    // The manifest is read and its checksums verified while the folders are listed.
    auto reading = std::async(std::launch::async, [&]() -> std::optional<CheckedManifest> {
        auto manifest = readManifest(*manifestFile);
        if (!manifest)
            return std::nullopt;
        CheckedManifest checked{std::move(*manifest), std::nullopt};
        if (isConsistent(checked.manifest))
            checked.listed.emplace(checked.manifest.names);
        return checked;
    });
    FolderListings listings(root);
    auto checked = reading.get();
    if (!checked)
        return std::vector<std::string>{};
    if (!checked->listed)
        return std::nullopt;
    const FilesManifest* const manifest = &checked->manifest;
    ListedNames& listed = *checked->listed;
    const std::string rootURL = platform::fileURLString(root) + "/";
    std::error_code error;
    while (!error) {
        const auto listing = listings.next();
        if (!listing)
            break;
        error = cleanUp(*listing, listed, rootURL);
    }
    if (error)
        LOG_ERROR("Error while enumerating and deleting files: " + error.message());

    std::vector<std::string> lazyLoadList;
    if (configuredLazyLoadMode != LazyLoadMode::none) {
        for (std::size_t i = 0; i < manifest->names.size(); ++i) {
            const std::string& name = manifest->names[i];
            if (listed.wasFound(i))
                continue;
            if (configuredLazyLoadMode == LazyLoadMode::nonhtml && endsWithPageCode(name))
                continue;
            lazyLoadList.push_back(name);
        }
    }
    return lazyLoadList;
}

void storeLazyLoadList(const std::vector<std::string>& files)
{
    Config& config = sharedConfig();
    const auto value = platform::PlistValue::stringArray(files);
    config.defaults.set(config.LAZYLOAD_STORE_KEY, value);
    config.defaults.synchronize();
    LOG_DEBUG("LL: Files to lazyload: " + value.description());
}
