#include "base/Config.h"
#include "base/LocalizedTexts.h"
#include "portable/Dispatch.h"
#include "tests/support/FakeBridgeScreen.h"
#include "tests/support/TestEnvironment.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <map>
#include <set>

namespace fs = std::filesystem;
using testsupport::callbackScript;
using testsupport::FakeBridgeScreen;
using testsupport::readFile;
using testsupport::writeFile;
using Strings = std::vector<std::string>;

namespace {

class FileCommands : public testing::Test {
protected:
    FileCommands()
    {
        fs::create_directories(webRoot);
        fs::create_directories(sync);
    }

    Strings run(const std::string& command) { return testsupport::runCommand(screen, command); }

    const fs::path webRoot = sharedConfig().WEBROOT;
    const fs::path sync = sharedConfig().SYNCURL;
    FakeBridgeScreen screen;
};

// The status the page gets from moveFile.
std::string statusOf(const Strings& scripts)
{
    if (scripts.size() != 1 || !scripts[0].starts_with("f(\""))
        return "<no reply>";
    const std::string literal = scripts[0].substr(2, scripts[0].size() - 3);
    return nlohmann::json::parse(nlohmann::json::parse(literal).get<std::string>())["status"];
}

} // namespace

TEST_F(FileCommands, FileExistsLooksInTheSyncFolderOnly)
{
    writeFile(sync / "report.pdf", "x");
    writeFile(webRoot / "page.pdf", "x");
    EXPECT_EQ(run("fileExists?callback=f&url=report.pdf"), Strings{callbackScript("f", R"({"fileExists":"Y"})")});
    EXPECT_EQ(run("fileExists?callback=f&url=page.pdf"), Strings{callbackScript("f", R"({"fileExists":"N"})")});
    EXPECT_EQ(run("fileExists?callback=f&url"), Strings{});
    EXPECT_EQ(run("fileExists?url=report.pdf"), Strings{});
}

// Names with "..", absolute names and names of the folder itself reached beyond the sync folder.
TEST_F(FileCommands, FileExistsNamesOutsideTheSyncFolderAreMissing)
{
    writeFile(webRoot / "index.html", "x");
    for (const char* name : {"..%2Fwww%2Findex.html", "../www/index.html", "%2Fetc%2Fpasswd", ".", "./", "",
                             "a/../.."})
        EXPECT_EQ(run(std::string("fileExists?callback=f&url=") + name), Strings{callbackScript("f", R"({"fileExists":"N"})")})
            << name;
}

TEST_F(FileCommands, DeleteSyncFileRemovesAndRunsTheCallbackScript)
{
    writeFile(sync / "a.pdf", "x");
    EXPECT_EQ(run("deleteSyncFile?callback=done(1)&filename=a.pdf"), Strings{"done(1)"});
    EXPECT_FALSE(fs::exists(sync / "a.pdf"));
    writeFile(sync / "b.pdf", "x");
    EXPECT_EQ(run("deleteSyncFile?callback=done&filename=b.pdf"), Strings{"done()"});
    EXPECT_TRUE(screen.alerts().empty());
}

TEST_F(FileCommands, DeleteOfAMissingFileShowsTheErrorDialogOnly)
{
    EXPECT_EQ(run("deleteSyncFile?callback=done&filename=missing.pdf"), Strings{});
    ASSERT_EQ(screen.alerts().size(), 1u);
    const auto& alert = screen.alerts()[0];
    EXPECT_EQ(alert.title, JS_ALERT_TITLES().at("ERROR") + ":665");
    EXPECT_EQ(alert.message, localizedString("VC_FILE_DELETE_ERROR"));
    EXPECT_EQ(alert.first.title, localizedString("OK"));
    EXPECT_FALSE(alert.second);
    screen.pressButton(0, 0);
    platform::drainMainQueue();
    EXPECT_EQ(screen.view->scripts(), Strings{"hideAllLoading()"});
}

// "deleteSyncFile" with "." or ".." removed the sync folder or files of the web root.
TEST_F(FileCommands, DeleteSyncFileStaysInsideTheSyncFolder)
{
    writeFile(sync / "keep.pdf", "x");
    writeFile(webRoot / "index.html", "page");
    for (const char* name : {".", "./", "..%2Fwww%2Findex.html", "sub%2F..%2F..%2Fwww", "%2Ftmp"})
        EXPECT_EQ(run(std::string("deleteSyncFile?callback=done&filename=") + name), Strings{}) << name;
    EXPECT_EQ(screen.alerts().size(), 5u);
    EXPECT_TRUE(fs::exists(sync / "keep.pdf"));
    EXPECT_EQ(readFile(webRoot / "index.html"), "page");
}

TEST_F(FileCommands, DeleteSyncFolderLeavesAnEmptyFolder)
{
    writeFile(sync / "a" / "b.txt", "x");
    EXPECT_EQ(run("deleteSyncFolder?callback=cleared"), Strings{"cleared()"});
    EXPECT_TRUE(fs::is_directory(sync));
    EXPECT_TRUE(fs::is_empty(sync));
    writeFile(sync / "c.txt", "x");
    EXPECT_EQ(run("deleteSyncFolder?x=1"), Strings{});
    EXPECT_TRUE(fs::exists(sync / "c.txt"));
}

TEST_F(FileCommands, SyncFolderSizeCountsImmediateEntries)
{
    writeFile(sync / "ten.bin", std::string(10, 'x'));
    EXPECT_EQ(run("getSyncFolderSize?callback=f"), Strings{callbackScript("f", R"({"syncFolderSize":"10"})")});
}

TEST_F(FileCommands, FilesListKeepsNamesUnderTheFilePrefix)
{
    EXPECT_EQ(run("getFilesList?callback=f"), Strings{callbackScript("f", R"({"filesList":[]})")});
    writeFile(webRoot / "file_a.txt", "x");
    writeFile(webRoot / "b.txt", "x");
    writeFile(webRoot / "docs" / "file_c.txt", "x");
    writeFile(webRoot / "file_dir" / "x y.txt", "x");
    const auto scripts = run("getFilesList?callback=f");
    ASSERT_EQ(scripts.size(), 1u);
    EXPECT_NE(scripts[0].find(R"(file_dir\\/x%20y.txt)"), std::string::npos) << scripts[0];
    const std::string literal = scripts[0].substr(2, scripts[0].size() - 3);
    const auto list = nlohmann::json::parse(nlohmann::json::parse(literal).get<std::string>())["filesList"];
    EXPECT_EQ(list.get<std::set<std::string>>(), (std::set<std::string>{"file_a.txt", "file_dir/x%20y.txt"}));
    EXPECT_EQ(run("getFilesList?callback"), Strings{});
}

TEST_F(FileCommands, GetHTMLAnswersTheTrimmedTextAsJSON)
{
    writeFile(webRoot / "snippet.html", "\n  <p class=\"a\">one</p>\n<p>two</p>\n");
    EXPECT_EQ(run("getHTML?page=snippet.html&callback=f"),
              Strings{callbackScript("f", R"({"value":"<p class=\"a\">one<\/p>\n<p>two<\/p>"})")});
    // A byte-order mark tells the encoding; UTF-16 files were not answered at all.
    const std::string marked[] = {
        std::string("\xEF\xBB\xBF" "ok \xE2\x80\xA8"),
        std::string("\xFF\xFE" "o\0k\0 \0\x28\x20", 10),
        std::string("\xFE\xFF" "\0o\0k\0 \x20\x28", 10),
    };
    for (const auto& bytes : marked) {
        writeFile(webRoot / "parts" / "bom.html", bytes);
        EXPECT_EQ(run("getHTML?page=parts/bom.html&callback=f"), Strings{callbackScript("f", R"({"value":"ok"})")})
            << testing::PrintToString(bytes);
    }
}

// "getHTML" with ".." read files outside the web root, such as the settings.
TEST_F(FileCommands, GetHTMLPagesStayInsideTheWebRoot)
{
    writeFile(sharedConfig().BASEURL / "secret.txt", "secret");
    for (const char* page : {"..%2Fsecret.txt", "../secret.txt", "%2Fetc%2Fhostname", ".", ""})
        EXPECT_EQ(run(std::string("getHTML?page=") + page + "&callback=f"), Strings{}) << page;
}

TEST_F(FileCommands, GetHTMLFailuresAreNotAnswered)
{
    writeFile(webRoot / "binary.bin", "a\xFF\xFE");
    writeFile(webRoot / "surrogate.txt", std::string("\xFF\xFE" "\x00\xD8" "a\0", 6));
    fs::create_directories(webRoot / "folder");
    EXPECT_EQ(run("getHTML?page=missing.html&callback=f"), Strings{});
    EXPECT_EQ(run("getHTML?page=binary.bin&callback=f"), Strings{});
    EXPECT_EQ(run("getHTML?page=surrogate.txt&callback=f"), Strings{});
    EXPECT_EQ(run("getHTML?page=folder&callback=f"), Strings{});
    EXPECT_EQ(run("getHTML?page&callback=f"), Strings{});
}

TEST_F(FileCommands, MoveFileIntoANewFolderAndOntoAnExistingTarget)
{
    writeFile(webRoot / "in" / "a.txt", "A");
    EXPECT_EQ(statusOf(run("moveFile?fromPath=in&fromFileName=a.txt&toPath=out&toFileName=b.txt&callback=f")), "Y");
    EXPECT_FALSE(fs::exists(webRoot / "in" / "a.txt"));
    EXPECT_EQ(readFile(webRoot / "out" / "b.txt"), "A");

    writeFile(webRoot / "c.txt", "C");
    EXPECT_EQ(statusOf(run("moveFile?fromPath=&fromFileName=c.txt&toPath=out&toFileName=b.txt&callback=f")), "Y");
    EXPECT_EQ(readFile(webRoot / "out" / "b.txt"), "C");

    // Without a callback the file moves and nothing is answered.
    EXPECT_EQ(run("moveFile?fromPath=out&fromFileName=b.txt&toPath=&toFileName=d.txt"), Strings{});
    EXPECT_EQ(readFile(webRoot / "d.txt"), "C");
}

// Moves that fail say why and leave every file as it was.
TEST_F(FileCommands, FailedMovesLeaveEveryFile)
{
    const std::map<std::string, std::string> files = {
        {"t.txt", "keep"}, {"docs/t.txt", "keep"}, {"a.txt", "A"}, {"notes", "N"}};
    for (const auto& [name, bytes] : files)
        writeFile(webRoot / name, bytes);
    const struct {
        const char* command;
        const char* status;
    } cases[] = {
        // A missing source deleted the target first and then failed: the target was lost.
        {"moveFile?fromPath=&fromFileName=missing.txt&toPath=&toFileName=t.txt&callback=f", "Error moving Image file: "},
        // A source equal to its target was deleted as the "old target" before the move.
        {"moveFile?fromPath=docs&fromFileName=t.txt&toPath=docs&toFileName=t.txt&callback=f", "Error moving Image file: "},
        {"moveFile?fromPath=docs&fromFileName=t.txt&toPath=.%2Fdocs&toFileName=t.txt&callback=f", "Error moving Image file: "},
        {"moveFile?fromPath=&fromFileName=docs%2Ft.txt&toPath=docs&toFileName=t.txt&callback=f", "Error moving Image file: "},
        // A plain file where the target's folder belongs was deleted to make room for the folder.
        {"moveFile?fromPath=&fromFileName=a.txt&toPath=notes&toFileName=a.txt&callback=f", "Wrong URL (not file): "},
        // The target's folder is made one level deep at most.
        {"moveFile?fromPath=&fromFileName=a.txt&toPath=x%2Fy&toFileName=a.txt&callback=f", "Wrong URL (not file): "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.command);
        const std::string status = statusOf(run(c.command));
        EXPECT_TRUE(status.starts_with(c.status)) << status;
        for (const auto& [name, bytes] : files)
            EXPECT_EQ(readFile(webRoot / name), bytes) << name;
    }
    EXPECT_EQ(statusOf(run("moveFile?fromPath=&fromFileName=a.txt&toPath=x&toFileName&callback=f")), "<no reply>");
}

// "moveFile" with ".." moved files of the web root out of it, or files from outside into it.
TEST_F(FileCommands, MovePathsStayInsideTheWebRoot)
{
    writeFile(webRoot / "a.txt", "A");
    writeFile(sharedConfig().BASEURL / "outside.txt", "O");
    EXPECT_NE(statusOf(run("moveFile?fromPath=&fromFileName=a.txt&toPath=..&toFileName=x.txt&callback=f")), "Y");
    EXPECT_NE(statusOf(run("moveFile?fromPath=%2Ftmp&fromFileName=a.txt&toPath=&toFileName=x.txt&callback=f")), "Y");
    EXPECT_NE(statusOf(run("moveFile?fromPath=&fromFileName=a.txt&toPath=&toFileName=.&callback=f")), "Y");
    const std::string fromOutside =
        statusOf(run("moveFile?fromPath=..&fromFileName=outside.txt&toPath=&toFileName=in.txt&callback=f"));
    EXPECT_TRUE(fromOutside.starts_with("Error moving Image file: ")) << fromOutside;
    EXPECT_EQ(readFile(webRoot / "a.txt"), "A");
    EXPECT_EQ(readFile(sharedConfig().BASEURL / "outside.txt"), "O");
    EXPECT_FALSE(fs::exists(sharedConfig().BASEURL / "x.txt"));
    EXPECT_FALSE(fs::exists(webRoot / "in.txt"));
    // A target name that begins with "/" is appended to the web root like any other.
    EXPECT_EQ(statusOf(run("moveFile?fromPath=&fromFileName=a.txt&toPath=&toFileName=%2Ftmp%2Fx&callback=f")), "Y");
    EXPECT_EQ(readFile(webRoot / "tmp" / "x"), "A");
}

