#include "base/Config.h"
#include "base/FileHelpers.h"
#include "portable/Paths.h"
#include "tests/support/LogCapture.h"
#include "tests/support/TestEnvironment.h"
#include "tests/support/TestIsolation.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <set>

namespace fs = std::filesystem;
using testsupport::LogCapture;
using testsupport::writeFile;
using Level = Logger::Level;

namespace {

fs::path webRoot()
{
    return sharedConfig().WEBROOT;
}

std::uint64_t entrySize(const fs::path& path)
{
    struct stat attributes {};
    EXPECT_EQ(::lstat(path.c_str(), &attributes), 0);
    return static_cast<std::uint64_t>(attributes.st_size);
}

// The file a contained name stands for, for comparing.
std::optional<fs::path> named(const std::optional<platform::ContainedPath>& file)
{
    return file ? std::optional(file->path()) : std::nullopt;
}

std::optional<fs::path> fullURL(const std::string& relativePath)
{
    return named(createFullURL(relativePath));
}

} // namespace

TEST(CreateFullURL, SyncMarkerAnywhereSelectsTheSyncFolder)
{
    EXPECT_EQ(fullURL("docs/sync/x.pdf"), sharedConfig().SYNCURL / "x.pdf");
    EXPECT_EQ(fullURL("sync/report.pdf"), sharedConfig().SYNCURL / "report.pdf");
    EXPECT_EQ(fullURL("a/sync/b/c.txt"), sharedConfig().SYNCURL / "b" / "c.txt");
    EXPECT_EQ(fullURL("docs/x.pdf"), webRoot() / "docs" / "x.pdf");
    // The marker is case-sensitive.
    EXPECT_EQ(fullURL("Sync/x.pdf"), webRoot() / "Sync" / "x.pdf");
}

// A page path with ".." reached files outside the web root and the sync folder.
TEST(CreateFullURL, PathsLeavingTheFoldersGiveNothing)
{
    EXPECT_EQ(fullURL("../secret.txt"), std::nullopt);
    EXPECT_EQ(fullURL("img/../../x"), std::nullopt);
    // A leading "/" is appended as components: it names a file inside, never the root's.
    EXPECT_EQ(fullURL("/etc/passwd"), webRoot() / "etc" / "passwd");
    EXPECT_EQ(fullURL("/img/a.png"), webRoot() / "img" / "a.png");
    EXPECT_EQ(fullURL("sync//etc/passwd"), sharedConfig().SYNCURL / "etc" / "passwd");
    EXPECT_EQ(fullURL("sync/../www/index.html"), std::nullopt);
    EXPECT_EQ(fullURL("x/sync/a/.."), std::nullopt);
    // Text before the marker is dropped, so it cannot lead anywhere.
    EXPECT_EQ(fullURL("../../sync/a.txt"), sharedConfig().SYNCURL / "a.txt");
    // Names that merely contain dots are ordinary names.
    EXPECT_EQ(fullURL("..a/b..c"), webRoot() / "..a" / "b..c");
}

TEST(SaveCreateDir, ExistingFolderStaysAndAFileInTheWayIsReplaced)
{
    const fs::path folder = webRoot() / "upload";
    writeFile(folder / "kept.txt", "x");
    EXPECT_TRUE(saveCreateDir(folder));
    EXPECT_TRUE(fs::exists(folder / "kept.txt"));

    const fs::path blocked = webRoot() / "blocked";
    writeFile(blocked, "a plain file");
    EXPECT_TRUE(saveCreateDir(blocked));
    EXPECT_TRUE(fs::is_directory(blocked));
    EXPECT_TRUE(fs::is_empty(blocked));
}

TEST(SaveCreateDir, MissingParentGivesFalseAndCreatesNothing)
{
    const fs::path folder = sharedConfig().BASEURL / "missing" / "child";
    EXPECT_FALSE(saveCreateDir(folder));
    EXPECT_FALSE(fs::exists(folder.parent_path()));
}

TEST(DeleteFolder, RemovesFoldersWithContentsAndFilesAndLogsFailures)
{
    writeFile(sharedConfig().SYNCURL / "a" / "b.txt", "x");
    writeFile(webRoot() / "single.txt", "x");
    deleteFolder(sharedConfig().SYNCURL);
    deleteFolder(webRoot() / "single.txt");
    EXPECT_FALSE(fs::exists(sharedConfig().SYNCURL));
    EXPECT_FALSE(fs::exists(webRoot() / "single.txt"));

    LogCapture log;
    deleteFolder(webRoot() / "gone");
    // The log line is the behaviour here: nothing else is observable.
    EXPECT_TRUE(log.contains(Level::Error, "Error deleting folder file://"));
}

TEST(GetFilesOfWebDir, ListsPlainFilesPercentEncodedAndNoFolders)
{
    writeFile(webRoot() / "a.js", "1");
    writeFile(webRoot() / "img" / "b c.png", "2");
    writeFile(webRoot() / ".hidden", "3");
    writeFile(webRoot() / "img" / "ä;#%.txt", "4");
    fs::create_directories(webRoot() / "empty");
    EXPECT_THAT(getFilesOfWebDir(),
                testing::UnorderedElementsAre("a.js", "img/b%20c.png", ".hidden", "img/%C3%A4;%23%25.txt"));
}

TEST(GetFilesOfWebDir, MissingWebRootGivesNothing)
{
    EXPECT_TRUE(getFilesOfWebDir().empty());
}

// A home below another folder named "www" made every relative path start at that folder.
TEST(GetFilesOfWebDir, PathsAreRelativeToTheWebRootWhateverFoldersLieAbove)
{
    const fs::path home = testsupport::makeTemporaryFolder("www") / "www" / "data";
    testsupport::ScopedEnvironment environment({{"XDG_DATA_HOME", home.string()}});
    // The configuration is made now, under the odd home.
    testsupport::rebuildSharedInstances();
    ASSERT_EQ(sharedConfig().BASEURL.parent_path(), home);
    writeFile(webRoot() / "index.html", "1");
    writeFile(webRoot() / "www" / "x.js", "2");
    EXPECT_THAT(getFilesOfWebDir(), testing::UnorderedElementsAre("index.html", "www/x.js"));
    EXPECT_EQ(webRootRelativePath(webRoot() / "www" / "x.js"), "www/x.js");
    EXPECT_EQ(webRootRelativePath(sharedConfig().SYNCURL / "x.js"), std::nullopt);
    EXPECT_EQ(webRootRelativePath(webRoot()), std::nullopt);
}

// A folder that could not be opened ended the whole listing: files after it were left out.
// A web root that could not be reached threw out of the listing.
TEST(GetFilesOfWebDir, CarriesOnPastAFolderItCannotOpen)
{
    const std::set<std::string> names = {"a.js", "b.js", "c.js", "x.js", "y.js", "z.js"};
    // Folders and files mixed, so that in any listing order some files come after a folder.
    for (const auto& name : names) {
        writeFile(webRoot() / name, "1");
        writeFile(webRoot() / ("closed-" + name) / "hidden.js", "2");
    }
    std::vector<fs::path> closedFolders;
    for (const auto& name : names)
        closedFolders.push_back(webRoot() / ("closed-" + name));
    const struct {
        const char* name;
        std::vector<fs::path> closed;
        std::set<std::string> listed;
    } cases[] = {
        {"folders below the web root", closedFolders, names},
        {"the web root", {webRoot()}, {}},
        {"the folder holding the web root", {webRoot().parent_path()}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        for (const auto& folder : c.closed)
            fs::permissions(folder, fs::perms::none);
        // The listing runs in a child process that the folders' modes bind even as root.
        EXPECT_EXIT(
            {
                testsupport::dropFilePermissionOverrides();
                const auto files = getFilesOfWebDir();
                std::_Exit(std::set<std::string>(files.begin(), files.end()) == c.listed ? 0 : 1);
            },
            testing::ExitedWithCode(0), "");
        for (const auto& folder : c.closed)
            fs::permissions(folder, fs::perms::owner_all);
    }
}

TEST(GetFilesOfWebDir, LinksAreListedButNotFollowed)
{
    writeFile(sharedConfig().BASEURL / "outside" / "secret.txt", "x");
    writeFile(webRoot() / "a.js", "1");
    fs::create_directory_symlink(sharedConfig().BASEURL / "outside", webRoot() / "linked");
    EXPECT_THAT(getFilesOfWebDir(), testing::UnorderedElementsAre("a.js", "linked"));
}

TEST(GetFolderSize, AddsImmediateEntriesAndASubFolderCountsItsOwnEntryOnly)
{
    const fs::path folder = sharedConfig().SYNCURL;
    writeFile(folder / "ten.bin", std::string(10, 'x'));
    writeFile(folder / "sub" / "big.bin", std::string(1000, 'y'));
    const auto size = getFolderSize(folder);
    EXPECT_EQ(size, 10 + entrySize(folder / "sub"));
    EXPECT_NE(size, 1010u);
}

TEST(GetFolderSize, MissingFolderGivesZero)
{
    EXPECT_EQ(getFolderSize(sharedConfig().SYNCURL / "missing"), 0u);
}

TEST(CreateFullURL, NamesInAFolderMustStayStrictlyInsideIt)
{
    const fs::path folder = "/data/sync";
    EXPECT_EQ(named(createFullURL(folder, "a.pdf")), folder / "a.pdf");
    EXPECT_EQ(named(createFullURL(folder, "sub/a.pdf")), folder / "sub" / "a.pdf");
    EXPECT_EQ(named(createFullURL(folder, "..a")), folder / "..a");
    EXPECT_EQ(named(createFullURL(folder, "/etc/passwd")), folder / "etc" / "passwd");
    for (const char* refused : {"", ".", "./", "..", "../x", "a/../../x", "a/..", "/"})
        EXPECT_EQ(named(createFullURL(folder, refused)), std::nullopt) << refused;
}
