#pragma once
// The manifest clean-up after an installed update package: brings the web root into line with
// its manifest "files.txt" (base/FilesManifest.h).
//
// - No manifest: nothing happens.
// - An unreadable manifest deletes nothing and empties the stored lazy-load list.
// - A manifest whose declared total differs from the number of names it yields, or is below 16,
//   is refused: nothing is deleted and the lazy-load list stays as it was.
// - Otherwise every entry below the web root that is not a folder and not listed is deleted
//   (folders never are; a path holding "internal.js" is kept). A symbolic link is an entry of
//   its own: removed itself, never followed, and nothing outside the web root is touched.
//   An error of the walk or of a removal ends the walk there.
// - Then the listed names not found on disk become the lazy-load list "LazyLoadList" by
//   `configuredLazyLoadMode`: all of them (`all`), those not ending in ".html", ".css" or ".js"
//   (`nonhtml`), or none (`none`); the settings are synchronized.
// Lazy loading is not started here. Runs on the caller's thread (the unpacking completion) and
// takes no lock; only one clean-up may run at a time.

#include "base/LazyLoadMode.h"

// The caller passes `sharedLazyLoad().configuredLazyLoadMode`.
void deleteObsoleteFiles(LazyLoadMode configuredLazyLoadMode);
