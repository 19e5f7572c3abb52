#pragma once
// Where the web views keep the page's website data: localStorage, IndexedDB and the engine's
// other stores in "website-data/", the page's caches (Cache Storage) and the engine's HTTP cache
// in "website-cache/", both in the application's own folder ($XDG_DATA_HOME/<bundle id>/), so
// the page's data stays with its web root.
//
// Earlier versions let the engine choose, which put them under the program's name
// ($XDG_DATA_HOME/webcontainer/, $XDG_CACHE_HOME/webcontainer/). Such a folder is moved into
// place once, while the new one does not exist yet; otherwise it stays as it is. Any thread.

#include <filesystem>
#include <string>

namespace platform::gtk {

struct WebsiteDataFolders {
    std::filesystem::path data;
    std::filesystem::path cache;

    // The folders of the application `bundleIdentifier`, with the data of earlier versions moved
    // in where there is any.
    static WebsiteDataFolders prepare(const std::string& bundleIdentifier);
};

} // namespace platform::gtk
