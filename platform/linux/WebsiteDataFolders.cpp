#include "platform/linux/WebsiteDataFolders.h"

#include "logger/Logger.h"
#include "portable/ContainedPath.h"
#include "portable/Paths.h"

namespace fs = std::filesystem;

namespace platform::gtk {
namespace {

// The name the engine gave the folders of earlier versions: the program's.
constexpr char kEarlierName[] = "webcontainer";

// Moves `earlier` to `folder` when only the first exists; across file systems the copy is
// renamed into place only once complete, so a copy cut short never stands as the data.
void adopt(const fs::path& earlier, const fs::path& folder)
{
    std::error_code error;
    if (!fs::is_directory(earlier, error) || fs::exists(folder, error) || error)
        return;
    fs::create_directories(folder.parent_path(), error);
    if (!error)
        error = ContainedPath::make(folder.parent_path(), folder.filename().string())->moveFrom(earlier);
    if (error)
        LOG_ERROR("cannot move the website data " + earlier.string() + " to " + folder.string() + ": " +
                  error.message());
    else
        LOG_INFO("moved the website data " + earlier.string() + " to " + folder.string());
}

} // namespace

WebsiteDataFolders WebsiteDataFolders::prepare(const std::string& bundleIdentifier)
{
    const auto folder = paths::applicationSupport(bundleIdentifier);
    WebsiteDataFolders folders{folder / "website-data", folder / "website-cache"};
    adopt(paths::dataHome() / kEarlierName, folders.data);
    adopt(paths::cacheHome() / kEarlierName, folders.cache);
    return folders;
}

} // namespace platform::gtk
