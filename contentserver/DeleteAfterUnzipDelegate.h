#pragma once
// Deletes an archive once it has been unpacked: zip replies of server calls leave only their
// contents behind. Runs on the thread that unpacks (a server call's reply queue); keeps no
// state, so one delegate may serve any thread.

#include "portable/ZipArchive.h"

class DeleteAfterUnzipDelegate final : public platform::ZipArchiveDelegate {
public:
    void zipArchiveDidUnzipArchive(const std::filesystem::path& path, const platform::ZipInfo& zipInfo,
                                   const std::filesystem::path& unzippedPath) override;
};
