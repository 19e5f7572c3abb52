#include "tests/support/ZipBuilder.h"

#include <sys/stat.h>
#include <zip.h>

#include <stdexcept>

namespace fs = std::filesystem;

namespace testsupport {
namespace {

constexpr unsigned long kMadeByUnix = 3 << 8;

} // namespace

ZipBuilder& ZipBuilder::file(const std::string& name, const std::string& content, bool stored)
{
    entries_.push_back({name, content, S_IFREG | 0644, stored});
    return *this;
}

ZipBuilder& ZipBuilder::folder(const std::string& name)
{
    entries_.push_back({name, "", S_IFDIR | 0755, true});
    return *this;
}

ZipBuilder& ZipBuilder::symlink(const std::string& name, const std::string& target)
{
    entries_.push_back({name, target, S_IFLNK | 0777, true});
    return *this;
}

void ZipBuilder::write(const fs::path& path) const
{
    zipFile zip = zipOpen64(path.c_str(), APPEND_STATUS_CREATE);
    if (!zip)
        throw std::runtime_error("zipOpen64 failed for " + path.string());
    for (const auto& entry : entries_) {
        zip_fileinfo info{};
        info.external_fa = entry.mode << 16;
        const int method = entry.stored ? 0 : Z_DEFLATED;
        const int level = entry.stored ? 0 : Z_DEFAULT_COMPRESSION;
        int rc = zipOpenNewFileInZip4_64(zip, entry.name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr, method,
                                         level, 0, -MAX_WBITS, DEF_MEM_LEVEL, Z_DEFAULT_STRATEGY, nullptr, 0,
                                         kMadeByUnix | 20, 0, 0);
        if (rc == ZIP_OK && !entry.content.empty())
            rc = zipWriteInFileInZip(zip, entry.content.data(), static_cast<unsigned>(entry.content.size()));
        if (rc == ZIP_OK)
            rc = zipCloseFileInZip(zip);
        if (rc != ZIP_OK) {
            zipClose(zip, nullptr);
            throw std::runtime_error("cannot add " + entry.name + " to " + path.string());
        }
    }
    if (zipClose(zip, nullptr) != ZIP_OK)
        throw std::runtime_error("zipClose failed for " + path.string());
}

} // namespace testsupport
