#include "contentserver/DeleteAfterUnzipDelegate.h"

#include "logger/Logger.h"
#include "portable/FileManager.h"

void DeleteAfterUnzipDelegate::zipArchiveDidUnzipArchive(const std::filesystem::path& path, const platform::ZipInfo&,
                                                         const std::filesystem::path&)
{
    LOG_DEBUG("DEBUG: will delete " + path.string());
    auto& fileManager = platform::FileManager::defaultManager();
    if (!fileManager.fileExists(path))
        return;
    LOG_DEBUG("deleting file " + path.string());
    if (auto error = fileManager.removeItem(path))
        LOG_ERROR("Error deleting unzipped file: " + error.message());
}
