#pragma once
// File and folder operations that report failure as a value, never by throwing.
// Safe from any thread.

#include <filesystem>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

namespace platform {

class FileManager {
public:
    static FileManager& defaultManager();

    bool fileExists(const std::filesystem::path& path) const;
    bool isDirectory(const std::filesystem::path& path) const;
    // Creates `path` (and its missing parents when `withIntermediates`). An existing folder is success.
    std::error_code createDirectory(const std::filesystem::path& path, bool withIntermediates = true) const;
    // Removes a file or a folder with everything in it; a missing item is an error.
    std::error_code removeItem(const std::filesystem::path& path) const;
    // Renames in one step; the target must not be a non-empty folder.
    std::error_code moveItem(const std::filesystem::path& from, const std::filesystem::path& to) const;
    std::error_code copyItem(const std::filesystem::path& from, const std::filesystem::path& to) const;
    // The entries of a folder (full paths, sorted by name), or nothing when it can't be read;
    // then `error`, when given, tells why.
    std::optional<std::vector<std::filesystem::path>> contentsOfDirectory(const std::filesystem::path& path,
                                                                          std::error_code* error = nullptr) const;

    // Marks `path` as something backups leave out, or takes the mark away. On Linux this is the
    // extended attribute "user.xdg.robots.backup" = "false"; a file system without user
    // attributes gives an error.
    std::error_code setExcludedFromBackup(const std::filesystem::path& path, bool excluded) const;

    std::optional<std::string> readFile(const std::filesystem::path& path) const;
    // Writes `bytes` to `path` so that a crash leaves either the old file or the new one whole:
    // a temporary file beside it, flushed to disk, renamed over the target.
    bool writeFileAtomically(const std::filesystem::path& path, const std::string& bytes,
                             unsigned mode = 0644) const;
    // The same, unless `path` is a plain file (not a link) of `mode` that holds `bytes` already:
    // then it stays as it is, and no write and no flush to disk is paid for.
    bool writeFileAtomicallyIfChanged(const std::filesystem::path& path, const std::string& bytes,
                                      unsigned mode = 0644) const;
    // Removes the temporary files that writes of `path` cut short (a killed process) left
    // beside it; returns how many went. Call it only while nothing writes `path`.
    std::size_t removeStrayTemporaryFiles(const std::filesystem::path& path) const;
};

} // namespace platform
