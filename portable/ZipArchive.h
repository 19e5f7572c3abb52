#pragma once
// Unpacking a ZIP archive into a folder with one call, the way every caller of the system does
// it: file attributes are not kept, existing files are overwritten, there is no password.
//
// - Entries under "__MACOSX/" (resource forks) are skipped.
// - Every entry stays inside the destination: a leading "/" is dropped, "." is skipped and ".."
//   never climbs above the destination; a symbolic link whose target lies outside it is refused
//   and ends the extraction with an error; nothing is written through a link or folder that
//   leads outside.
// - Failures come back as a ZipError in the domain "SSZipArchiveErrorDomain" with its codes and
//   texts. Entries unpacked before a failure stay where they are; callers that need all or
//   nothing unpack into a fresh folder and move it into place afterwards.
// - An archive beyond its UnzipLimits (entries, unpacked size, free space kept) is refused before
//   anything is written, with ExceedsUnpackLimits (or FailedToWriteFile, for too little free
//   space); one whose entries turn out larger than its directory said stops there, with the same
//   error.
// - The delegate is told once, on the calling thread and before the call returns, after the
//   whole archive was unpacked successfully.
//
// Safe from any thread; two calls must not unpack into the same folder at the same time.

#include "portable/UnzipLimits.h"

#include <cstdint>
#include <filesystem>
#include <string>

namespace platform {

inline constexpr const char* SSZipArchiveErrorDomain = "SSZipArchiveErrorDomain";

enum class SSZipArchiveErrorCode : int {
    FailedOpenZipFile = -1,
    FailedOpenFileInZip = -2,
    FileInfoNotLoadable = -3,
    FileContentNotReadable = -4,
    FailedToWriteFile = -5,
    InvalidArguments = -6,
    SymlinkEscapesTargetDirectory = -7,
    ExceedsUnpackLimits = -8,
};

struct ZipError {
    std::string domain;
    int code = 0;
    std::string localizedDescription;
};

// What the archive's central directory says about the whole archive.
struct ZipInfo {
    std::uint64_t numberOfEntries = 0;
};

class ZipArchiveDelegate {
public:
    virtual ~ZipArchiveDelegate() = default;
    // The whole archive at `path` was unpacked into `unzippedPath`.
    virtual void zipArchiveDidUnzipArchive(const std::filesystem::path& path, const ZipInfo& zipInfo,
                                           const std::filesystem::path& unzippedPath) = 0;
};

class ZipArchive {
public:
    // Unpacks the archive at `path` into `destination` (created when missing) within `limits`.
    // True when every entry was unpacked; otherwise false with the reason in `error` (may be
    // null). `delegate` (may be null) must outlive the call.
    static bool unzipFileAtPath(const std::filesystem::path& path, const std::filesystem::path& destination,
                                ZipError* error = nullptr, ZipArchiveDelegate* delegate = nullptr,
                                const UnzipLimits& limits = {});
};

} // namespace platform
