// The web views' website data lives in the application's folder; what earlier versions kept under
// the program's name is moved there once, and never over data already in place.
#include "platform/linux/WebsiteDataFolders.h"
#include "portable/Paths.h"
#include "tests/support/TestEnvironment.h"

#include <gtest/gtest.h>

namespace fs = std::filesystem;
using platform::gtk::WebsiteDataFolders;
using testsupport::readFile;
using testsupport::writeFile;

TEST(WebsiteDataFolders, EarlierDataMovesIntoTheApplicationFolderOnlyWhereNoneIsYet)
{
    const std::string id = "org.webcontainer.app";
    const fs::path app = platform::paths::dataHome() / id;
    const fs::path oldData = platform::paths::dataHome() / "webcontainer";
    const fs::path oldCache = platform::paths::cacheHome() / "webcontainer";
    const struct {
        const char* name;
        bool oldThere;
        bool newThere;
    } cases[] = {
        {"only the earlier folders", true, false},
        {"both", true, true},
        {"only the new folders", false, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        for (const auto& folder : {app, oldData, oldCache})
            fs::remove_all(folder);
        if (c.oldThere) {
            writeFile(oldData / "storage" / "local.sqlite", "old local storage");
            writeFile(oldCache / "CacheStorage" / "entry", "old page cache");
        }
        if (c.newThere) {
            writeFile(app / "website-data" / "storage" / "local.sqlite", "new local storage");
            writeFile(app / "website-cache" / "CacheStorage" / "entry", "new page cache");
        }

        const auto folders = WebsiteDataFolders::prepare(id);
        EXPECT_EQ(folders.data, app / "website-data");
        EXPECT_EQ(folders.cache, app / "website-cache");

        EXPECT_EQ(readFile(folders.data / "storage" / "local.sqlite"), c.newThere ? "new local storage" : "old local storage");
        EXPECT_EQ(readFile(folders.cache / "CacheStorage" / "entry"), c.newThere ? "new page cache" : "old page cache");
        // Earlier data that could not go into place stays where it was, whole.
        const bool kept = c.oldThere && c.newThere;
        EXPECT_EQ(fs::exists(oldData), kept);
        EXPECT_EQ(fs::exists(oldCache), kept);
        if (kept) {
            EXPECT_EQ(readFile(oldData / "storage" / "local.sqlite"), "old local storage");
        }
    }
}
