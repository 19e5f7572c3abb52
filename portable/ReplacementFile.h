#pragma once
// A new file being written to take the place of an entry of a folder. It is written under a
// temporary name in the same folder and takes the entry's name in one rename when committed,
// so until the new file is complete the old entry stays whole, and a hard link of the old file
// is never written. Dropped without commit, the temporary file goes and the entry stays as it
// was.
//
// Made by ContainedPath::createFile. Movable, not copyable; one thread at a time.

#include "portable/UniqueFd.h"

#include <string>
#include <system_error>

namespace platform {

class ReplacementFile {
public:
    ReplacementFile() = default;
    // `folder` holds the temporary file `temporaryName`, open for writing as `file`, that is to
    // become `name`.
    ReplacementFile(UniqueFd folder, std::string name, std::string temporaryName, UniqueFd file);
    ReplacementFile(ReplacementFile&& other) noexcept = default;
    ReplacementFile& operator=(ReplacementFile&& other) noexcept;
    ReplacementFile(const ReplacementFile&) = delete;
    ReplacementFile& operator=(const ReplacementFile&) = delete;
    ~ReplacementFile();

    explicit operator bool() const { return static_cast<bool>(file_); }
    // The descriptor to write to; stays this object's.
    int get() const { return file_.get(); }

    // Closes the file and renames it over the entry. On failure the temporary file is gone and
    // the entry is as it was; the error of the close or the rename comes back.
    std::error_code commit();

private:
    void discard();

    UniqueFd folder_;
    std::string name_;
    std::string temporaryName_;
    UniqueFd file_;
};

} // namespace platform
