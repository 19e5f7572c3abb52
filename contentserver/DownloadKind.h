#pragma once
// What a background download of the content server carries. Decided when the download starts
// and kept with it (ServerCom::DownloadContext); its session identifier spells it too ("full-",
// "incremental-", "lazy-", "sync-"), for the settings and the notification that name it.

#include <optional>
#include <string>

enum class DownloadKind {
    // An update package that replaces the whole web root.
    full,
    // An update package merged into the web root (every update type but "full").
    incremental,
    // A file of the web root the manifest lists and the package left out.
    lazy,
    // A file the page keeps in the sync folder.
    sync,
};

// The kind of a download started with `dlType` ("lazy-", "sync-") or, for an update package
// (no `dlType`), with the update reply's type.
inline DownloadKind downloadKind(const std::optional<std::string>& dlType, const std::string& updateType)
{
    if (dlType)
        return dlType->starts_with("lazy") ? DownloadKind::lazy : dlType->starts_with("sync") ? DownloadKind::sync
                                                                                          : DownloadKind::incremental;
    return updateType == "full" ? DownloadKind::full : DownloadKind::incremental;
}
