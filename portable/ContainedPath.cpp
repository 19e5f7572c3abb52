#include "portable/ContainedPath.h"

#include "portable/DescriptorIO.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <deque>
#include <functional>
#include <random>
#include <vector>

namespace fs = std::filesystem;

namespace platform {
namespace {

// The kernel's own limit on links followed in one resolution.
constexpr int kMaxLinks = 40;

std::atomic<ContainedPath::Resolver> chosenResolver{ContainedPath::Resolver::kernel};

std::error_code lastError()
{
    return {errno, std::generic_category()};
}

std::deque<std::string> components(std::string_view text)
{
    std::deque<std::string> parts;
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t end = std::min(text.find('/', start), text.size());
        const std::string_view part = text.substr(start, end - start);
        if (!part.empty() && part != ".")
            parts.emplace_back(part);
        start = end + 1;
    }
    return parts;
}

std::optional<std::string> readLinkAt(int dir, const std::string& name)
{
    std::string target(256, '\0');
    while (true) {
        const ssize_t length = ::readlinkat(dir, name.c_str(), target.data(), target.size());
        if (length < 0)
            return std::nullopt;
        if (static_cast<std::size_t>(length) < target.size()) {
            target.resize(static_cast<std::size_t>(length));
            return target;
        }
        target.resize(target.size() * 2);
    }
}

int openat2Beneath(int root, const std::string& path, int flags)
{
    open_how how{};
    how.flags = static_cast<std::uint64_t>(flags | O_CLOEXEC);
    how.resolve = RESOLVE_BENEATH | RESOLVE_NO_MAGICLINKS;
    while (true) {
        const long fd = ::syscall(SYS_openat2, root, path.c_str(), &how, sizeof how);
        // EAGAIN: a rename raced with the resolution; the kernel asks to try again.
        if (fd >= 0 || (errno != EAGAIN && errno != EINTR))
            return static_cast<int>(fd);
    }
}

// The same resolution without openat2: one component at a time, never following a link by
// path; a link's text is spliced into the components still to walk.
int walkBeneath(int root, const std::string& path, int flags)
{
    std::vector<UniqueFd> folders; // the folders walked into; empty means `root`
    auto current = [&] { return folders.empty() ? root : folders.back().get(); };
    std::deque<std::string> pending = components(path);
    const bool folderOnly = !path.empty() && path.back() == '/';
    int links = 0;
    while (!pending.empty()) {
        const std::string part = std::move(pending.front());
        pending.pop_front();
        const bool last = pending.empty();
        if (part == "..") {
            if (folders.empty()) {
                errno = EXDEV;
                return -1;
            }
            folders.pop_back();
            continue;
        }
        struct stat entry {};
        if (::fstatat(current(), part.c_str(), &entry, AT_SYMLINK_NOFOLLOW) != 0)
            return -1;
        if (S_ISLNK(entry.st_mode) && (!last || folderOnly || !(flags & O_NOFOLLOW))) {
            const auto target = readLinkAt(current(), part);
            if (!target)
                return -1;
            if (++links > kMaxLinks) {
                errno = ELOOP;
                return -1;
            }
            if (target->empty() || target->front() == '/') {
                errno = target->empty() ? ENOENT : EXDEV;
                return -1;
            }
            auto spliced = components(*target);
            pending.insert(pending.begin(), spliced.begin(), spliced.end());
            continue;
        }
        if (last)
            return ::openat(current(), part.c_str(), flags | O_NOFOLLOW | O_CLOEXEC | (folderOnly ? O_DIRECTORY : 0));
        const int fd = ::openat(current(), part.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0)
            return -1;
        folders.emplace_back(fd);
    }
    return ::openat(current(), ".", (flags & ~O_NOFOLLOW) | O_CLOEXEC);
}

// The names of what the folder `fd` holds, "." and ".." left out.
std::error_code entryNames(int fd, std::vector<std::string>& names)
{
    DIR* listing = ::fdopendir(::dup(fd));
    if (!listing)
        return lastError();
    errno = 0;
    while (const dirent* entry = ::readdir(listing)) {
        const std::string_view child = entry->d_name;
        if (child != "." && child != "..")
            names.emplace_back(child);
    }
    const int listError = errno;
    ::closedir(listing);
    return {listError, std::generic_category()};
}

// Removes `name` in `dir` without following links: a folder goes with everything in it.
std::error_code removeEntry(int dir, const std::string& name)
{
    if (::unlinkat(dir, name.c_str(), 0) == 0)
        return {};
    if (errno != EISDIR && errno != EPERM)
        return lastError();
    UniqueFd folder(::openat(dir, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!folder)
        return lastError();
    std::vector<std::string> names;
    if (auto error = entryNames(folder.get(), names))
        return error;
    for (const auto& child : names) {
        if (auto error = removeEntry(folder.get(), child))
            return error;
    }
    if (::unlinkat(dir, name.c_str(), AT_REMOVEDIR) != 0)
        return lastError();
    return {};
}

// Streams what remains of `in` to `out`.
std::error_code copyBytes(int in, int out)
{
    if (!readBlocks(in, [out](std::string_view block) { return writeAll(out, block); }))
        return lastError();
    return {};
}

// Copies what the folder `from` holds into the empty folder `to`, relative to both and without
// following any link: folders and regular files with their permission bits, links as they are.
// Anything else (a FIFO, a device, a socket) gives EINVAL.
std::error_code copyTree(int from, int to)
{
    std::vector<std::string> names;
    if (auto error = entryNames(from, names))
        return error;
    for (const auto& name : names) {
        struct stat entry {};
        if (::fstatat(from, name.c_str(), &entry, AT_SYMLINK_NOFOLLOW) != 0)
            return lastError();
        const mode_t permissions = entry.st_mode & 07777;
        if (S_ISLNK(entry.st_mode)) {
            const auto target = readLinkAt(from, name);
            if (!target || ::symlinkat(target->c_str(), to, name.c_str()) != 0)
                return lastError();
            continue;
        }
        if (!S_ISDIR(entry.st_mode) && !S_ISREG(entry.st_mode))
            return std::make_error_code(std::errc::invalid_argument);
        const int open = S_ISDIR(entry.st_mode) ? O_RDONLY | O_DIRECTORY : O_RDONLY;
        const UniqueFd in(::openat(from, name.c_str(), open | O_NOFOLLOW | O_CLOEXEC));
        if (!in)
            return lastError();
        if (S_ISDIR(entry.st_mode) && ::mkdirat(to, name.c_str(), 0700) != 0)
            return lastError();
        const UniqueFd out(S_ISDIR(entry.st_mode)
                               ? ::openat(to, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC)
                               : ::openat(to, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
        if (!out)
            return lastError();
        if (auto error = S_ISDIR(entry.st_mode) ? copyTree(in.get(), out.get()) : copyBytes(in.get(), out.get()))
            return error;
        if (::fchmod(out.get(), permissions) != 0)
            return lastError();
    }
    return {};
}

// Makes a new entry beside `entry` in `dir` under a hidden random name that is short enough for
// any name `entry` may have: `make(dir, name)` creates it exclusively (-1 and errno when it
// can't) and gives its descriptor. The name, or nothing with errno set.
std::optional<std::string> makeBeside(int dir, const std::string& entry, const std::function<int(int, const char*)>& make,
                                      UniqueFd& made)
{
    static constexpr char letters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    thread_local std::mt19937 random{std::random_device()()};
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string temporary = ".~" + entry.substr(0, 200) + ".";
        for (int i = 0; i < 8; ++i)
            temporary += letters[std::uniform_int_distribution<std::size_t>(0, sizeof letters - 2)(random)];
        made.reset(make(dir, temporary.c_str()));
        if (made)
            return temporary;
        if (errno != EEXIST)
            break;
    }
    return std::nullopt;
}

// Copies the folder `source` (of another file system) into `dir` as `name`: into a new folder
// beside `name` first, renamed into place once complete, so a copy cut short never stands there.
std::error_code copyFolderInto(int dir, const std::string& name, const fs::path& source)
{
    const UniqueFd from(::open(source.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    struct stat entry {};
    if (!from || ::fstat(from.get(), &entry) != 0)
        return lastError();
    UniqueFd to;
    const auto temporary = makeBeside(
        dir, name,
        [](int in, const char* made) {
            return ::mkdirat(in, made, 0700) == 0 ? ::openat(in, made, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC)
                                                  : -1;
        },
        to);
    if (!temporary)
        return lastError();
    std::error_code error = copyTree(from.get(), to.get());
    if (!error && ::fchmod(to.get(), entry.st_mode & 07777) != 0)
        error = lastError();
    if (!error && ::renameat(dir, temporary->c_str(), dir, name.c_str()) != 0)
        error = lastError();
    if (error)
        removeEntry(dir, *temporary);
    return error;
}

std::optional<std::string> readAll(int fd)
{
    std::string bytes;
    if (!readBlocks(fd, [&bytes](std::string_view block) {
            bytes += block;
            return true;
        }))
        return std::nullopt;
    return bytes;
}

// Where the folder behind `fd` really is, for the containment test of a new link's target.
std::optional<fs::path> realPathOf(int fd)
{
    std::error_code error;
    fs::path path = fs::read_symlink("/proc/self/fd/" + std::to_string(fd), error);
    if (error)
        return std::nullopt;
    return path;
}

} // namespace

ContainedPath::ContainedPath(fs::path folder, std::string relative, bool folderOnly)
    : folder_(std::move(folder)), relative_(std::move(relative)), folderOnly_(folderOnly)
{
}

std::optional<ContainedPath> ContainedPath::make(fs::path folder, std::string_view name)
{
    if (name.empty() || name.front() == '/' || name.find('\0') != std::string_view::npos)
        return std::nullopt;
    std::string relative;
    for (const auto& part : components(name)) {
        if (part == "..")
            return std::nullopt;
        relative += (relative.empty() ? "" : "/") + part;
    }
    if (relative.empty())
        return std::nullopt;
    return ContainedPath(std::move(folder), std::move(relative), name.back() == '/');
}

bool ContainedPath::leadsOutside(const std::error_code& error)
{
    return error == std::errc::cross_device_link;
}

std::string ContainedPath::name() const
{
    const auto slash = relative_.rfind('/');
    return slash == std::string::npos ? relative_ : relative_.substr(slash + 1);
}

fs::path ContainedPath::path() const
{
    return folder_ / resolvedText();
}

std::optional<ContainedPath> ContainedPath::parent() const
{
    const auto slash = relative_.rfind('/');
    if (slash == std::string::npos)
        return std::nullopt;
    return ContainedPath(folder_, relative_.substr(0, slash), true);
}

std::string ContainedPath::resolvedText() const
{
    return folderOnly_ ? relative_ + "/" : relative_;
}

ContainedPath::Resolver ContainedPath::resolver()
{
    return chosenResolver.load();
}

void ContainedPath::setResolverForTesting(Resolver resolver)
{
    chosenResolver = resolver;
}

UniqueFd ContainedPath::openFolder(std::error_code& error) const
{
    UniqueFd fd(::open(folder_.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (!fd)
        error = lastError();
    return fd;
}

UniqueFd ContainedPath::resolve(const std::string& relative, int flags, std::error_code& error) const
{
    const UniqueFd root = openFolder(error);
    if (!root)
        return {};
    int fd = -1;
    if (resolver() == Resolver::kernel) {
        fd = openat2Beneath(root.get(), relative, flags);
        // A kernel (or a sandbox) without openat2: walk from now on.
        if (fd < 0 && errno == ENOSYS)
            chosenResolver = Resolver::walk;
    }
    if (resolver() == Resolver::walk)
        fd = walkBeneath(root.get(), relative, flags);
    if (fd < 0)
        error = lastError();
    return UniqueFd(fd);
}

UniqueFd ContainedPath::openParent(std::error_code& error) const
{
    const auto slash = relative_.rfind('/');
    return resolve(slash == std::string::npos ? "." : relative_.substr(0, slash), O_PATH | O_DIRECTORY, error);
}

std::error_code ContainedPath::status(struct stat& out) const
{
    std::error_code error;
    const UniqueFd fd = resolve(resolvedText(), O_PATH, error);
    if (fd && ::fstat(fd.get(), &out) != 0)
        error = lastError();
    return error;
}

std::error_code ContainedPath::entryStatus(struct stat& out) const
{
    if (folderOnly_)
        return status(out);
    std::error_code error;
    const UniqueFd parentFd = openParent(error);
    if (parentFd && ::fstatat(parentFd.get(), name().c_str(), &out, AT_SYMLINK_NOFOLLOW) != 0)
        error = lastError();
    return error;
}

bool ContainedPath::exists() const
{
    struct stat entry {};
    return !status(entry);
}

bool ContainedPath::isDirectory() const
{
    struct stat entry {};
    return !status(entry) && S_ISDIR(entry.st_mode);
}

UniqueFd ContainedPath::open(int flags, std::error_code& error) const
{
    return resolve(resolvedText(), flags & ~(O_CREAT | O_TRUNC), error);
}

std::optional<std::string> ContainedPath::readFile(std::error_code& error) const
{
    const UniqueFd fd = open(O_RDONLY, error);
    if (!fd)
        return std::nullopt;
    auto bytes = readAll(fd.get());
    if (!bytes)
        error = lastError();
    return bytes;
}

ReplacementFile ContainedPath::createFile(std::error_code& error, mode_t mode) const
{
    if (folderOnly_) {
        error = std::make_error_code(std::errc::is_a_directory);
        return {};
    }
    UniqueFd parentFd = openParent(error);
    if (!parentFd)
        return {};
    const std::string entry = name();
    struct stat existing {};
    if (::fstatat(parentFd.get(), entry.c_str(), &existing, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(existing.st_mode)) {
        error = std::make_error_code(std::errc::is_a_directory);
        return {};
    }
    UniqueFd fd;
    auto temporary = makeBeside(
        parentFd.get(), entry,
        [mode](int dir, const char* name) {
            return ::openat(dir, name, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
        },
        fd);
    if (!temporary) {
        error = lastError();
        return {};
    }
    return ReplacementFile(std::move(parentFd), entry, std::move(*temporary), std::move(fd));
}

std::error_code ContainedPath::writeFile(std::string_view bytes) const
{
    std::error_code error;
    ReplacementFile file = createFile(error);
    if (!file)
        return error;
    if (!writeAll(file.get(), bytes))
        return lastError();
    return file.commit();
}

std::error_code ContainedPath::createDirectory() const
{
    std::error_code error;
    const UniqueFd parentFd = openParent(error);
    if (parentFd && ::mkdirat(parentFd.get(), name().c_str(), 0777) != 0)
        error = lastError();
    return error;
}

std::error_code ContainedPath::createDirectories() const
{
    std::error_code error;
    UniqueFd folder = openFolder(error);
    std::string prefix;
    for (const auto& part : components(relative_)) {
        if (!folder)
            return error;
        prefix += (prefix.empty() ? "" : "/") + part;
        // A plain folder is entered from the one before; only a link needs the whole prefix
        // resolved beneath the folder again.
        struct stat entry {};
        if (::fstatat(folder.get(), part.c_str(), &entry, AT_SYMLINK_NOFOLLOW) != 0) {
            if (errno != ENOENT)
                return lastError();
            if (::mkdirat(folder.get(), part.c_str(), 0777) != 0 && errno != EEXIST)
                return lastError();
            entry.st_mode = S_IFDIR;
        }
        if (S_ISDIR(entry.st_mode)) {
            folder.reset(::openat(folder.get(), part.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
            if (!folder)
                error = lastError();
        } else {
            folder = resolve(prefix, O_PATH | O_DIRECTORY, error);
        }
    }
    return folder ? std::error_code{} : error;
}

std::error_code ContainedPath::remove() const
{
    std::error_code error;
    const UniqueFd parentFd = openParent(error);
    if (!parentFd)
        return error;
    if (folderOnly_ && !isDirectory())
        return std::make_error_code(std::errc::not_a_directory);
    return removeEntry(parentFd.get(), name());
}

std::error_code ContainedPath::moveTo(const ContainedPath& target) const
{
    std::error_code error;
    const UniqueFd from = openParent(error);
    const UniqueFd to = from ? target.openParent(error) : UniqueFd();
    if (to && ::renameat(from.get(), name().c_str(), to.get(), target.name().c_str()) != 0)
        error = lastError();
    return error;
}

std::error_code ContainedPath::moveFrom(const fs::path& source) const
{
    std::error_code error;
    const UniqueFd to = openParent(error);
    if (!to)
        return error;
    if (::renameat(AT_FDCWD, source.c_str(), to.get(), name().c_str()) == 0)
        return {};
    if (errno != EXDEV)
        return lastError();
    // Another file system: copy into place, then let the source go.
    struct stat entry {};
    if (::lstat(source.c_str(), &entry) != 0)
        return lastError();
    if (!S_ISDIR(entry.st_mode)) {
        if (auto copied = copyFrom(source))
            return copied;
        return ::unlink(source.c_str()) == 0 ? std::error_code{} : lastError();
    }
    if (auto copied = copyFolderInto(to.get(), name(), source))
        return copied;
    std::error_code removed;
    fs::remove_all(source, removed);
    return removed;
}

std::error_code ContainedPath::copyFrom(const fs::path& source) const
{
    const UniqueFd in(::open(source.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (!in)
        return lastError();
    // A FIFO or a device would block or never end: only regular files are copied.
    struct stat entry {};
    if (::fstat(in.get(), &entry) != 0)
        return lastError();
    if (!S_ISREG(entry.st_mode))
        return std::make_error_code(std::errc::invalid_argument);
    std::error_code error;
    ReplacementFile out = createFile(error);
    if (!out)
        return error;
    if (auto error = copyBytes(in.get(), out.get()))
        return error;
    return out.commit();
}

std::error_code ContainedPath::createSymbolicLink(const std::string& target) const
{
    std::error_code error;
    const UniqueFd parentFd = openParent(error);
    if (!parentFd)
        return error;
    const UniqueFd root = openFolder(error);
    const auto realRoot = root ? realPathOf(root.get()) : std::nullopt;
    const auto realParent = realPathOf(parentFd.get());
    if (!realRoot || !realParent)
        return error ? error : std::make_error_code(std::errc::no_such_file_or_directory);

    // Where the link's text leads from the real folder it sits in, by its text.
    const fs::path below = realParent->lexically_relative(*realRoot);
    bool outside = target.empty() || target.front() == '/' || below.empty() || *below.begin() == "..";
    long depth = 0;
    for (const auto& part : below)
        depth += part == "." ? 0 : 1;
    for (const auto& part : components(target)) {
        depth += part == ".." ? -1 : 1;
        outside = outside || depth < 0;
    }
    if (outside)
        return std::make_error_code(std::errc::cross_device_link);
    if (::symlinkat(target.c_str(), parentFd.get(), name().c_str()) != 0)
        return lastError();
    // A link through other links can still lead out although its text stays inside.
    std::error_code check;
    resolve(relative_, O_PATH, check);
    if (leadsOutside(check)) {
        ::unlinkat(parentFd.get(), name().c_str(), 0);
        return check;
    }
    return {};
}

} // namespace platform
