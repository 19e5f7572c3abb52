#pragma once
// Which URLs a page confined to one folder may load: every URL that is not a file URL, and file
// URLs whose file really lies beneath the folder. "Really" means after resolving "." and ".."
// and every symbolic link on the way, including a link whose target does not exist (inside the
// web process's sandbox the target may be invisible, yet the network process would follow it).
// A file URL that names another host or does not parse is refused. A missing file beneath the
// folder is allowed, so that loading it fails as a missing page does.
//
// Used by the web view (navigations) and by the web-process extension (every request of the
// page). A plain value, safe from any thread; reads the file system on every call.

#include <filesystem>
#include <optional>
#include <string>

namespace platform::gtk {

class ReadAccessRule {
public:
    // `folder`: an absolute path; it is resolved once, here. An empty or relative folder
    // allows no file URL at all.
    explicit ReadAccessRule(const std::filesystem::path& folder);

    // The folder as resolved.
    const std::filesystem::path& folder() const { return folder_; }
    bool allows(const std::string& uri) const;

    // The path `path` (absolute) leads to, with every symbolic link resolved and "." and ".."
    // applied; a part that does not exist is taken as written. Nothing when the links loop.
    static std::optional<std::filesystem::path> resolve(const std::filesystem::path& path);

private:
    std::filesystem::path folder_;
};

} // namespace platform::gtk
