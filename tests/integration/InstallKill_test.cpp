// Updates killed with SIGKILL at random moments of their installation: after the next start's
// launch step the web root is always the complete old one or the complete new one, for a full
// package and for an incremental one. The installation runs in a process of its own
// (install_tool); a last installation in a new process shows that the settings and folders the
// kills left still make a working start.

#include "app/AppDelegate.h"
#include "base/Config.h"
#include "tests/support/TestEnvironment.h"
#include "tests/support/TestCipher.h"
#include "tests/support/ZipBuilder.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <spawn.h>
#include <linux/magic.h>
#include <sys/statfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <map>
#include <random>
#include <thread>
#include <utility>

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

// A full package: index.html and `files` files of `size` bytes and then `growth` more each.
fs::path writePackage(const fs::path& path, const std::string& version, int files, std::size_t size = 2000,
                      std::size_t growth = 37)
{
    testsupport::ZipBuilder builder;
    builder.file("info.plist", R"(<?xml version="1.0" encoding="UTF-8"?><plist version="1.0"><dict>)"
                               "<key>cli_version</key><string>" + version + "</string></dict></plist>");
    builder.file("index.html", "<html>" + version + "</html>");
    for (int i = 0; i < files; ++i) {
        builder.file(version + "/f" + std::to_string(i) + ".js",
                     testsupport::pseudoRandomBytes(size + growth * static_cast<std::size_t>(i), i + 1));
    }
    builder.write(path);
    return path;
}

// An incremental package over a web root of writePackage(…, "v1", files): index.html and the
// first half of the v1 files change, as many new files come, and its manifest lists what stays,
// so that the clean-up deletes the second half of the v1 files.
fs::path writeIncrementalPackage(const fs::path& path, int files)
{
    testsupport::ZipBuilder builder;
    std::vector<std::string> names = {"info.plist", "index.html", "files.txt", "internal.js"};
    builder.file("info.plist", R"(<?xml version="1.0" encoding="UTF-8"?><plist version="1.0"><dict>)"
                               "<key>cli_version</key><string>v2</string></dict></plist>");
    builder.file("index.html", "<html>v2</html>");
    for (int i = 0; i < files / 2; ++i) {
        names.push_back("v1/f" + std::to_string(i) + ".js");
        builder.file(names.back(), testsupport::pseudoRandomBytes(300 + 7 * static_cast<std::size_t>(i), i + 5000));
        names.push_back("v2/g" + std::to_string(i) + ".js");
        builder.file(names.back(), testsupport::pseudoRandomBytes(300 + 5 * static_cast<std::size_t>(i), i + 9000));
    }
    std::string manifest;
    for (const auto& name : names)
        manifest += name + "\tx\n";
    builder.file("files.txt", manifest + "===TOTAL===\t" + std::to_string(names.size()) + "\n");
    builder.write(path);
    return path;
}

// Where the homes of the incremental trials lie: in memory (/dev/shm) where the machine has it,
// since creating thousands of files a trial on a busy disk's file system takes seconds each.
fs::path homesFolder()
{
    struct statfs shm {};
    if (::statfs("/dev/shm", &shm) == 0 && shm.f_type == TMPFS_MAGIC && ::access("/dev/shm", W_OK) == 0)
        return "/dev/shm";
    return fs::temp_directory_path();
}

// A home of its own for a child process: its XDG folders and temporary folder, and its web root.
// Removed with the object.
struct Home {
    explicit Home(const std::string& name)
    {
        root = homesFolder() / ("webcontainer-" + name + "-" + std::to_string(::getpid()));
        fs::remove_all(root);
        fs::create_directories(root);
        const fs::path ownData = std::getenv("XDG_DATA_HOME");
        webRoot = root / "data" / fs::relative(sharedConfig().WEBROOT, ownData);
        const std::map<std::string, fs::path> folders = {
            {"HOME", root / "home"},           {"XDG_DATA_HOME", root / "data"}, {"XDG_CONFIG_HOME", root / "config"},
            {"XDG_CACHE_HOME", root / "cache"}, {"TMPDIR", root / "tmp"}};
        for (const auto& [variable, folder] : folders) {
            fs::create_directories(folder);
            environment.push_back(variable + "=" + folder.string());
        }
        for (char** entry = environ; *entry; ++entry) {
            const std::string_view text = *entry;
            if (!folders.count(std::string(text.substr(0, text.find('=')))))
                environment.emplace_back(text);
        }
    }
    Home(Home&& other) noexcept : root(std::exchange(other.root, {})), webRoot(std::move(other.webRoot)),
                                  environment(std::move(other.environment)) {}
    Home(const Home&) = delete;
    ~Home()
    {
        std::error_code ignored;
        if (!root.empty())
            fs::remove_all(root, ignored);
    }
    fs::path root;
    fs::path webRoot;
    std::vector<std::string> environment;
};

// The install tool, started with its output on a pipe (and `home`'s environment, when given).
class Child {
public:
    explicit Child(const std::vector<std::string>& args, const Home* home = nullptr)
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
        std::vector<char*> envp;
        if (home) {
            for (const auto& entry : home->environment)
                envp.push_back(const_cast<char*>(entry.c_str()));
            envp.push_back(nullptr);
        }
        const int spawned = posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), home ? envp.data() : environ);
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

// The incremental install: 2,000 files changed, added and deleted over a web root of 2,000
// (files of a few kilobytes, 7 MB in all, to keep a hundred trials short). The trials run in four
// homes side by side, each with the same packages; the next start's launch step runs in a process
// of its own.
TEST(InstallKill, IncrementalWebRootIsTheWholeOldOrTheWholeNewOneAfterAKillAtAnyMoment)
{
    constexpr int kHomes = 4;
    const std::string tool = testsupport::toolPath("install_tool").string();
    const std::string bundle = WEBCONTAINER_TEST_BUNDLE_DIR;
    const Home packagesHome("kill-packages");
    const fs::path packages = packagesHome.root;
    const std::string oldPackage = writePackage(packages / "old.zip", "v1", 2000, 300, 3).string();
    const std::string newPackage = writeIncrementalPackage(packages / "new.zip", 2000).string();

    auto run = [&](const Home& home, std::vector<std::string> args) {
        args.insert(args.begin(), {tool, bundle});
        Child child(args, &home);
        return child.wait();
    };
    auto restore = [](const Home& home, const fs::path& oldCopy) {
        for (const auto& suffix : {"", "-old", "-1"})
            fs::remove_all(home.webRoot.string() + suffix);
        // Linked: an install never writes a file of the web root it replaces, and the trees to
        // compare with are held apart.
        fs::copy(oldCopy, home.webRoot, fs::copy_options::recursive | fs::copy_options::create_hard_links);
    };
    std::vector<Home> homes;
    std::vector<fs::path> oldCopies;
    for (int i = 0; i < kHomes; ++i) {
        homes.emplace_back("kill-home-" + std::to_string(i));
        ASSERT_EQ(run(homes.back(), {"install", oldPackage}), 0);
        oldCopies.push_back(packages / ("www-v1-" + std::to_string(i)));
        fs::copy(homes.back().webRoot, oldCopies.back(), fs::copy_options::recursive);
    }
    const Tree oldTree = tree(homes[0].webRoot);
    ASSERT_EQ(oldTree.size(), 2003u);
    const auto started = Clock::now();
    ASSERT_EQ(run(homes[0], {"install", newPackage, "incremental"}), 0);
    const auto installTime = Clock::now() - started;
    const Tree newTree = tree(homes[0].webRoot);
    ASSERT_EQ(newTree.at("index.html"), "<html>v2</html>");
    ASSERT_EQ(newTree.size(), 2004u);

    const auto seed = static_cast<unsigned>(std::random_device()());
    SCOPED_TRACE("seed " + std::to_string(seed));
    struct Trial {
        bool isOld = false;
        bool isNew = false;
        bool leftovers = false;
        int startStatus = -1;
        std::size_t files = 0;
    };
    std::vector<std::vector<Trial>> results(kHomes);
    std::vector<std::thread> workers;
    for (int h = 0; h < kHomes; ++h) {
        workers.emplace_back([&, h] {
            const Home& home = homes[h];
            std::mt19937 random(seed + static_cast<unsigned>(h));
            // As for the full install: the window follows the machine's load.
            long window = std::chrono::duration_cast<std::chrono::microseconds>(installTime).count() * 11 / 10;
            int oldInARow = 0;
            int newInARow = 0;
            for (int trial = 0; trial < kTrials / kHomes; ++trial) {
                restore(home, oldCopies[h]);
                {
                    Child child({tool, bundle, "install", newPackage, "incremental"}, &home);
                    if (!child.waitForOutput("installing\n"))
                        break;
                    std::this_thread::sleep_for(
                        std::chrono::microseconds(std::uniform_int_distribution<long>(0, window)(random)));
                    child.kill();
                }
                Trial result;
                result.startStatus = run(home, {"start"});
                const Tree after = tree(home.webRoot);
                result.files = after.size();
                result.isOld = after == oldTree;
                result.isNew = after == newTree;
                result.leftovers =
                    fs::exists(home.webRoot.string() + "-old") || fs::exists(home.webRoot.string() + "-1");
                oldInARow = result.isOld ? oldInARow + 1 : 0;
                newInARow = result.isNew ? newInARow + 1 : 0;
                if (oldInARow == 10 || newInARow == 10) {
                    window = result.isOld ? window * 2 : window / 2;
                    oldInARow = newInARow = 0;
                }
                results[h].push_back(result);
            }
        });
    }
    for (auto& worker : workers)
        worker.join();

    int oldSeen = 0;
    int newSeen = 0;
    for (int h = 0; h < kHomes; ++h) {
        ASSERT_EQ(results[h].size(), static_cast<std::size_t>(kTrials / kHomes));
        for (std::size_t t = 0; t < results[h].size(); ++t) {
            const Trial& trial = results[h][t];
            SCOPED_TRACE("home " + std::to_string(h) + ", trial " + std::to_string(t));
            EXPECT_TRUE(trial.isOld || trial.isNew) << trial.files << " files";
            EXPECT_FALSE(trial.leftovers);
            EXPECT_EQ(trial.startStatus, 0);
            oldSeen += trial.isOld;
            newSeen += trial.isNew;
        }
    }
    EXPECT_GT(oldSeen, 0);
    EXPECT_GT(newSeen, 0);
    RecordProperty("old", oldSeen);
    RecordProperty("new", newSeen);
    std::printf("incremental kills: %d left the old web root, %d the new one\n", oldSeen, newSeen);

    // An update after all that still installs.
    restore(homes[1], oldCopies[1]);
    ASSERT_EQ(run(homes[1], {"install", newPackage, "incremental"}), 0);
    EXPECT_EQ(tree(homes[1].webRoot), newTree);
}
