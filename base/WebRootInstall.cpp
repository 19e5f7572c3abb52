#include "base/WebRootInstall.h"

#include "base/Logger.h"
#include "base/WebRootSwap.h"
#include "platform/FileManager.h"
#include "platform/ZipArchive.h"

namespace fs = std::filesystem;

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
    if (auto failure = WebRootSwap(webRoot).replaceWith(staging)) {
        LOG_ERROR("cannot put " + staging.string() + " in place of " + webRoot.string() + ": " + failure.message());
        fm.removeItem(staging);
        return false;
    }
    return true;
}
