#include "portable/ZipArchive.h"

#include "portable/ContainedPath.h"
#include "portable/DescriptorIO.h"
#include "portable/FileWriterPool.h"
#include "portable/FreeSpace.h"

#include <sys/stat.h>
#include <unistd.h>
#include <unzip.h>

#include <algorithm>
#include <array>
#include <memory>
#include <optional>
#include <vector>

namespace fs = std::filesystem;

namespace platform {
namespace {

constexpr std::size_t kBufferSize = 64 * 1024;
// A link's target is a path; anything longer than the system's limit is no link we can make.
constexpr std::size_t kMaxLinkTarget = 4096;
constexpr unsigned long kMadeByUnix = 3;
// Archives of this many entries have their files written by a pool of writers: files up to
// kHandedOverBytes are read (and their checksums checked) here and written there, with at most
// kQueuedBytes waiting.
constexpr std::uint64_t kPooledEntries = 32;
constexpr std::size_t kWriters = 4;
constexpr std::size_t kHandedOverBytes = 1024 * 1024;
constexpr std::size_t kQueuedBytes = 8 * 1024 * 1024;

ZipError makeError(SSZipArchiveErrorCode code, std::string description)
{
    return ZipError{SSZipArchiveErrorDomain, static_cast<int>(code), std::move(description)};
}

struct UnzCloser {
    void operator()(void* zip) const { unzClose(zip); }
};
using UnzHandle = std::unique_ptr<void, UnzCloser>;

struct Entry {
    std::string name;      // as the archive spells it
    fs::path relative;     // cleaned, relative to the destination; empty for the destination itself
    bool isDirectory = false;
    bool isSymbolicLink = false;
    std::uint64_t size = 0; // unpacked, as the directory says
};

// The entry's name as a path below the destination: "/" and "\" separate components, empty
// components and "." are dropped, ".." removes the component before it and never more.
fs::path confinedPath(const std::string& name)
{
    std::vector<std::string> parts;
    std::string part;
    auto flush = [&] {
        if (part == "..") {
            if (!parts.empty())
                parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        part.clear();
    };
    for (char c : name) {
        if (c == '/' || c == '\\')
            flush();
        else
            part += c;
    }
    flush();
    fs::path result;
    for (const auto& p : parts)
        result /= p;
    return result;
}

ZipError writeError()
{
    return makeError(SSZipArchiveErrorCode::FailedToWriteFile, "Failed to write file (check your free space)");
}

ZipError limitError(const std::string& what)
{
    return makeError(SSZipArchiveErrorCode::ExceedsUnpackLimits, "the archive exceeds its limits: " + what);
}

// What the central directory says the archive unpacks to, refused when it passes `limits`: the
// entries and their unpacked bytes. Reading stops at the first entry too many.
std::optional<ZipError> checkDirectory(void* zip, std::uint64_t allowedBytes, const UnzipLimits& limits,
                                       std::uint64_t& declaredBytes)
{
    std::uint64_t entries = 0;
    declaredBytes = 0;
    for (int ret = unzGoToFirstFile(zip); ret != UNZ_END_OF_LIST_OF_FILE; ret = unzGoToNextFile(zip)) {
        if (ret != UNZ_OK)
            return makeError(SSZipArchiveErrorCode::FailedOpenFileInZip, "failed to open file in zip file");
        if (++entries > limits.maximumEntries)
            return limitError("more than " + std::to_string(limits.maximumEntries) + " entries");
        unz_file_info64 info{};
        if (unzGetCurrentFileInfo64(zip, &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK)
            return makeError(SSZipArchiveErrorCode::FileInfoNotLoadable, "failed to retrieve info for file");
        if (info.uncompressed_size > allowedBytes - declaredBytes)
            return limitError("it unpacks to more than " + std::to_string(allowedBytes) + " bytes");
        declaredBytes += info.uncompressed_size;
    }
    return std::nullopt;
}

class Extraction {
public:
    Extraction(void* zip, fs::path destination, std::uint64_t allowedBytes, const UnzipLimits& limits,
               std::uint64_t entries)
        : zip_(zip), destination_(std::move(destination)), allowedBytes_(allowedBytes), limits_(limits)
    {
        if (entries >= kPooledEntries)
            pool_.emplace(kWriters, kQueuedBytes);
    }

    std::optional<ZipError> run()
    {
        int ret = unzGoToFirstFile(zip_);
        if (ret != UNZ_OK)
            return makeError(SSZipArchiveErrorCode::FailedOpenFileInZip, "failed to open first file in zip file");
        std::uint64_t entries = 0;
        while (true) {
            // The directory was checked; what it says is held to while writing as well.
            if (++entries > limits_.maximumEntries)
                return limitError("more than " + std::to_string(limits_.maximumEntries) + " entries");
            if (auto error = extractCurrent())
                return error;
            if (pool_ && pool_->failure())
                return writeError();
            ++index_;
            ret = unzGoToNextFile(zip_);
            if (ret == UNZ_END_OF_LIST_OF_FILE) {
                if (pool_) {
                    pool_->drain();
                    if (pool_->failure())
                        return writeError();
                }
                return std::nullopt;
            }
            if (ret != UNZ_OK)
                return makeError(SSZipArchiveErrorCode::FailedOpenFileInZip, "failed to open file in zip file");
        }
    }

private:
    std::optional<ZipError> extractCurrent()
    {
        auto entry = readEntry();
        if (!entry)
            return makeError(SSZipArchiveErrorCode::FileInfoNotLoadable, "failed to retrieve info for file");
        const std::string relative = entry->relative.generic_string();
        // Resource forks of another system's archiver; and names that clean up to nothing.
        if (relative == "__MACOSX" || relative.starts_with("__MACOSX/") || relative.empty())
            return std::nullopt;
        // A name the file system cannot hold (a NUL byte inside) is a broken entry.
        if (!ContainedPath::make(destination_, relative))
            return makeError(SSZipArchiveErrorCode::FileInfoNotLoadable, "failed to retrieve info for file");

        if (unzOpenCurrentFile(zip_) != UNZ_OK)
            return makeError(SSZipArchiveErrorCode::FailedOpenFileInZip, "failed to open file in zip file");
        std::optional<ZipError> error;
        // A file takes the place of what lies at its name only once its checksum held: the new
        // file is committed, or its bytes handed to a writer, only then.
        ReplacementFile file;
        std::string bytes;
        bool handedOver = false;
        if (entry->isSymbolicLink) {
            // A link may replace a folder that queued files go into.
            if (pool_)
                pool_->drain();
            error = extractLink(*entry);
        } else if (entry->isDirectory) {
            error = makeFolders(entry->relative);
        } else {
            error = extractFile(*entry, file, bytes, handedOver);
        }
        const int closed = unzCloseCurrentFile(zip_);
        if (!error && closed == UNZ_CRCERROR)
            error = makeError(SSZipArchiveErrorCode::FileInfoNotLoadable, "crc check failed for file");
        if (!error && file && file.commit())
            error = writeError();
        if (!error && handedOver)
            pool_->write(placeOf(entry->relative), std::move(bytes), index_);
        return error;
    }

    std::optional<Entry> readEntry()
    {
        unz_file_info64 info{};
        std::array<char, 65536> name{};
        if (unzGetCurrentFileInfo64(zip_, &info, name.data(), name.size() - 1, nullptr, 0, nullptr, 0) != UNZ_OK)
            return std::nullopt;
        Entry entry;
        entry.name.assign(name.data(), std::min<std::size_t>(info.size_filename, name.size() - 1));
        entry.isDirectory = !entry.name.empty() && (entry.name.back() == '/' || entry.name.back() == '\\');
        const unsigned long mode = info.external_fa >> 16;
        entry.isSymbolicLink = (info.version >> 8) == kMadeByUnix && S_ISLNK(mode);
        entry.relative = confinedPath(entry.name);
        entry.size = info.uncompressed_size;
        return entry;
    }

    // The entry's place below the destination. Its cleaned name holds no "..", so only a link
    // on the way can lead elsewhere, and ContainedPath refuses that.
    ContainedPath placeOf(const fs::path& relative) const
    {
        return *ContainedPath::make(destination_, relative.generic_string());
    }

    // Creates the folders of `relative` below the destination, through links only where they
    // stay inside it.
    std::optional<ZipError> makeFolders(const fs::path& relative)
    {
        if (relative.empty())
            return std::nullopt;
        // A file queued at the folder's name, or at one above it, is written first: it stands
        // in the folder's way as it would have.
        if (pool_) {
            for (fs::path above = relative; !above.empty(); above = above.parent_path()) {
                if (pool_->isPending(above.generic_string())) {
                    pool_->drain();
                    break;
                }
            }
        }
        const auto error = placeOf(relative).createDirectories();
        if (ContainedPath::leadsOutside(error))
            return makeError(SSZipArchiveErrorCode::SymlinkEscapesTargetDirectory,
                             "Symlink escapes target directory \"~" + relative.generic_string() + "\"");
        if (error)
            return makeError(SSZipArchiveErrorCode::FailedToWriteFile,
                             "Failed to create folder \"" + (destination_ / relative).string() + "\"");
        return std::nullopt;
    }

    // Writes the entry's bytes into `file`, a new file for its place, left to commit; or, for
    // a small file where writers are at work, reads them into `bytes` for one of them
    // (`handedOver`).
    std::optional<ZipError> extractFile(const Entry& entry, ReplacementFile& file, std::string& bytes, bool& handedOver)
    {
        if (auto error = makeFolders(entry.relative.parent_path()))
            return error;
        // An earlier entry of the same name is written first, so that the later one stays.
        if (pool_ && pool_->isPending(entry.relative.generic_string()))
            pool_->drain();
        handedOver = pool_ && entry.size <= kHandedOverBytes;
        if (handedOver)
            bytes.reserve(static_cast<std::size_t>(entry.size));
        auto createFile = [&]() -> std::optional<ZipError> {
            std::error_code created;
            // Overwrite: an existing file or link is replaced, never written through.
            file = placeOf(entry.relative).createFile(created);
            if (!file && created != std::errc::is_a_directory)
                return writeError();
            return std::nullopt;
        };
        if (!handedOver) {
            if (auto error = createFile())
                return error;
            if (!file)
                return std::nullopt; // a folder of that name stays; the file is not unpacked
        }
        std::vector<char> buffer(kBufferSize);
        std::optional<ZipError> error;
        while (!error) {
            const int read = unzReadCurrentFile(zip_, buffer.data(), static_cast<unsigned>(buffer.size()));
            if (read < 0) {
                error = makeError(SSZipArchiveErrorCode::FileContentNotReadable, "failed to read contents of file entry");
                break;
            }
            if (read == 0)
                break;
            if (static_cast<std::uint64_t>(read) > allowedBytes_ - writtenBytes_) {
                error = limitError("it unpacks to more than " + std::to_string(allowedBytes_) + " bytes");
                break;
            }
            writtenBytes_ += static_cast<std::uint64_t>(read);
            if (handedOver && bytes.size() + static_cast<std::size_t>(read) > kHandedOverBytes) {
                // Larger than its directory entry said: written here after all.
                handedOver = false;
                if ((error = createFile()))
                    break;
                if (file && !writeAll(file.get(), bytes))
                    error = writeError();
                bytes.clear();
            }
            if (handedOver)
                bytes.append(buffer.data(), static_cast<std::size_t>(read));
            else if (file && !writeAll(file.get(), std::string_view(buffer.data(), static_cast<std::size_t>(read))))
                error = writeError();
        }
        return error;
    }

    std::optional<ZipError> extractLink(const Entry& entry)
    {
        std::string linkTarget;
        std::vector<char> buffer(kMaxLinkTarget + 1);
        while (true) {
            const int read = unzReadCurrentFile(zip_, buffer.data(), static_cast<unsigned>(buffer.size()));
            if (read < 0)
                return makeError(SSZipArchiveErrorCode::FileContentNotReadable, "failed to read contents of file entry");
            if (read == 0)
                break;
            linkTarget.append(buffer.data(), static_cast<std::size_t>(read));
            if (linkTarget.size() > kMaxLinkTarget)
                return makeError(SSZipArchiveErrorCode::FileContentNotReadable, "failed to read contents of file entry");
        }

        if (auto error = makeFolders(entry.relative.parent_path()))
            return error;
        const ContainedPath link = placeOf(entry.relative);
        struct stat existing {};
        if (!link.entryStatus(existing) && link.remove())
            return makeError(SSZipArchiveErrorCode::FailedToWriteFile,
                             "Failed to delete existing symbolic link at \"" + link.path().string() + "\"");
        const auto error = link.createSymbolicLink(linkTarget);
        if (ContainedPath::leadsOutside(error))
            return makeError(SSZipArchiveErrorCode::SymlinkEscapesTargetDirectory,
                             "Symlink escapes target directory \"~" + entry.relative.generic_string() + " -> " +
                                 linkTarget + "\"");
        if (error)
            return makeError(SSZipArchiveErrorCode::FailedToWriteFile, "Failed to create symbolic link at \"" +
                                                                           link.path().string() + "\" to \"" +
                                                                           linkTarget + "\"");
        return std::nullopt;
    }

    void* zip_;
    fs::path destination_;
    const std::uint64_t allowedBytes_;
    const UnzipLimits& limits_;
    std::uint64_t writtenBytes_ = 0;
    std::size_t index_ = 0;
    // Declared last: it writes what it holds before the rest goes.
    std::optional<FileWriterPool> pool_;
};

} // namespace

bool ZipArchive::unzipFileAtPath(const fs::path& path, const fs::path& destination, ZipError* error,
                                 ZipArchiveDelegate* delegate, const UnzipLimits& limits)
{
    auto fail = [&](ZipError reason) {
        if (error)
            *error = std::move(reason);
        return false;
    };
    if (path.empty() || destination.empty())
        return fail(makeError(SSZipArchiveErrorCode::InvalidArguments, "received invalid argument(s)"));

    UnzHandle zip(unzOpen64(path.c_str()));
    if (!zip)
        return fail(makeError(SSZipArchiveErrorCode::FailedOpenZipFile, "failed to open zip file"));
    unz_global_info64 globalInfo{};
    if (unzGetGlobalInfo64(zip.get(), &globalInfo) != UNZ_OK)
        return fail(makeError(SSZipArchiveErrorCode::FailedOpenZipFile, "failed to open zip file"));

    std::error_code ec;
    const auto archiveSize = fs::file_size(path, ec);
    if (ec)
        return fail(makeError(SSZipArchiveErrorCode::FailedOpenZipFile, "failed to open zip file"));
    const std::uint64_t allowedBytes = limits.allowedBytes(archiveSize);
    std::uint64_t declaredBytes = 0;
    if (auto refused = checkDirectory(zip.get(), allowedBytes, limits, declaredBytes))
        return fail(std::move(*refused));
    // A file system that can't tell its free space is left to fail as it fills.
    const auto available = availableBytes(destination);
    if (available && (*available < declaredBytes || *available - declaredBytes < limits.keptFreeBytes))
        return fail(writeError());

    fs::create_directories(destination, ec);
    const fs::path root = fs::canonical(destination, ec);
    if (ec || !fs::is_directory(root, ec))
        return fail(makeError(SSZipArchiveErrorCode::FailedToWriteFile,
                              "Failed to create folder \"" + destination.string() + "\""));

    Extraction extraction(zip.get(), root, allowedBytes, limits, globalInfo.number_entry);
    if (auto reason = extraction.run())
        return fail(std::move(*reason));
    zip.reset();

    if (delegate)
        delegate->zipArchiveDidUnzipArchive(path, ZipInfo{globalInfo.number_entry}, destination);
    return true;
}

} // namespace platform
