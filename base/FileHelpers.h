#pragma once
// File operations on the two content folders of Config: the web root (WEBROOT, from which the
// page is served) and the sync folder (SYNCURL, which receives the files of the page's sync
// command). Failures are logged and turned into plain results; nothing throws.
// Safe from any thread (the bridge calls them on the main thread).

#include "portable/ContainedPath.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

// The file a relative path of the page stands for. A path holding "sync/" (case-sensitive,
// anywhere) names the text after its first "sync/" inside the sync folder ("docs/sync/x.pdf"
// and "sync/x.pdf" both give SYNCURL/x.pdf); any other path names a file below the web root.
// The path is appended as components, so a leading "/" stays inside ("/img/a.png" is
// www/img/a.png). Nothing when the rest is refused as a contained name (empty, the folder
// itself, a ".." component, a NUL byte); callers treat nothing as a missing file. Where the
// name really leads is checked when the result is used (portable/ContainedPath.h).
std::optional<platform::ContainedPath> createFullURL(const std::string& relativePath);

// The same for a path the page gives inside one known folder (no "sync/" marker).
std::optional<platform::ContainedPath> createFullURL(const std::filesystem::path& folder,
                                                     const std::string& relativePath);

// Makes sure a folder exists at `dirURL`: true when one exists afterwards. A plain file (or a
// link) in the way is removed first; missing parent folders are not created (their absence
// gives false).
bool saveCreateDir(const std::filesystem::path& dirURL);
bool saveCreateDir(const platform::ContainedPath& dirURL);

// Removes the folder (with everything in it, links inside not followed) or file at `url`; a
// failure is only logged.
void deleteFolder(const std::filesystem::path& url);

// The relative paths of every entry below the web root that is not a folder, in the order the
// folders are walked (not sorted), percent-encoded as in a file URL ("img/b%20c.png"). Hidden
// files count; a symbolic link is listed as an entry of its own and not followed. A folder that
// cannot be listed is logged and passed over; a missing web root yields none, and so does one
// that cannot be reached (logged).
std::vector<std::string> getFilesOfWebDir();

// The path of `file` relative to the web root, percent-encoded as in a file URL; nothing when
// `file` is not below the web root.
std::optional<std::string> webRootRelativePath(const std::filesystem::path& file);

// The sum of the sizes of the folder's immediate entries. A sub-folder adds the size of its own
// entry, not of its contents. A folder that cannot be listed gives 0; an entry whose size
// cannot be read ends the sum there. Both are logged.
std::uint64_t getFolderSize(const std::filesystem::path& folder);
