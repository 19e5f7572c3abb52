// The contained-path rule on a real folder, with both resolvers: the kernel's openat2 and the
// component walk used where the kernel lacks it.

#include "portable/ContainedPath.h"
#include "tests/support/ScopedFileSizeLimit.h"
#include "tests/support/TestEnvironment.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;
using platform::ContainedPath;
using testsupport::readFile;
using testsupport::writeFile;

namespace {

class ContainedPathTest : public testing::TestWithParam<ContainedPath::Resolver> {
protected:
    void SetUp() override
    {
        ContainedPath::setResolverForTesting(GetParam());
        const fs::path base = testsupport::makeTemporaryFolder("contained");
        folder = base / "folder";
        outside = base / "outside";
        writeFile(outside / "secret.txt", "secret");
        writeFile(folder / "inside.txt", "inside");
        writeFile(folder / "sub" / "deep.txt", "deep");
        fs::create_symlink("inside.txt", folder / "inlink");
        fs::create_symlink("../inside.txt", folder / "sub" / "up");
        fs::create_directory_symlink("sub/..", folder / "self");
        fs::create_symlink("../outside/secret.txt", folder / "outrel");
        fs::create_symlink(outside / "secret.txt", folder / "outabs");
        fs::create_directory_symlink(outside, folder / "outdir");
        fs::create_symlink("loop", folder / "loop");
    }
    void TearDown() override { ContainedPath::setResolverForTesting(ContainedPath::Resolver::kernel); }

    ContainedPath at(const std::string& name) const { return *ContainedPath::make(folder, name); }

    std::string read(const std::string& name) const
    {
        std::error_code error;
        const auto bytes = at(name).readFile(error);
        return bytes ? *bytes : error == std::errc::cross_device_link ? "<outside>" : error.message();
    }

    fs::path folder;
    fs::path outside;
};

} // namespace

TEST_P(ContainedPathTest, NamesAreCleanedOrRefusedByTheirText)
{
    const std::vector<std::pair<std::string, std::string>> kept = {
        {"a.txt", "a.txt"}, {"a//./b", "a/b"}, {"dir/", "dir"}, {"a\\..\\b", "a\\..\\b"}, {"..a/b..", "..a/b.."}};
    for (const auto& [name, relative] : kept) {
        const auto path = ContainedPath::make(folder, name);
        ASSERT_TRUE(path) << name;
        EXPECT_EQ(path->relative(), relative);
    }
    EXPECT_EQ(at("dir/").path(), folder / "dir/");
    for (const std::string& name : std::vector<std::string>{"", ".", "./", "..", "../x", "a/../b", "a/..", "/abs", std::string("a\0b", 3)})
        EXPECT_FALSE(ContainedPath::make(folder, name)) << name;
}

TEST_P(ContainedPathTest, LinksAreFollowedOnlyWhileTheyStayBeneathTheFolder)
{
    const std::vector<std::pair<std::string, std::string>> reads = {
        {"inlink", "inside"},   {"sub/up", "inside"},           {"self/inside.txt", "inside"},
        {"outrel", "<outside>"}, {"outabs", "<outside>"},        {"outdir/secret.txt", "<outside>"},
        {"loop", std::make_error_code(std::errc::too_many_symbolic_link_levels).message()},
        {"sub/deep.txt/", std::make_error_code(std::errc::not_a_directory).message()},
        {std::string(300, 'n'), std::make_error_code(std::errc::filename_too_long).message()},
    };
    for (const auto& [name, expected] : reads)
        EXPECT_EQ(read(name), expected) << name;
    EXPECT_TRUE(ContainedPath::leadsOutside(at("outdir/new").createDirectories()));
    EXPECT_FALSE(at("outdir").exists());
    EXPECT_TRUE(at("self").isDirectory());
}

TEST_P(ContainedPathTest, WritesMovesAndDeletesActOnTheLinkNeverItsTarget)
{
    fs::create_hard_link(outside / "secret.txt", folder / "hard");
    EXPECT_FALSE(at("outabs").writeFile("new"));
    EXPECT_FALSE(at("hard").writeFile("new"));
    EXPECT_FALSE(at("outrel").moveTo(at("sub/moved")));
    EXPECT_TRUE(fs::is_symlink(folder / "sub" / "moved"));
    EXPECT_FALSE(at("outdir").remove());
    fs::create_directory_symlink(outside, folder / "sub" / "nested");
    EXPECT_FALSE(at("sub").remove());

    EXPECT_EQ(readFile(outside / "secret.txt"), "secret");
    EXPECT_EQ(readFile(folder / "outabs"), "new");
    EXPECT_EQ(readFile(folder / "hard"), "new");
    EXPECT_FALSE(fs::exists(fs::symlink_status(folder / "outdir")));
    EXPECT_FALSE(fs::exists(folder / "sub"));
    // A folder in the way of a new file stays.
    fs::create_directories(folder / "taken");
    std::error_code error;
    EXPECT_FALSE(at("taken").createFile(error));
    EXPECT_EQ(error, std::errc::is_a_directory);
}

TEST_P(ContainedPathTest, NewLinksMustLeadBeneathTheFolder)
{
    EXPECT_FALSE(at("sub/link").createSymbolicLink("deep.txt"));
    EXPECT_EQ(read("sub/link"), "deep");
    EXPECT_FALSE(at("sub/top").createSymbolicLink("../inside.txt"));
    for (const std::string& target : std::vector<std::string>{"../../outside/secret.txt", (outside / "secret.txt").string(), "", "x/../../.."})
        EXPECT_TRUE(ContainedPath::leadsOutside(at("sub/bad").createSymbolicLink(target))) << target;
    // Its text stays inside, but "self/.." is the folder's parent.
    EXPECT_TRUE(ContainedPath::leadsOutside(at("escape").createSymbolicLink("self/../outside")));
    EXPECT_FALSE(fs::exists(fs::symlink_status(folder / "sub" / "bad")));
    EXPECT_FALSE(fs::exists(fs::symlink_status(folder / "escape")));
}

TEST_P(ContainedPathTest, FilesFromOutsideAreMovedIntoPlace)
{
    const fs::path delivered = testsupport::makeTemporaryFolder("delivered") / "file";
    writeFile(delivered, "delivered");
    EXPECT_FALSE(at("outabs").moveFrom(delivered));
    EXPECT_EQ(readFile(folder / "outabs"), "delivered");
    EXPECT_FALSE(fs::exists(delivered));
    EXPECT_EQ(readFile(outside / "secret.txt"), "secret");
}

// The picker's copy: the user's file stays, a file of many blocks arrives whole, a link in the
// way is replaced rather than written through, and a source that is no regular file (a FIFO would
// block forever) or is missing leaves nothing behind.
TEST_P(ContainedPathTest, CopiesStreamFromOutsideAndLeaveTheSource)
{
    const fs::path from = testsupport::makeTemporaryFolder("picked");
    std::string big(3 * 64 * 1024 + 17, '\0');
    for (std::size_t i = 0; i < big.size(); ++i)
        big[i] = static_cast<char>(i * 7 % 251);
    writeFile(from / "big.bin", big);
    ASSERT_EQ(::mkfifo((from / "fifo").c_str(), 0600), 0);
    const struct {
        const char* source;
        const char* target;
        std::errc error;
    } cases[] = {
        {"big.bin", "copy.bin", std::errc{}},
        {"big.bin", "outabs", std::errc{}},
        {"fifo", "fifo", std::errc::invalid_argument},
        {"missing", "missing", std::errc::no_such_file_or_directory},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.source);
        EXPECT_EQ(at(test.target).copyFrom(from / test.source).value(), static_cast<int>(test.error));
        if (test.error == std::errc{}) {
            EXPECT_EQ(readFile(folder / test.target), big);
        } else {
            EXPECT_FALSE(fs::exists(fs::symlink_status(folder / test.target)));
        }
    }
    // A copy the disk refuses halfway leaves the file it was to replace whole, and nothing beside it.
    {
        testsupport::ScopedFileSizeLimit limit(64 * 1024);
        EXPECT_EQ(at("inside.txt").copyFrom(from / "big.bin").value(), EFBIG);
    }
    EXPECT_EQ(readFile(folder / "inside.txt"), "inside");
    for (const auto& entry : fs::directory_iterator(folder))
        EXPECT_FALSE(entry.path().filename().string().starts_with(".~")) << entry.path();
    EXPECT_EQ(readFile(from / "big.bin"), big);
    EXPECT_FALSE(fs::is_symlink(folder / "outabs"));
    EXPECT_EQ(readFile(outside / "secret.txt"), "secret");
}

// A move from another file system (shared memory here) falls back to a copy and then removes
// the source: a file is streamed, a folder is copied whole (its links as links) under a hidden
// name and renamed into place, so a copy that fails leaves the source whole and nothing in place.
TEST_P(ContainedPathTest, MovesAcrossFileSystemsCopyThenRemove)
{
    struct stat shm {};
    struct stat here {};
    if (::stat("/dev/shm", &shm) != 0 || ::stat(folder.c_str(), &here) != 0 || shm.st_dev == here.st_dev)
        GTEST_SKIP() << "no second file system at /dev/shm";
    const fs::path source = fs::path("/dev/shm") / ("contained-" + std::to_string(::getpid()));
    fs::remove_all(source);
    writeFile(source, std::string(100000, 'x'));
    EXPECT_FALSE(at("moved").moveFrom(source));
    EXPECT_EQ(readFile(folder / "moved"), std::string(100000, 'x'));
    EXPECT_FALSE(fs::exists(source));

    writeFile(source / "storage" / "local.sqlite", "stored");
    fs::create_symlink("storage/local.sqlite", source / "link");
    fs::permissions(source / "storage", fs::perms::owner_all);
    EXPECT_FALSE(at("sub/data").moveFrom(source));
    EXPECT_EQ(readFile(folder / "sub" / "data" / "storage" / "local.sqlite"), "stored");
    EXPECT_EQ(fs::read_symlink(folder / "sub" / "data" / "link"), "storage/local.sqlite");
    EXPECT_EQ(fs::status(folder / "sub" / "data" / "storage").permissions(), fs::perms::owner_all);
    EXPECT_FALSE(fs::exists(source));

    writeFile(source / "storage" / "local.sqlite", "stored");
    ASSERT_EQ(::mkfifo((source / "storage" / "fifo").c_str(), 0600), 0);
    EXPECT_EQ(at("sub/other").moveFrom(source), std::errc::invalid_argument);
    EXPECT_EQ(readFile(source / "storage" / "local.sqlite"), "stored");
    for (const auto& entry : fs::directory_iterator(folder / "sub"))
        EXPECT_TRUE(entry.path().filename() != "other" && !entry.path().filename().string().starts_with(".~"))
            << entry.path();
    fs::remove_all(source);
}

INSTANTIATE_TEST_SUITE_P(Resolvers, ContainedPathTest,
                         testing::Values(ContainedPath::Resolver::kernel, ContainedPath::Resolver::walk),
                         [](const auto& info) { return info.param == ContainedPath::Resolver::kernel ? "kernel" : "walk"; });
