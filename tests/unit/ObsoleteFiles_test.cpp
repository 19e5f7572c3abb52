#include "base/Config.h"
#include "base/Digest.h"
#include "base/FileHelpers.h"
#include "contentserver/FilesManifest.h"
#include "contentserver/ObsoleteFiles.h"
#include "portable/ContainedPath.h"
#include "portable/Paths.h"
#include "tests/support/LogCapture.h"
#include "tests/support/TestEnvironment.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <set>

#include <unistd.h>

namespace fs = std::filesystem;
using testing::ElementsAreArray;
using testsupport::LogCapture;
using testsupport::writeFile;
using Level = Logger::Level;

namespace {

fs::path webRoot()
{
    return sharedConfig().WEBROOT;
}

std::string md5(const std::string& text)
{
    return *hashed(std::string_view(text), HashType::md5, HashOutputType::hex);
}

// The sixteen files every consistent manifest below lists, one with a checksum.
std::string keptLines()
{
    std::string lines = "keep/k00.txt\tx\t" + md5("keep/k00.txt") + "\n";
    for (int i = 1; i < 16; ++i)
        lines += "keep/k" + std::string(i < 10 ? "0" : "") + std::to_string(i) + ".txt\tx\n";
    return lines;
}

std::vector<std::string> keptFiles()
{
    std::vector<std::string> files;
    for (int i = 0; i < 16; ++i)
        files.push_back("keep/k" + std::string(i < 10 ? "0" : "") + std::to_string(i) + ".txt");
    return files;
}

// Unlisted files a consistent manifest deletes, and those it keeps anyway.
const std::vector<std::string> unlisted = {"stale.txt", ".hidden", "upload/photo.jpg", "b%20c.png"};
const std::vector<std::string> internal = {"internal.js", "lib/my-internal.js.map"};
const std::string missing = "img/a.png\tx\nindex.html\tx\napp.css\tx\nmain.js\tx\n";

std::set<std::string> filesOnDisk()
{
    const auto files = getFilesOfWebDir();
    return {files.begin(), files.end()};
}

std::set<std::string> joined(std::initializer_list<std::vector<std::string>> parts)
{
    std::set<std::string> out;
    for (const auto& part : parts)
        out.insert(part.begin(), part.end());
    return out;
}

const std::vector<std::string> oldList = {"old/entry.png"};

// The clean-up of the live web root, its lazy-load list stored as an installation stores it.
void deleteObsoleteFiles(LazyLoadMode mode)
{
    if (auto lazyLoadList = deleteObsoleteFiles(webRoot(), mode))
        storeLazyLoadList(*lazyLoadList);
}

} // namespace

TEST(FilesManifest, ParsesLinesFieldsTotalsAndChecksums)
{
    struct Case {
        const char* scenario;
        std::string text;
        std::vector<std::string> names;
        std::int64_t total;
    };
    const std::vector<Case> cases = {
        {"every newline character ends a line; CR LF yields an ignored empty line",
         "a\tx\r\nb\tx\rc\tx\vd\tx\fe\tx\xc2\x85" "f\tx\xe2\x80\xa8g\tx\xe2\x80\xa9h\tx", {"a", "b", "c", "d", "e", "f", "g", "h"}, 0},
        {"one field and four fields are ignored, empty fields count",
         "lonely\na\tb\tc\td\n\tx\nn\t\n", {"", "n"}, 0},
        {"a later total replaces an earlier one, signs allowed",
         "===TOTAL===\t7\n===TOTAL===\t+16\nx\t1\n===TOTAL===\t-0\n===TOTAL===\t-3", {"x"}, -3},
        {"a total that is no plain integer lists the marker as a name",
         "===TOTAL===\tabc\n===TOTAL===\t 5\n===TOTAL===\t99999999999999999999\n===TOTAL===\t+\n===TOTAL===\t16\n",
         {"===TOTAL===", "===TOTAL===", "===TOTAL===", "===TOTAL==="}, 16},
        {"a checksum counts only as the lower-case MD5 of the name",
         "a.png\tx\t" + md5("a.png") + "\nb.png\tx\t" + md5("contents") + "\nc.png\tx\tD41D8CD98F00B204E9800998ECF8427E\n" +
             "c.png\t\t" + md5("c.png"),
         {"a.png", "c.png"}, 0},
        {"the same name twice counts twice", "a\tx\na\ty\n", {"a", "a"}, 0},
        {"empty text", "", {}, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.scenario);
        const auto manifest = FilesManifest::parse(c.text);
        EXPECT_THAT(manifest.names, ElementsAreArray(c.names));
        EXPECT_EQ(manifest.total, c.total);
    }
}

TEST(FilesManifest, DecodesUtf8AndMarkedUtf16AndRefusesUnknownBytes)
{
    EXPECT_EQ(FilesManifest::decode("\xef\xbb\xbf\xc3\xa4\tx"), "\xc3\xa4\tx");
    EXPECT_EQ(FilesManifest::decode(std::string("\xff\xfe\xe4\x00\t\x00", 6)), "\xc3\xa4\t");
    EXPECT_EQ(FilesManifest::decode(std::string("\xfe\xff\x00\xe4\x00\t", 6)), "\xc3\xa4\t");
    EXPECT_EQ(FilesManifest::decode("\xe4\tx"), std::nullopt);
}

TEST(DeleteObsoleteFiles, BringsTheWebRootInLineWithItsManifest)
{
    struct Case {
        const char* scenario;
        std::optional<std::string> manifest;  // nothing: no files.txt
        LazyLoadMode mode;
        std::set<std::string> remaining;       // files.txt aside
        std::optional<std::vector<std::string>> lazyLoadList;  // nothing: left as it was
        std::string log = "";  // a refusal's line: a refusal changes nothing else
        Level level = Level::Error;
    };
    const auto everything = joined({keptFiles(), unlisted, internal});
    const auto cleaned = joined({keptFiles(), internal});
    const std::string twenty = keptLines() + missing + "===TOTAL===\t20\n";
    const std::vector<Case> cases = {
        {"20 names and total 20 delete every unlisted file", twenty, LazyLoadMode::all, cleaned,
         std::vector<std::string>{"img/a.png", "index.html", "app.css", "main.js"}},
        {"nonhtml leaves pages, styles and scripts to the package", twenty, LazyLoadMode::nonhtml, cleaned,
         std::vector<std::string>{"img/a.png"}},
        {"none empties the list although files are missing", twenty, LazyLoadMode::none, cleaned,
         std::vector<std::string>{}},
        {"total 21 for 20 names is refused", keptLines() + missing + "===TOTAL===\t21\n", LazyLoadMode::all,
         everything, std::nullopt, "Mismatching file count in deleteObsoleteFiles call: 20 in list vs. 21 in count..."},
        {"15 consistent names are refused",
         keptLines().substr(keptLines().find('\n') + 1) + "===TOTAL===\t15\n", LazyLoadMode::all, everything,
         std::nullopt, "Unrealistic file count in deleteObsoleteFiles call: 15"},
        {"16 consistent names proceed", keptLines() + "===TOTAL===\t16", LazyLoadMode::all, cleaned,
         std::vector<std::string>{}},
        {"an empty manifest is refused", "", LazyLoadMode::all, everything, std::nullopt,
         "Unrealistic file count in deleteObsoleteFiles call: 0"},
        {"the checksum of the contents drops the line, so the total no longer matches",
         keptLines() + "stale.txt\tx\t" + md5("stale contents") + "\n===TOTAL===\t17\n", LazyLoadMode::all,
         everything, std::nullopt,
         "wrong md5 calculated checksum " + md5("stale.txt") + " of file stale.txt should be " + md5("stale contents") + " "},
        {"a total line of letters lists the marker", keptLines() + "===TOTAL===\tabc\n===TOTAL===\t17\n",
         LazyLoadMode::all, cleaned, std::vector<std::string>{"===TOTAL==="}},
        {"a name with a blank in place of %20 is unlisted and missing", keptLines() + "b c.png\tx\n===TOTAL===\t17",
         LazyLoadMode::all, cleaned, std::vector<std::string>{"b c.png"}},
        {"the encoded name keeps the file", keptLines() + "b%20c.png\tx\n===TOTAL===\t17", LazyLoadMode::all,
         joined({keptFiles(), internal, {"b%20c.png"}}), std::vector<std::string>{}},
        {"an unreadable manifest empties the list and deletes nothing", "\xe4\xf6\tx\n", LazyLoadMode::all,
         everything, std::vector<std::string>{}},
        {"without a manifest nothing changes", std::nullopt, LazyLoadMode::all, everything, std::nullopt,
         "No files.txt present in deleteObsoleteFiles call", Level::Debug},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.scenario);
        fs::remove_all(webRoot());
        for (const auto& file : everything)
            writeFile(webRoot() / (file == "b%20c.png" ? "b c.png" : file), file);
        fs::create_directories(webRoot() / "empty");
        if (c.manifest)
            writeFile(webRoot() / "files.txt", *c.manifest);
        sharedConfig().defaults.set("LazyLoadList", platform::PlistValue::stringArray(oldList));

        LogCapture log;
        deleteObsoleteFiles(c.mode);

        auto remaining = filesOnDisk();
        remaining.erase("files.txt");
        EXPECT_EQ(remaining, c.remaining);
        EXPECT_TRUE(fs::is_directory(webRoot() / "empty"));
        EXPECT_TRUE(fs::is_directory(webRoot() / "upload"));
        EXPECT_EQ(sharedConfig().defaults.stringArray("LazyLoadList"), c.lazyLoadList.value_or(oldList));
        // The log line is the behaviour here: nothing else is observable.
        EXPECT_TRUE(c.log.empty() || log.contains(c.level, c.log)) << c.log;
    }
}

TEST(DeleteObsoleteFiles, AnUnreadableManifestFolderEmptiesTheList)
{
    fs::create_directories(webRoot() / "files.txt");
    writeFile(webRoot() / "stale.txt", "x");
    sharedConfig().defaults.set("LazyLoadList", platform::PlistValue::stringArray(oldList));
    deleteObsoleteFiles(LazyLoadMode::all);
    EXPECT_TRUE(fs::exists(webRoot() / "stale.txt"));
    EXPECT_EQ(sharedConfig().defaults.stringArray("LazyLoadList"), std::vector<std::string>{});
}

// Links planted in the web root are removed themselves; what they point at outside stays.
TEST(DeleteObsoleteFiles, LinksLeadingOutsideAreRemovedNeverFollowed)
{
    for (const auto resolver : {platform::ContainedPath::Resolver::kernel, platform::ContainedPath::Resolver::walk}) {
        platform::ContainedPath::setResolverForTesting(resolver);
        const fs::path outside = testsupport::makeTemporaryFolder("outside");
        writeFile(outside / "secret.txt", "secret");
        writeFile(outside / "folder" / "inner.txt", "inner");
        fs::remove_all(webRoot());
        for (const auto& file : keptFiles())
            writeFile(webRoot() / file, "x");
        fs::create_symlink(outside / "secret.txt", webRoot() / "keep" / "secret-link");
        fs::create_directory_symlink(outside / "folder", webRoot() / "folder-link");
        fs::create_directory_symlink("../../..", webRoot() / "keep" / "up-link");
        writeFile(webRoot() / "files.txt", keptLines() + "===TOTAL===\t16\n");

        deleteObsoleteFiles(LazyLoadMode::all);

        EXPECT_FALSE(fs::exists(fs::symlink_status(webRoot() / "keep" / "secret-link")));
        EXPECT_FALSE(fs::exists(fs::symlink_status(webRoot() / "folder-link")));
        EXPECT_FALSE(fs::exists(fs::symlink_status(webRoot() / "keep" / "up-link")));
        EXPECT_EQ(testsupport::readFile(outside / "secret.txt"), "secret");
        EXPECT_EQ(testsupport::readFile(outside / "folder" / "inner.txt"), "inner");
        EXPECT_EQ(getFilesOfWebDir().size(), 16u);
    }
    platform::ContainedPath::setResolverForTesting(platform::ContainedPath::Resolver::kernel);
}

// A removal that failed used to be forgotten at the walk's next step: the walk went on and found
// every listed file. It ends there instead, so listed files it never reached count as missing.
TEST(DeleteObsoleteFiles, AFailedRemovalEndsTheWalk)
{
    fs::remove_all(webRoot());
    // Folders are entered in name order: the locked one comes before the listed files.
    writeFile(webRoot() / "a-locked" / "stale.txt", "x");
    for (const auto& file : keptFiles())
        writeFile(webRoot() / "b" / file, "x");
    std::string manifest;
    for (const auto& file : keptFiles())
        manifest += "b/" + file + "\tx\n";
    writeFile(webRoot() / "files.txt", manifest + "files.txt\tx\n===TOTAL===\t17\n");
    // Nobody but the owner may remove what the locked folder holds; root may, so the clean-up
    // runs in a child process as an unprivileged user who may enter the test's folders.
    fs::permissions(webRoot() / "a-locked", fs::perms::owner_all | fs::perms::others_read | fs::perms::others_exec);
    const fs::path top = platform::paths::home().parent_path();
    for (fs::path folder = webRoot(); folder != top.parent_path(); folder = folder.parent_path())
        fs::permissions(folder, fs::perms::others_read | fs::perms::others_exec, fs::perm_options::add);
    fs::permissions(webRoot() / "b", fs::perms::others_all, fs::perm_options::add);
    std::vector<std::string> expected;
    for (const auto& file : keptFiles())
        expected.push_back("b/" + file);

    EXPECT_EXIT(
        {
            if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0))
                std::_Exit(2);
            deleteObsoleteFiles(LazyLoadMode::all);
            std::_Exit(sharedConfig().defaults.stringArray("LazyLoadList") == expected ? 0 : 1);
        },
        testing::ExitedWithCode(0), "");
    EXPECT_TRUE(fs::exists(webRoot() / "a-locked" / "stale.txt"));
}
