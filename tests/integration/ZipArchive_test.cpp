// The ZIP component against real archives built in the test: confinement of every entry to the
// destination, skipped resource forks, overwriting, and the errors of broken archives.
#include "portable/ZipArchive.h"
#include "tests/support/ScopedFileSizeLimit.h"
#include "tests/support/TestEnvironment.h"
#include "tests/support/ZipBuilder.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>

namespace fs = std::filesystem;
using platform::SSZipArchiveErrorCode;
using platform::ZipArchive;
using platform::ZipError;
using testsupport::readFile;
using testsupport::writeFile;
using testsupport::ZipBuilder;

namespace {

struct RecordingDelegate : platform::ZipArchiveDelegate {
    struct Call {
        fs::path path;
        std::uint64_t entries;
        fs::path unzippedPath;
    };
    std::vector<Call> calls;
    void zipArchiveDidUnzipArchive(const fs::path& path, const platform::ZipInfo& info, const fs::path& unzippedPath) override
    {
        calls.push_back({path, info.numberOfEntries, unzippedPath});
    }
};

class ZipArchiveTest : public testing::Test {
protected:
    void SetUp() override
    {
        outer = testsupport::makeTemporaryFolder("zip-outer");
        destination = outer / "dest";
        archive = testsupport::makeTemporaryFolder("zip-archives") / "test.zip";
    }

    // Every path below `outer` except the destination and what lies in it.
    std::vector<std::string> strayItems() const
    {
        std::vector<std::string> stray;
        for (const auto& item : fs::recursive_directory_iterator(outer)) {
            auto rel = fs::relative(item.path(), outer).generic_string();
            if (rel != "dest" && !rel.starts_with("dest/"))
                stray.push_back(rel);
        }
        return stray;
    }

    fs::path outer;
    fs::path destination;
    fs::path archive;
};

std::string codeAndText(const ZipError& error)
{
    return error.domain + " " + std::to_string(error.code) + " " + error.localizedDescription;
}

} // namespace

TEST_F(ZipArchiveTest, UnpacksFilesAndFoldersAndTellsTheDelegateOnce)
{
    ZipBuilder().folder("css/").file("index.html", "<h1>hi</h1>").file("css/site.css", "body{}").file("js/deep/app.js", "x=1")
        .write(archive);
    RecordingDelegate delegate;
    ZipError error;
    ASSERT_TRUE(ZipArchive::unzipFileAtPath(archive, destination, &error, &delegate)) << codeAndText(error);
    EXPECT_EQ(readFile(destination / "index.html"), "<h1>hi</h1>");
    EXPECT_EQ(readFile(destination / "css/site.css"), "body{}");
    EXPECT_EQ(readFile(destination / "js/deep/app.js"), "x=1");
    ASSERT_EQ(delegate.calls.size(), 1u);
    EXPECT_EQ(delegate.calls[0].path, archive);
    EXPECT_EQ(delegate.calls[0].entries, 4u);
    EXPECT_EQ(delegate.calls[0].unzippedPath, destination);
}

// Traversal entries ("../", absolute, "..\") are kept inside the destination.
TEST_F(ZipArchiveTest, TraversalEntriesLandInsideTheDestination)
{
    ZipBuilder()
        .file("../evil.txt", "1")
        .file("/abs.txt", "2")
        .file("a/../../../b.txt", "3")
        .file("..\\..\\win.txt", "4")
        .file("./c/./d.txt", "5")
        .file("x/../../y/z.txt", "6")
        .write(archive);
    ASSERT_TRUE(ZipArchive::unzipFileAtPath(archive, destination));
    EXPECT_THAT(strayItems(), testing::IsEmpty());
    EXPECT_EQ(readFile(destination / "evil.txt"), "1");
    EXPECT_EQ(readFile(destination / "abs.txt"), "2");
    EXPECT_EQ(readFile(destination / "b.txt"), "3");
    EXPECT_EQ(readFile(destination / "win.txt"), "4");
    EXPECT_EQ(readFile(destination / "c/d.txt"), "5");
    EXPECT_EQ(readFile(destination / "y/z.txt"), "6");
    EXPECT_FALSE(fs::exists(destination / "a"));
}

// A link inside the destination is made; links that point outside are refused with their error.
TEST_F(ZipArchiveTest, SymbolicLinksMustStayInside)
{
    ZipBuilder().file("sub/file.txt", "inside").symlink("link", "sub/file.txt").symlink("sub/up", "../sub").write(archive);
    ASSERT_TRUE(ZipArchive::unzipFileAtPath(archive, destination));
    EXPECT_EQ(fs::read_symlink(destination / "link"), "sub/file.txt");
    EXPECT_EQ(readFile(destination / "link"), "inside");
    EXPECT_EQ(readFile(destination / "sub/up/file.txt"), "inside");

    for (const std::string target : {"../../", "../dest-sibling", "/etc/passwd", "sub/../../x"}) {
        SCOPED_TRACE(target);
        ZipBuilder().symlink("escape", target).file("after.txt", "x").write(archive);
        RecordingDelegate delegate;
        ZipError error;
        EXPECT_FALSE(ZipArchive::unzipFileAtPath(archive, destination, &error, &delegate));
        EXPECT_EQ(error.domain, "SSZipArchiveErrorDomain");
        EXPECT_EQ(error.code, static_cast<int>(SSZipArchiveErrorCode::SymlinkEscapesTargetDirectory));
        EXPECT_EQ(error.localizedDescription, "Symlink escapes target directory \"~escape -> " + target + "\"");
        EXPECT_FALSE(fs::exists(fs::symlink_status(destination / "escape")));
        EXPECT_TRUE(delegate.calls.empty());
    }
}

// A link already in the destination that leads outside is never written through.
TEST_F(ZipArchiveTest, ExistingLinksToOutsideAreNotFollowed)
{
    const fs::path outside = outer / "outside";
    fs::create_directories(outside);
    fs::create_directories(destination);
    fs::create_directory_symlink(outside, destination / "out");
    fs::create_symlink(outside / "victim.txt", destination / "victim.txt");

    ZipBuilder().file("victim.txt", "replaced").write(archive);
    ASSERT_TRUE(ZipArchive::unzipFileAtPath(archive, destination));
    EXPECT_FALSE(fs::is_symlink(destination / "victim.txt"));
    EXPECT_EQ(readFile(destination / "victim.txt"), "replaced");
    EXPECT_FALSE(fs::exists(outside / "victim.txt"));

    ZipBuilder().file("out/x.txt", "nope").write(archive);
    ZipError error;
    EXPECT_FALSE(ZipArchive::unzipFileAtPath(archive, destination, &error));
    EXPECT_EQ(error.code, static_cast<int>(SSZipArchiveErrorCode::SymlinkEscapesTargetDirectory));
    EXPECT_TRUE(fs::is_empty(outside));
}

TEST_F(ZipArchiveTest, SkipsResourceForksUnderMacosx)
{
    ZipBuilder().folder("__MACOSX/").file("__MACOSX/._index.html", "fork").file("index.html", "page")
        .file("sub/__MACOSX/kept.txt", "k").write(archive);
    RecordingDelegate delegate;
    ASSERT_TRUE(ZipArchive::unzipFileAtPath(archive, destination, nullptr, &delegate));
    EXPECT_FALSE(fs::exists(destination / "__MACOSX"));
    EXPECT_EQ(readFile(destination / "index.html"), "page");
    EXPECT_EQ(readFile(destination / "sub/__MACOSX/kept.txt"), "k");
    EXPECT_EQ(delegate.calls.size(), 1u);
}

TEST_F(ZipArchiveTest, OverwritesExistingFilesAndKeepsOthers)
{
    writeFile(destination / "index.html", "old page that was longer");
    writeFile(destination / "keep.txt", "untouched");
    ZipBuilder().file("index.html", "new").write(archive);
    ASSERT_TRUE(ZipArchive::unzipFileAtPath(archive, destination));
    EXPECT_EQ(readFile(destination / "index.html"), "new");
    EXPECT_EQ(readFile(destination / "keep.txt"), "untouched");
}

// An entry that failed used to leave the file it replaced deleted or half written, and with it
// every hard link of that file: the old file now stays whole until the new one is complete.
TEST_F(ZipArchiveTest, AnEntryThatFailsLeavesTheFileItWouldReplaceWhole)
{
    const std::string big(256 * 1024, 'n');
    ZipBuilder().file("data.txt", big, true).write(archive);
    std::string corrupt = readFile(archive);
    corrupt[corrupt.find(big) + 1000] = 'x';
    struct Case {
        const char* scenario;
        std::string archive;
        rlim_t fileSizeLimit;
    };
    const std::vector<Case> cases = {
        {"its checksum fails", corrupt, RLIM_INFINITY},
        {"the disk is full", readFile(archive), 64 * 1024},
    };
    const fs::path link = outer / "hard-link.txt";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.scenario);
        fs::remove_all(destination);
        fs::remove(link);
        writeFile(destination / "data.txt", "old content");
        fs::create_hard_link(destination / "data.txt", link);
        writeFile(archive, c.archive);
        {
            testsupport::ScopedFileSizeLimit limit(c.fileSizeLimit);
            EXPECT_FALSE(ZipArchive::unzipFileAtPath(archive, destination));
        }
        // Compared, not printed: a broken file holds a quarter megabyte.
        EXPECT_TRUE(readFile(destination / "data.txt") == "old content");
        EXPECT_TRUE(readFile(link) == "old content");
        EXPECT_EQ(std::distance(fs::directory_iterator(destination), fs::directory_iterator()), 1);
    }
}

// An archive of many entries has its files written side by side; what it leaves is still what its
// entries say in their order: a later entry of a name wins, a file stands in the way of a later
// folder of its name, a later link replaces a folder with what was written into it.
TEST_F(ZipArchiveTest, ManyEntriesUnpackAsTheirOrderSays)
{
    ZipBuilder builder;
    builder.file("dup.txt", "first").file("blocker", "a file").file("tree/inside.txt", "inside");
    for (int i = 0; i < 40; ++i)
        builder.file("many/f" + std::to_string(i) + ".txt", std::to_string(i));
    builder.file("dup.txt", "second").symlink("tree", "many").write(archive);
    EXPECT_TRUE(ZipArchive::unzipFileAtPath(archive, destination));
    EXPECT_EQ(readFile(destination / "dup.txt"), "second");
    EXPECT_EQ(readFile(destination / "tree" / "f7.txt"), "7");
    EXPECT_TRUE(fs::is_symlink(destination / "tree"));

    builder.file("blocker/below.txt", "x").write(archive);
    fs::remove_all(destination);
    ZipError error;
    EXPECT_FALSE(ZipArchive::unzipFileAtPath(archive, destination, &error));
    EXPECT_EQ(error.code, static_cast<int>(SSZipArchiveErrorCode::FailedToWriteFile));
    EXPECT_EQ(readFile(destination / "blocker"), "a file");
}

TEST_F(ZipArchiveTest, BrokenArchivesFailWithTheirErrors)
{
    ZipError error;
    RecordingDelegate delegate;

    writeFile(archive, "this is not a zip archive at all, only some text of some length");
    EXPECT_FALSE(ZipArchive::unzipFileAtPath(archive, destination, &error, &delegate));
    EXPECT_EQ(codeAndText(error), "SSZipArchiveErrorDomain -1 failed to open zip file");

    EXPECT_FALSE(ZipArchive::unzipFileAtPath(archive.parent_path() / "missing.zip", destination, &error));
    EXPECT_EQ(codeAndText(error), "SSZipArchiveErrorDomain -1 failed to open zip file");

    EXPECT_FALSE(ZipArchive::unzipFileAtPath("", destination, &error));
    EXPECT_EQ(codeAndText(error), "SSZipArchiveErrorDomain -6 received invalid argument(s)");

    // A stored entry whose bytes were changed after packing fails its checksum.
    ZipBuilder().file("data.txt", "ABCDEFGHIJKLMNOPQRSTUVWXYZ", true).write(archive);
    std::string bytes = readFile(archive);
    const auto at = bytes.find("ABCDEFGHIJ");
    ASSERT_NE(at, std::string::npos);
    bytes[at + 3] = 'x';
    writeFile(archive, bytes);
    EXPECT_FALSE(ZipArchive::unzipFileAtPath(archive, destination, &error, &delegate));
    EXPECT_EQ(codeAndText(error), "SSZipArchiveErrorDomain -3 crc check failed for file");
    EXPECT_TRUE(delegate.calls.empty());
}

// Archives beyond their limits are refused before a single entry is written.
TEST_F(ZipArchiveTest, ArchivesBeyondTheirLimitsWriteNothing)
{
    platform::UnzipLimits twoEntries;
    twoEntries.maximumEntries = 2;
    platform::UnzipLimits noSpaceLeft;
    noSpaceLeft.keptFreeBytes = std::uint64_t{1} << 62;
    struct Case {
        const char* scenario;
        ZipBuilder archive;
        platform::UnzipLimits limits;
        std::optional<std::string> error; // none: unpacked
    };
    const std::vector<Case> cases = {
        {"a bomb: 30 MB of zeros in a tiny archive", ZipBuilder().file("a.txt", "a").file("zeros", std::string(30 << 20, '\0')),
         {}, "SSZipArchiveErrorDomain -8"},
        {"one entry too many", ZipBuilder().file("a.txt", "a").folder("b/").file("b/c.txt", "c"), twoEntries,
         "SSZipArchiveErrorDomain -8"},
        {"as many entries as allowed", ZipBuilder().file("a.txt", "a").file("b.txt", "b"), twoEntries, std::nullopt},
        {"too little free space", ZipBuilder().file("a.txt", "a"), noSpaceLeft,
         "SSZipArchiveErrorDomain -5 Failed to write file (check your free space)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.scenario);
        fs::remove_all(destination);
        c.archive.write(archive);
        ZipError error;
        RecordingDelegate delegate;
        EXPECT_EQ(!c.error, ZipArchive::unzipFileAtPath(archive, destination, &error, &delegate, c.limits));
        if (c.error) {
            EXPECT_EQ(*c.error, codeAndText(error).substr(0, c.error->size()));
            EXPECT_TRUE(!fs::exists(destination) || fs::is_empty(destination));
            EXPECT_TRUE(delegate.calls.empty());
        }
    }
}
