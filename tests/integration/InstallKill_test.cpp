// A full update killed with SIGKILL at random moments of its installation: after the next
// start's launch step the web root is always the complete old one or the complete new one. The
// installation runs in a process of its own (install_tool); the launch step runs here, and a
// last installation in a new process shows that the settings and folders the kills left still
// make a working start.

#include "app/AppDelegate.h"
#include "base/Config.h"
#include "tests/support/TestEnvironment.h"
#include "tests/support/TestCipher.h"
#include "tests/support/ZipBuilder.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <map>
#include <random>
#include <thread>

extern char** environ;

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using Tree = std::map<std::string, std::string>;

namespace {

constexpr int kTrials = 100;

// Every regular file below `folder` with its content.
Tree tree(const fs::path& folder)
{
    Tree files;
    if (!fs::exists(folder))
        return files;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        if (entry.is_regular_file())
            files[fs::relative(entry.path(), folder).generic_string()] = testsupport::readFile(entry.path());
    }
    return files;
}

fs::path writePackage(const fs::path& path, const std::string& version, int files)
{
    testsupport::ZipBuilder builder;
    builder.file("info.plist", R"(<?xml version="1.0" encoding="UTF-8"?><plist version="1.0"><dict>)"
                               "<key>cli_version</key><string>" + version + "</string></dict></plist>");
    builder.file("index.html", "<html>" + version + "</html>");
    for (int i = 0; i < files; ++i) {
        builder.file(version + "/f" + std::to_string(i) + ".js",
                     testsupport::pseudoRandomBytes(2000 + 37 * static_cast<std::size_t>(i), i + 1));
    }
    builder.write(path);
    return path;
}

// The install tool, started with its output on a pipe.
class Child {
public:
    explicit Child(const std::vector<std::string>& args)
    {
        int fds[2];
        if (::pipe(fds) != 0)
            throw std::runtime_error("pipe");
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&actions, fds[0]);
        std::vector<char*> argv;
        for (const auto& arg : args)
            argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        const int spawned = posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        ::close(fds[1]);
        out_ = fds[0];
        if (spawned != 0)
            throw std::runtime_error("spawn");
    }
    ~Child()
    {
        if (pid_ > 0)
            wait();
        ::close(out_);
    }

    // Waits until the child has printed `marker` (or ended); false when it ended first.
    bool waitForOutput(const std::string& marker)
    {
        std::string seen;
        char c;
        while (seen.find(marker) == std::string::npos) {
            if (::read(out_, &c, 1) != 1)
                return false;
            seen += c;
        }
        return true;
    }
    void kill() { ::kill(pid_, SIGKILL); }
    // The wait status.
    int wait()
    {
        int status = 0;
        ::waitpid(pid_, &status, 0);
        pid_ = -1;
        return status;
    }

private:
    pid_t pid_ = -1;
    int out_ = -1;
};

} // namespace

TEST(InstallKill, WebRootIsTheWholeOldOrTheWholeNewOneAfterAKillAtAnyMoment)
{
    const std::string tool = testsupport::toolPath("install_tool").string();
    const std::string bundle = WEBCONTAINER_TEST_BUNDLE_DIR;
    const fs::path packages = testsupport::makeTemporaryFolder("packages");
    const std::string oldPackage = writePackage(packages / "old.zip", "v1", 60).string();
    const std::string newPackage = writePackage(packages / "new.zip", "v2", 120).string();
    const fs::path webRoot = sharedConfig().WEBROOT;
    const fs::path oldCopy = packages / "www-v1";

    auto install = [&](const std::string& package) {
        Child child({tool, bundle, "install", package});
        EXPECT_TRUE(child.waitForOutput("installing\n"));
        const auto started = Clock::now();
        EXPECT_EQ(child.wait(), 0);
        return Clock::now() - started;
    };

    install(oldPackage);
    const Tree oldTree = tree(webRoot);
    ASSERT_EQ(oldTree.at("index.html"), "<html>v1</html>");
    fs::copy(webRoot, oldCopy, fs::copy_options::recursive);
    const auto installTime = install(newPackage);
    const Tree newTree = tree(webRoot);
    ASSERT_EQ(newTree.at("index.html"), "<html>v2</html>");

    const auto seed = static_cast<unsigned>(std::random_device()());
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 random(seed);
    // Kills fall anywhere from the start of the installation to a little after its end. The
    // window follows the machine's load: when ten trials in a row all end on the same side of
    // the swap, it grows or shrinks.
    long window = std::chrono::duration_cast<std::chrono::microseconds>(installTime).count() * 11 / 10;
    int oldInARow = 0;
    int newInARow = 0;
    int oldSeen = 0;
    int newSeen = 0;
    for (int trial = 0; trial < kTrials; ++trial) {
        SCOPED_TRACE("trial " + std::to_string(trial));
        for (const auto& folder : {webRoot, fs::path(webRoot.string() + "-old"), fs::path(webRoot.string() + "-1")})
            fs::remove_all(folder);
        fs::copy(oldCopy, webRoot, fs::copy_options::recursive);

        {
            Child child({tool, bundle, "install", newPackage});
            ASSERT_TRUE(child.waitForOutput("installing\n"));
            std::this_thread::sleep_for(std::chrono::microseconds(std::uniform_int_distribution<long>(0, window)(random)));
            child.kill();
        }
        // The next start's launch step.
        AppDelegate().copyFile();

        const Tree after = tree(webRoot);
        const bool isOld = after == oldTree;
        const bool isNew = after == newTree;
        ASSERT_TRUE(isOld || isNew) << after.size() << " files, index "
                                    << (after.count("index.html") ? after.at("index.html") : "missing");
        oldSeen += isOld;
        newSeen += isNew;
        oldInARow = isOld ? oldInARow + 1 : 0;
        newInARow = isNew ? newInARow + 1 : 0;
        if (oldInARow == 10 || newInARow == 10) {
            window = isOld ? window * 2 : window / 2;
            oldInARow = newInARow = 0;
        }
        EXPECT_FALSE(fs::exists(webRoot.string() + "-old"));
        EXPECT_FALSE(fs::exists(webRoot.string() + "-1"));
    }
    // The kills fell before and after the swap.
    EXPECT_GT(oldSeen, 0);
    EXPECT_GT(newSeen, 0);
    RecordProperty("old", oldSeen);
    RecordProperty("new", newSeen);

    // An update after all that still installs.
    install(newPackage);
    EXPECT_EQ(tree(webRoot), newTree);
}
