#pragma once
// The manifest clean-up after an installed update package: brings a web root into line with
// its manifest "files.txt" (contentserver/FilesManifest.h).
//
// - No manifest: nothing happens.
// - An unreadable manifest deletes nothing and empties the lazy-load list.
// - A manifest whose declared total differs from the number of names it yields, or is below 16,
//   is refused: nothing is deleted and the lazy-load list stays as it was.
// - Otherwise every entry below the web root that is not a folder and not listed is deleted
//   (folders never are; a path holding "internal.js" is kept). A symbolic link is an entry of
//   its own: removed itself, never followed, and nothing outside the web root is touched.
//   The walk takes the files of a folder before its subfolders, and the subfolders in name
//   order. An error of the walk or of a removal ends the walk there; listed files it had not
//   reached then count as missing.
// - Then the listed names not found on disk become the lazy-load list by
//   `configuredLazyLoadMode`: all of them (`all`), those not ending in ".html", ".css" or ".js"
//   (`nonhtml`), or none (`none`).
// Lazy loading is not started here. Runs on the caller's thread and takes no lock; only one
// clean-up of a web root may run at a time.

#include "contentserver/LazyLoadMode.h"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

// Cleans up the web root at `webRoot` (the live one, or a copy about to replace it). The
// lazy-load list to store, or nothing when the stored one stays as it is; nothing is stored
// here. The caller passes `sharedLazyLoad().configuredLazyLoadMode`.
std::optional<std::vector<std::string>> deleteObsoleteFiles(const std::filesystem::path& webRoot,
                                                            LazyLoadMode configuredLazyLoadMode);

// Stores `files` as the lazy-load list "LazyLoadList", replacing it whole, and synchronizes
// the settings. Main thread.
void storeLazyLoadList(const std::vector<std::string>& files);
