#pragma once
// A copy of the web root beside it, for an incremental package to be unpacked into and then
// swapped in whole (base/WebRootSwap.h). Files are hard links of the live ones: whatever is
// written into the copy replaces a file by a new one (portable/ContainedPath.h), so a live
// file is never written, and the copy costs no room. Where links can't be made (another file
// system, a file system without them, a file with too many links) the files are copied.
// Folders are made anew, links are made anew with the same target, never followed.
//
// Any thread; nothing else may change either folder meanwhile.

#include <filesystem>
#include <system_error>

// Makes `copy` (which must not exist) a copy of `webRoot`. On failure `copy` may hold a part.
std::error_code copyWebRoot(const std::filesystem::path& webRoot, const std::filesystem::path& copy);
