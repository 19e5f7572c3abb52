#pragma once
// What unpacking one archive may take. A package comes from the content server or anyone on
// its path, so a small archive must not fill the disk: the limits are checked against the
// archive's central directory before anything is written, and again while writing, since the
// directory can lie. A real package stays far below each of them.

#include <cstdint>

namespace platform {

struct UnzipLimits {
    static constexpr std::uint64_t MiB = 1024 * 1024;

    // Entries of one archive (files, folders and links).
    std::uint64_t maximumEntries = 100'000;
    // What all entries unpack to, at most this many times the archive's own size...
    std::uint64_t maximumRatio = 20;
    // ...though a small archive may always unpack to this much (text compresses well, and so
    // little is no danger)...
    std::uint64_t alwaysAllowedBytes = 16 * MiB;
    // ...and never to more than this.
    std::uint64_t maximumBytes = 1024 * MiB;
    // What must stay free on the destination's file system once the archive is unpacked.
    std::uint64_t keptFreeBytes = 64 * MiB;

    // The bytes an archive of `archiveSize` bytes may unpack to.
    constexpr std::uint64_t allowedBytes(std::uint64_t archiveSize) const
    {
        const std::uint64_t byRatio =
            archiveSize > maximumBytes / maximumRatio ? maximumBytes : archiveSize * maximumRatio;
        const std::uint64_t allowed = byRatio > alwaysAllowedBytes ? byRatio : alwaysAllowedBytes;
        return allowed < maximumBytes ? allowed : maximumBytes;
    }
};

} // namespace platform
