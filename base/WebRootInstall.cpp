#include "base/WebRootInstall.h"

#include "base/WebRootSwap.h"
#include "logger/Logger.h"
#include "portable/Bundle.h"
#include "portable/FileManager.h"
#include "portable/ZipArchive.h"

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

bool installBundledWebRoot(const fs::path& webRoot, const std::string& missingArchiveError)
{
    const auto archive = platform::Bundle::main()->pathForResource("app", "zip");
    if (!archive) {
        LOG_ERROR(missingArchiveError);
        return false;
    }
    if (!installWebRoot(*archive, webRoot)) {
        LOG_ERROR("Error unzipping file " + archive->string() + " to " + webRoot.string());
        return false;
    }
    return true;
}
