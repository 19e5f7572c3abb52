// Installing update packages with real archives and real files: full and incremental packages,
// packages without "info.plist", packages that do not install (each leaving the web root and the
// settings as they were), the page refresh and packages whose entries try to leave the web root.

#include "base/Config.h"
#include "base/WebRootSwap.h"
#include "contentserver/ServerCom.h"
#include "portable/Bundle.h"
#include "portable/Dispatch.h"
#include "tests/support/FakeWebView.h"
#include "tests/support/NestedPlist.h"
#include "tests/support/ScopedFileSizeLimit.h"
#include "tests/support/TestCipher.h"
#include "tests/support/TestEnvironment.h"
#include "tests/support/ZipBuilder.h"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <map>
#include <regex>
#include <set>

namespace fs = std::filesystem;
using testsupport::readFile;
using testsupport::writeFile;
using testsupport::ZipBuilder;
using Tree = std::map<std::string, std::string>;
using namespace std::chrono_literals;

namespace {

const std::string infoPlist = R"(<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0"><dict><key>cli_release</key><string>2</string></dict></plist>)";

// Every regular file below `folder` with its content; "internal.js" is left out (its content
// follows the settings), links are "-> target".
Tree tree(const fs::path& folder)
{
    Tree files;
    if (!fs::exists(folder))
        return files;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        const std::string relative = fs::relative(entry.path(), folder).generic_string();
        if (entry.is_symlink())
            files[relative] = "-> " + fs::read_symlink(entry.path()).string();
        else if (entry.is_regular_file() && relative != "internal.js")
            files[relative] = readFile(entry.path());
    }
    return files;
}

struct RecordingScreen : WebScreen {
    int reloads = 0;
    std::shared_ptr<platform::WebView> pageWebView() const override { return nullptr; }
    std::shared_ptr<platform::View> screenView() const override { return nullptr; }
    void reloadWebView() override { ++reloads; }
};

class PackageInstallTest : public testing::Test {
protected:
    PackageInstallTest()
    {
        writeFile(webRoot / "index.html", "old index");
        writeFile(webRoot / "js/old.js", "old script");
        sharedServerCom().viewController = screen;
    }

    // Installs `file` as a finished download's package, and waits for what follows.
    static void install(ServerCom& serverCom, const fs::path& file, bool full)
    {
        ServerCom::DownloadContext context{full ? DownloadKind::full : DownloadKind::incremental, {}, {}, {}};
        serverCom.installPackage(file, full ? DownloadKind::full : DownloadKind::incremental, context);
        ASSERT_TRUE(platform::runMainLoopUntil([&] { return context.install->outcome.has_value(); }, 60s));
        platform::drainMainQueue();
    }
    // The package as "update.zip" in the temporary folder, installed.
    void install(const ZipBuilder& builder, bool full)
    {
        builder.write(archive);
        install(sharedServerCom(), archive, full);
    }
    // The scripts queued for the page, less the lazy loader's end signal: every install starts
    // lazy loading, which without a page and with nothing to fetch queues that signal.
    std::vector<std::string> queuedScripts()
    {
        platform::runMainQueueNow();
        auto items = sharedConfig().stackOfJScript.lock()->items;
        std::erase(items, std::string("if (window.hideAllLoading) { hideAllLoading(); }"));
        return items;
    }

    const fs::path webRoot = sharedConfig().WEBROOT;
    const std::string copy = sharedServerCom().TMPWWWROOT;
    const fs::path archive = sharedConfig().tmpDirURL / "update.zip";
    std::shared_ptr<RecordingScreen> screen = std::make_shared<RecordingScreen>();
};

} // namespace

TEST_F(PackageInstallTest, InstallsFullAndIncrementalPackages)
{
    const Tree old = {{"index.html", "old index"}, {"js/old.js", "old script"}};
    struct Case {
        const char* scenario;
        bool full;
        bool withInfoPlist;
        // A file an earlier failed full install left in the unpack folder.
        bool staleCopy;
        Tree expected;
        bool archiveKept;
        int reloads;
    };
    const Tree fullTree = {{"index.html", "new index"}, {"css/a.css", "a"}, {"info.plist", infoPlist}};
    Tree merged = old;
    merged.insert(fullTree.begin(), fullTree.end());
    merged["index.html"] = "new index";
    const std::vector<Case> cases = {
        {"a full package replaces the web root", true, true, false, fullTree, false, 0},
        // An earlier failed try's files used to be merged into the new web root.
        {"a full package goes into an emptied folder", true, true, true, fullTree, false, 0},
        {"a full package without info.plist leaves the web root", true, false, false, old, true, 1},
        {"an incremental package is merged", false, true, false, merged, true, 0},
        // It used to be unpacked over the live web root, and its files stayed there.
        {"an incremental package without info.plist leaves the web root", false, false, false, old, true, 1},
        {"an incremental package goes into a fresh copy", false, true, true, merged, true, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.scenario);
        fs::remove_all(webRoot);
        for (const auto& [name, content] : old)
            writeFile(webRoot / name, content);
        fs::remove_all(copy);
        if (c.staleCopy)
            writeFile(fs::path(copy) / "stale.html", "from an earlier try");
        sharedConfig().defaults.remove("cli_release");
        screen->reloads = 0;

        ZipBuilder builder;
        builder.file("index.html", "new index").file("css/a.css", "a");
        if (c.withInfoPlist)
            builder.file("info.plist", infoPlist);
        install(builder, c.full);

        EXPECT_EQ(tree(webRoot), c.expected);
        EXPECT_EQ(fs::exists(webRoot / "internal.js"), c.withInfoPlist);
        EXPECT_EQ(sharedConfig().defaults.string("cli_release"),
                  c.withInfoPlist ? std::optional<std::string>("2") : std::nullopt);
        EXPECT_FALSE(fs::exists(copy));
        EXPECT_FALSE(fs::exists(sharedConfig().WEBROOT + "-old"));
        EXPECT_EQ(fs::exists(archive), c.archiveKept);
        EXPECT_EQ(screen->reloads, c.reloads);
        EXPECT_TRUE(queuedScripts().empty());
    }
}

// The alert text used to be pasted into the script as it stands: a quote in it broke the script.
TEST_F(PackageInstallTest, PackageThatDoesNotUnpackQueuesAnEscapedAlertAndInstallsNothing)
{
    const fs::path bundle = testsupport::makeTemporaryFolder("bundle");
    fs::copy(WEBCONTAINER_TEST_BUNDLE_DIR, bundle, fs::copy_options::recursive);
    const fs::path strings = bundle / "en.lproj/Localizable.strings";
    writeFile(strings, std::regex_replace(readFile(strings), std::regex(R"("SERVERCOM_ERROR_WRONG_URL" = "[^"]*";)"),
                                          R"("SERVERCOM_ERROR_WRONG_URL" = "Don't\nretry";)"));
    platform::Bundle::setMainForTesting(bundle);
    const auto serverCom = std::make_shared<ServerCom>();
    ASSERT_EQ(serverCom->SERVERCOM_ERROR_WRONG_URL, "Don't\nretry");

    for (const bool full : {true, false}) {
        SCOPED_TRACE(full ? "full" : "incremental");
        sharedConfig().stackOfJScript.lock()->items.clear();
        writeFile(archive, "no archive at all");
        install(*serverCom, archive, full);

        EXPECT_EQ(queuedScripts(), std::vector<std::string>{"alert('Don\\'t\\nretry');"});
        EXPECT_EQ(tree(webRoot), (Tree{{"index.html", "old index"}, {"js/old.js", "old script"}}));
        EXPECT_FALSE(fs::exists(serverCom->TMPWWWROOT));
    }
}

TEST_F(PackageInstallTest, PageRefreshOnlyForATopLevelFileAfterAWakeUpCheckOrInSilentMode4)
{
    struct Case {
        const char* scenario;
        bool wakeup;
        int silentMode;
        std::string page;
        bool refreshed;
    };
    const std::vector<Case> cases = {
        {"wake-up check, page in the package", true, 0, "index.html", true},
        {"silent mode 4, page in the package", false, Config::UPDATE_SILENT_MODE_BACKGROUND, "index.html", true},
        {"neither", false, Config::UPDATE_SILENT_MODE_WAKEUP, "index.html", false},
        {"page in a folder of the package only", true, 0, "page.html", false},
        {"page not in the package", true, 0, "other.html", false},
        {"message thread", true, 0, "message-thread.html", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.scenario);
        auto view = std::make_shared<testsupport::FakeWebView>();
        view->setURL("file://" + (webRoot / c.page).string() + "?x=1");
        sharedServerCom().webView.set(view);
        sharedServerCom().isWakeupSync = c.wakeup;
        sharedConfig().updateSilentMode = c.silentMode;

        install(ZipBuilder()
                    .file("info.plist", infoPlist)
                    .file("index.html", "new")
                    .file("message-thread.html", "m")
                    .file("sub/page.html", "p"),
                false);

        const std::vector<std::string> refresh = {"if(window.refreshCurrentPage) { window.refreshCurrentPage() };"};
        EXPECT_EQ(view->scripts(), c.refreshed ? refresh : std::vector<std::string>{});
    }
}

// A package installed without a wake-up check used to be checked against the archive an earlier
// wake-up install had opened.
TEST_F(PackageInstallTest, EarlierPackageIsNeverConsultedForTheRefresh)
{
    auto view = std::make_shared<testsupport::FakeWebView>();
    view->setURL("file://" + (webRoot / "index.html").string());
    sharedServerCom().webView.set(view);
    const auto withIndex = ZipBuilder().file("info.plist", infoPlist).file("index.html", "new");

    sharedServerCom().isWakeupSync = true;
    install(withIndex, false);
    ASSERT_EQ(view->scripts().size(), 1u);
    sharedServerCom().isWakeupSync = false;
    install(withIndex, false);
    EXPECT_EQ(view->scripts().size(), 1u);
}

TEST_F(PackageInstallTest, HostilePackageWritesNothingOutsideTheWebRoot)
{
    const fs::path home = std::getenv("HOME");
    const fs::path settings = std::getenv("XDG_CONFIG_HOME");
    // Everything in the temporary home outside the web root and the settings (which an
    // installed package changes).
    auto outside = [&] {
        std::set<std::string> paths;
        for (const auto& entry : fs::recursive_directory_iterator(home)) {
            const std::string path = entry.path().string();
            if (!path.starts_with(webRoot.string() + "/") && !path.starts_with(settings.string()) &&
                path != archive.string())
                paths.insert(path);
        }
        return paths;
    };
    struct Case {
        const char* scenario;
        ZipBuilder package;
        // What lies in the web root afterwards, when the package is installed.
        std::set<std::string> installed;
    };
    const std::vector<Case> cases = {
        {"names that climb out",
         ZipBuilder()
             .file("info.plist", infoPlist)
             .file("../x", "x")
             .file("/abs", "abs")
             .file("a/../../b", "b")
             .file("../../../../../../tmp/webcontainer-escaped-entry", "e"),
         {"info.plist", "x", "abs", "b", "tmp/webcontainer-escaped-entry"}},
        {"a link that points out, and a file through it",
         ZipBuilder().file("info.plist", infoPlist).symlink("link", "../..").file("link/escaped", "e"),
         {}},
        {"an absolute link", ZipBuilder().file("info.plist", infoPlist).symlink("etc", "/etc").file("etc/escaped", "e"),
         {}},
    };
    for (const bool full : {true, false}) {
        for (const auto& c : cases) {
            SCOPED_TRACE(std::string(c.scenario) + (full ? ", full" : ", incremental"));
            fs::remove_all(webRoot);
            writeFile(webRoot / "index.html", "old index");
            const auto before = outside();

            install(c.package, full);

            EXPECT_EQ(outside(), before);
            EXPECT_FALSE(fs::exists("/tmp/webcontainer-escaped-entry"));
            std::set<std::string> inRoot;
            for (const auto& [name, content] : tree(webRoot))
                inRoot.insert(name);
            if (c.installed.empty()) {
                // Refused: the link ends the extraction, nothing is installed.
                EXPECT_EQ(queuedScripts().size(), 1u);
                sharedConfig().stackOfJScript.lock()->items.clear();
                if (full) {
                    EXPECT_EQ(inRoot, std::set<std::string>{"index.html"});
                }
            } else {
                std::set<std::string> expected = c.installed;
                if (!full)
                    expected.insert("index.html");
                EXPECT_EQ(inRoot, expected);
            }
        }
    }
}

// A package that fails anywhere on its way in used to leave the live web root changed (an
// incremental one was unpacked over it, and the writer cut the files it replaced) or its settings
// imported although its files were not live. Each leaves both exactly as they were now, removes
// its copy and shows the alert; nothing reloads.
TEST_F(PackageInstallTest, PackageThatFailsLeavesTheWebRootAndTheSettingsAsTheyWere)
{
    // A consistent manifest of 44 files that no longer lists js/old.js.
    auto package = [](const std::string& extra, const std::string& extraContent, bool stored) {
        ZipBuilder builder;
        builder.file("info.plist", infoPlist);
        std::string manifest = "index.html\tx\ninfo.plist\tx\nfiles.txt\tx\n" + extra + "\tx\n";
        builder.file("index.html", "new index");
        // Enough entries for the unpacking to hand its files to writers of their own.
        for (int i = 0; i < 40; ++i) {
            const std::string name = "js/f" + std::to_string(i) + ".js";
            builder.file(name, testsupport::pseudoRandomBytes(4000, i + 1));
            manifest += name + "\tx\n";
        }
        builder.file(extra, extraContent, stored);
        builder.file("files.txt", manifest + "===TOTAL===\t44\n");
        return builder;
    };
    const fs::path packageFile = sharedConfig().tmpDirURL / "download.zip";
    auto write = [&](const ZipBuilder& builder) { builder.write(packageFile); };
    auto invertMiddleByte = [&] {
        std::string bytes = readFile(packageFile);
        bytes[bytes.size() / 2] = static_cast<char>(~bytes[bytes.size() / 2]);
        writeFile(packageFile, bytes);
    };
    auto changeStoredEntry = [&] {
        std::string bytes = readFile(packageFile);
        bytes[bytes.find("STORED-CONTENT") + 3] = 'x';
        writeFile(packageFile, bytes);
    };
    struct Case {
        const char* scenario;
        std::function<void()> prepare;
        rlim_t fileSizeLimit = RLIM_INFINITY;
        bool swapFails = false;
    };
    const std::vector<Case> cases = {
        {"one byte inverted mid-archive",
         [&] { write(package("big.bin", testsupport::pseudoRandomBytes(200000, 9), false)); invertMiddleByte(); }},
        {"an entry fails its checksum",
         [&] { write(package("page.html", "STORED-CONTENT of a page", true)); changeStoredEntry(); }},
        {"the disk fills during the unpack", [&] { write(package("big.bin", std::string(1 << 20, 'z'), false)); },
         256 * 1024},
        {"an entry is a link pointing out",
         [&] { write(package("page.html", "p", false).symlink("link", "../../outside")); }},
        {"the swap fails", [&] { write(package("page.html", "p", false)); }, RLIM_INFINITY, true},
        // Nested deep enough to crash the property-list library, which frees its trees
        // recursively: every start crashed.
        {"info.plist nested too deep (XML)",
         [&] { write(ZipBuilder().file("index.html", "new index").file("info.plist", testsupport::nestedPlist(platform::PlistFormat::Xml, 250000))); }},
        {"info.plist nested too deep (binary)",
         [&] { write(ZipBuilder().file("index.html", "new index").file("info.plist", testsupport::nestedPlist(platform::PlistFormat::Binary, 100000))); }},
    };
    // Every file of the web root, "internal.js" too.
    auto everyFile = [&] {
        Tree files;
        for (const auto& entry : fs::recursive_directory_iterator(webRoot))
            files[fs::relative(entry.path(), webRoot).generic_string()] =
                entry.is_symlink() ? "-> " + fs::read_symlink(entry.path()).string()
                                   : entry.is_regular_file() ? readFile(entry.path()) : "<folder>";
        return files;
    };
    writeFile(webRoot / "internal.js", "INTERNAL_LANG = 'en';");
    for (const bool full : {false, true}) {
        for (const auto& c : cases) {
            SCOPED_TRACE(std::string(c.scenario) + (full ? ", full" : ", incremental"));
            sharedConfig().stackOfJScript.lock()->items.clear();
            screen->reloads = 0;
            c.prepare();
            const Tree before = everyFile();
            const auto settingsBefore = sharedConfig().defaults.dictionaryRepresentation();
            if (c.swapFails)
                WebRootSwap::failNextReplaceForTesting(std::make_error_code(std::errc::device_or_resource_busy));
            {
                testsupport::ScopedFileSizeLimit limit(c.fileSizeLimit);
                install(sharedServerCom(), packageFile, full);
            }

            EXPECT_EQ(everyFile(), before);
            EXPECT_EQ(sharedConfig().defaults.dictionaryRepresentation(), settingsBefore);
            EXPECT_FALSE(fs::exists(copy));
            EXPECT_EQ(queuedScripts(),
                      std::vector<std::string>{ServerCom::alertScript(sharedServerCom().SERVERCOM_ERROR_WRONG_URL)});
            EXPECT_EQ(screen->reloads, 0);
        }
    }
}
