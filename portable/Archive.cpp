#include "portable/Archive.h"

#include <unzip.h>

namespace platform {

std::unique_ptr<Archive> Archive::open(const std::filesystem::path& path)
{
    void* zip = unzOpen64(path.c_str());
    if (!zip)
        return nullptr;
    return std::unique_ptr<Archive>(new Archive(zip));
}

Archive::~Archive()
{
    unzClose(zip_);
}

bool Archive::containsEntry(const std::string& path) const
{
    // A NUL would cut the name short and find an entry of another name.
    if (path.empty() || path.find('\0') != std::string::npos)
        return false;
    return unzLocateFile(zip_, path.c_str(), 1) == UNZ_OK;
}

} // namespace platform
