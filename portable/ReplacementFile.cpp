#include "portable/ReplacementFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <utility>

namespace platform {

ReplacementFile::ReplacementFile(UniqueFd folder, std::string name, std::string temporaryName, UniqueFd file)
    : folder_(std::move(folder)), name_(std::move(name)), temporaryName_(std::move(temporaryName)),
      file_(std::move(file))
{
}

ReplacementFile& ReplacementFile::operator=(ReplacementFile&& other) noexcept
{
    if (this != &other) {
        discard();
        folder_ = std::move(other.folder_);
        name_ = std::move(other.name_);
        temporaryName_ = std::move(other.temporaryName_);
        file_ = std::move(other.file_);
    }
    return *this;
}

ReplacementFile::~ReplacementFile()
{
    discard();
}

std::error_code ReplacementFile::commit()
{
    if (!file_)
        return std::make_error_code(std::errc::bad_file_descriptor);
    std::error_code error;
    if (::close(file_.release()) != 0)
        error = {errno, std::generic_category()};
    else if (::renameat(folder_.get(), temporaryName_.c_str(), folder_.get(), name_.c_str()) != 0)
        error = {errno, std::generic_category()};
    if (error)
        ::unlinkat(folder_.get(), temporaryName_.c_str(), 0);
    folder_.reset();
    return error;
}

void ReplacementFile::discard()
{
    if (!file_)
        return;
    file_.reset();
    ::unlinkat(folder_.get(), temporaryName_.c_str(), 0);
    folder_.reset();
}

} // namespace platform
