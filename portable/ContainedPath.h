#pragma once
// A name that must stay inside its folder, and the file operations on it. Every name that comes
// from the page, the content server, a package, a manifest or an archive is turned into one of
// these before anything on disk is read, written, moved or deleted by it.
//
// Names. A name is a path relative to its folder, components separated by "/". It is refused
// when it is empty or names the folder itself ("." or "./"), begins with "/", holds a ".."
// component or a NUL byte. Empty and "." components are dropped ("a//./b" is "a/b"); a
// trailing "/" means the name must be a folder. A backslash is an ordinary character.
//
// Symbolic links. Where a name leads is decided by the file system, not by its text: the name
// is resolved beneath the folder, as openat2's RESOLVE_BENEATH does.
// - A link that stays beneath the folder is followed, as a folder on the way or as the file that
//   is read. A link that leads out of it (every absolute link, every ".." that climbs above the
//   folder) fails with EXDEV (`leadsOutside`), and so does a magic link of /proc; a loop fails
//   with ELOOP. Nothing is read, written, moved or deleted outside the folder.
// - Writing, moving and deleting act on the entry the last component names: a link there is
//   replaced, moved or removed itself, never its target; a folder is removed with its contents
//   without following any link inside it. Writing makes a new file under a temporary name
//   beside the old entry and renames it over the entry once complete: the old file stays whole
//   until then, and a hard link to a file elsewhere is replaced, never written through.
// - These operations open the entry's parent folder beneath the folder once and act relative to
//   that descriptor, so a link swapped into the path meanwhile cannot redirect them.
// - The folder itself is trusted: it is opened as given, links and all.
// - A link made by `createSymbolicLink` must be relative and lead beneath the folder.
//
// Resolution uses openat2(RESOLVE_BENEATH | RESOLVE_NO_MAGICLINKS) where the kernel has it, else
// a component-by-component walk (openat with O_NOFOLLOW, readlinkat) that keeps the same rules.
//
// Errors are errno values in the generic category. Values are immutable and safe from any
// thread; nothing is kept open between calls.

#include "portable/ReplacementFile.h"
#include "portable/UniqueFd.h"

#include <sys/stat.h>
#include <sys/types.h>

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>

namespace platform {

class ContainedPath {
public:
    // The name inside `folder`; nothing when the name is refused (see above).
    static std::optional<ContainedPath> make(std::filesystem::path folder, std::string_view name);

    // True for the error of a name or link that leads out of the folder.
    static bool leadsOutside(const std::error_code& error);

    const std::filesystem::path& folder() const { return folder_; }
    // The cleaned name ("a/b"), without a trailing "/".
    const std::string& relative() const { return relative_; }
    // The last component of the name.
    std::string name() const;
    // The folder and the name joined, for messages and logs; never opened by path.
    std::filesystem::path path() const;
    // The name's parent inside the same folder; nothing when that is the folder itself.
    std::optional<ContainedPath> parent() const;

    // What the name leads to (a final link followed beneath the folder) or, for `entryStatus`,
    // the entry itself.
    std::error_code status(struct stat& out) const;
    std::error_code entryStatus(struct stat& out) const;
    bool exists() const;
    bool isDirectory() const;

    // Opens what the name leads to with open(2) flags (O_CREAT and O_TRUNC are not for this:
    // writing goes through `createFile`). O_NOFOLLOW refuses a final link.
    UniqueFd open(int flags, std::error_code& error) const;
    std::optional<std::string> readFile(std::error_code& error) const;

    // A new empty file, open for writing, that takes the place of the entry (a file or link
    // there) when committed. A folder in the way gives EISDIR.
    ReplacementFile createFile(std::error_code& error, mode_t mode = 0666) const;
    // `createFile`, the bytes written into it and the commit: the entry is the old file or the
    // new one, never a part.
    std::error_code writeFile(std::string_view bytes) const;
    // One folder; its parent must exist. Anything in the way gives EEXIST.
    std::error_code createDirectory() const;
    // The folder and every missing folder above it inside the folder; existing ones (or links
    // that lead to folders beneath the folder) are kept.
    std::error_code createDirectories() const;
    // Removes the entry: a file, a link, or a folder with everything in it.
    std::error_code remove() const;
    // Renames the entry to `target` in one step, replacing a file or link there.
    std::error_code moveTo(const ContainedPath& target) const;
    // Moves the file or folder at `source` (anywhere, taken as it is) into place in one rename.
    // Across file systems it is copied and the source removed then: a file as copyFrom copies
    // it, a folder whole (folders and files with their permission bits, links as they are;
    // anything else fails with EINVAL) into a hidden folder beside the entry that is renamed
    // into place once complete. A failed copy leaves the source whole and nothing in place.
    std::error_code moveFrom(const std::filesystem::path& source) const;
    // Copies the regular file at `source` (anywhere; a final link followed) into a new file in
    // place, streamed in blocks, so its size never has to fit in memory. The source is left as
    // it is; a copy that fails leaves the entry as it was.
    std::error_code copyFrom(const std::filesystem::path& source) const;
    // Makes the entry a link to `target`, which is relative and leads beneath the folder from
    // where the link sits; anything in the way gives EEXIST.
    std::error_code createSymbolicLink(const std::string& target) const;

    // How names are resolved. Tests run the walk where the kernel offers openat2 too.
    enum class Resolver { kernel, walk };
    static Resolver resolver();
    static void setResolverForTesting(Resolver resolver);

private:
    ContainedPath(std::filesystem::path folder, std::string relative, bool folderOnly);

    UniqueFd openFolder(std::error_code& error) const;
    UniqueFd resolve(const std::string& relative, int flags, std::error_code& error) const;
    UniqueFd openParent(std::error_code& error) const;
    std::string resolvedText() const;

    std::filesystem::path folder_;
    std::string relative_;
    bool folderOnly_ = false;
};

} // namespace platform
