#include "base/WebRootInstall.h"

#include "base/Logger.h"
#include "platform/FileManager.h"
#include "platform/ZipArchive.h"

namespace fs = std::filesystem;

namespace {

// Renames `fresh` into the place of `webRoot`, the old web root aside until the new one is in.
bool putInPlace(const fs::path& fresh, const fs::path& webRoot)
{
    auto& fm = platform::FileManager::defaultManager();
    const fs::path aside = webRoot.string() + "-old";
    if (fm.fileExists(aside))
        fm.removeItem(aside);
    const bool hadWebRoot = fm.fileExists(webRoot);
    if (hadWebRoot) {
        if (auto error = fm.moveItem(webRoot, aside)) {
            LOG_ERROR("cannot move " + webRoot.string() + " aside: " + error.message());
            return false;
        }
    }
    if (auto error = fm.moveItem(fresh, webRoot)) {
        LOG_ERROR("cannot move " + fresh.string() + " to " + webRoot.string() + ": " + error.message());
        if (hadWebRoot) {
            if (auto back = fm.moveItem(aside, webRoot))
                LOG_ERROR("cannot put the old web root back from " + aside.string() + ": " + back.message());
        }
        return false;
    }
    if (hadWebRoot) {
        if (auto error = fm.removeItem(aside))
            LOG_ERROR("cannot delete the old web root " + aside.string() + ": " + error.message());
    }
    return true;
}

} // namespace

bool installWebRoot(const fs::path& archive, const fs::path& webRoot)
{
    auto& fm = platform::FileManager::defaultManager();
    const fs::path staging = webRoot.parent_path() / (webRoot.filename().string() + ".install");
    if (fm.fileExists(staging))
        fm.removeItem(staging);
    platform::ZipError error;
    if (!platform::ZipArchive::unzipFileAtPath(archive, staging, &error)) {
        LOG_ERROR("unzip: " + error.localizedDescription + " (" + error.domain + " " + std::to_string(error.code) + ")");
        fm.removeItem(staging);
        return false;
    }
    if (!putInPlace(staging, webRoot)) {
        fm.removeItem(staging);
        return false;
    }
    return true;
}
