#include "portable/DownloadFile.h"

#include "portable/DescriptorIO.h"

#include <fcntl.h>
#include <cstdlib>
#include <string>
#include <system_error>
#include <unistd.h>

namespace platform {

std::shared_ptr<DownloadFile> DownloadFile::create(const std::filesystem::path& folder)
{
    std::error_code error;
    const auto parent = folder.empty() ? std::filesystem::temp_directory_path(error) : folder;
    if (error)
        return nullptr;
    std::string name = (parent / "webcontainer-download-XXXXXX").string();
    const int descriptor = ::mkostemp(name.data(), O_CLOEXEC);
    if (descriptor < 0)
        return nullptr;
    return std::shared_ptr<DownloadFile>(new DownloadFile(name, descriptor));
}

DownloadFile::DownloadFile(std::filesystem::path path, int descriptor) : path_(std::move(path)), descriptor_(descriptor)
{
}

DownloadFile::~DownloadFile()
{
    remove();
}

bool DownloadFile::startReply(std::int64_t expectedLength, bool counted)
{
    std::lock_guard lock(mutex_);
    if (descriptor_ < 0 || ::ftruncate(descriptor_, 0) != 0 || ::lseek(descriptor_, 0, SEEK_SET) != 0)
        return false;
    counted_ = counted;
    written_ = 0;
    expected_ = counted ? expectedLength : -1;
    return true;
}

bool DownloadFile::write(std::string_view piece)
{
    {
        std::lock_guard lock(mutex_);
        if (descriptor_ < 0)
            return false;
        if (!writeAll(descriptor_, piece))
            return false;
        if (!counted_)
            return true;
        written_ += static_cast<std::int64_t>(piece.size());
    }
    if (onProgress)
        onProgress();
    return true;
}

void DownloadFile::close()
{
    std::lock_guard lock(mutex_);
    if (descriptor_ >= 0)
        ::close(descriptor_);
    descriptor_ = -1;
}

void DownloadFile::remove()
{
    close();
    std::error_code ignored;
    std::filesystem::remove(path_, ignored);
}

} // namespace platform
