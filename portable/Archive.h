#pragma once
// A ZIP archive opened read-only to look up its entries by path, without unpacking anything.
// The file stays open for as long as the object lives, so the archive may be deleted meanwhile
// (an installed full package is) and its entries can still be looked up.
//
// One thread at a time: lookups move the archive's read position. The object owns its file.

#include <filesystem>
#include <memory>
#include <string>

namespace platform {

class Archive {
public:
    // The archive at `path`; nothing when the file can't be opened or is no ZIP archive.
    static std::unique_ptr<Archive> open(const std::filesystem::path& path);
    ~Archive();
    Archive(const Archive&) = delete;
    Archive& operator=(const Archive&) = delete;

    // True when an entry's path is exactly `path` (case-sensitive; "index.html" is an entry at
    // the top, "css/" a folder entry).
    bool containsEntry(const std::string& path) const;

private:
    explicit Archive(void* zip) : zip_(zip) {}
    void* zip_;
};

} // namespace platform
