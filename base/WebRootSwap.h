#pragma once
// Replacing the web root with a complete fresh copy so that, whatever moment the process dies
// at, the folder of the web root is either the complete old one or the complete new one:
//
//   1. the old web root is renamed aside (the web root's path with "-old" appended),
//   2. the fresh copy is renamed into its place,
//   3. the old one, now aside, is deleted.
//
// Renames within one folder are atomic, so between 1 and 2 the old web root is complete aside
// and no web root exists; `recover` (run at start-up, before anything looks at the web root)
// renames it back. A web root beside a folder aside means the swap got past 2: the one aside
// is deleted. A failure of 2 renames the old one back at once.
//
// Any thread, but only one swap or recovery of the same web root at a time (the installation
// runs on its worker thread, the recovery in the launch before any installation).

#include <filesystem>
#include <system_error>

class WebRootSwap {
public:
    explicit WebRootSwap(std::filesystem::path webRoot);

    // Where the old web root lies during a swap.
    std::filesystem::path asidePath() const;

    // Puts the folder `fresh` in place of the web root (a missing web root is simply filled).
    // On success `fresh` is gone and the old web root deleted; a failure to delete the old one
    // is logged only (the next recovery deletes it). On failure the old web root is back in
    // place (when it can be renamed back at all) and `fresh` stays where it was; the error of
    // the step that failed comes back.
    std::error_code replaceWith(const std::filesystem::path& fresh) const;

    // Finishes what an interrupted swap left: a web root that is missing while the old one lies
    // aside is renamed back; a folder aside next to a web root is deleted. Failures are logged.
    void recover() const;

    // The next replaceWith fails at its rename into place with `error`, as a file system that
    // refuses it would: the old web root is put back.
    static void failNextReplaceForTesting(std::error_code error);

private:
    std::filesystem::path webRoot_;
};
