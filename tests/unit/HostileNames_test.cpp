// Every entry point that acts on a name from the page, the content server, a download or an
// archive, tried with hostile names and with symbolic links planted in its folder: nothing
// outside the folder is read, written, moved or deleted, and nothing crashes. Runs with both
// resolvers.

#include "base/Config.h"
#include "base/FileHelpers.h"
#include "contentserver/ServerCom.h"
#include "portable/ContainedPath.h"
#include "portable/PercentEncoding.h"
#include "portable/ZipArchive.h"
#include "tests/support/FakeBridgeScreen.h"
#include "tests/support/TestEnvironment.h"
#include "tests/support/ZipBuilder.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>

namespace fs = std::filesystem;
using platform::ContainedPath;
using testsupport::readFile;
using testsupport::writeFile;

namespace {

const std::string kSecret = "SECRET";

// Every byte but letters and digits percent-encoded, as the page would send a name.
std::string encoded(const std::string& name)
{
    return platform::percentEncoded(name, {});
}

// What lies at and below `root`: each path with its file content or link target.
std::map<std::string, std::string> snapshot(const fs::path& root)
{
    std::map<std::string, std::string> items;
    for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator(); ++it) {
        const auto status = it->symlink_status();
        items[it->path().string()] = fs::is_symlink(status)      ? "-> " + fs::read_symlink(it->path()).string()
                                     : fs::is_regular_file(status) ? readFile(it->path())
                                                                   : "<folder>";
    }
    return items;
}

class HostileNames : public testing::TestWithParam<ContainedPath::Resolver> {
protected:
    void SetUp() override
    {
        ContainedPath::setResolverForTesting(GetParam());
        auto& defaults = sharedConfig().defaults;
        defaults.set("serverprotocol", "http://");
        defaults.set("servername", "127.0.0.1:9");
        defaults.set("serverpath", "/");
        defaults.set("serverfile", "server.php");
        for (const char* key : {"app", "date", "full"})
            defaults.set(key, "x");
        outside = sharedConfig().BASEURL / "outside";
        writeFile(outside / "secret.txt", kSecret);
        writeFile(outside / "sub" / "kept.txt", kSecret);
    }
    void TearDown() override { ContainedPath::setResolverForTesting(ContainedPath::Resolver::kernel); }

    // Each folder that takes names gets a fresh set of planted links.
    void plant()
    {
        for (const fs::path& folder : {webRoot(), sync(), upload()}) {
            fs::remove_all(folder);
            writeFile(folder / "inside.txt", "inside");
            fs::create_symlink(outside / "secret.txt", folder / "outfile");
            fs::create_directory_symlink(outside, folder / "outdir");
            fs::create_directory_symlink(fs::relative(outside, folder), folder / "reldir");
            fs::create_symlink("inside.txt", folder / "inlink");
            fs::create_symlink("loop", folder / "loop");
        }
    }

    std::vector<std::string> run(const std::string& command) { return testsupport::runCommand(screen, command); }

    // Hands the download session's finished file of task `identifier` to the server client.
    static std::string deliver(const std::string& identifier, std::optional<std::string> lazyListEntry)
    {
        const fs::path file = sharedConfig().tmpDirURL / "delivered";
        writeFile(file, "PAYLOAD");
        platform::HttpUrlResponse response;
        response.statusCode = 200;
        const auto kind = identifier.starts_with("lazy") ? DownloadKind::lazy : DownloadKind::sync;
        ServerCom::DownloadContext context{kind, std::move(lazyListEntry), std::nullopt, nullptr};
        sharedServerCom().didFinishDownloadingTo(identifier, response, file, context);
        return std::string();
    }

    static fs::path webRoot() { return sharedConfig().WEBROOT; }
    static fs::path sync() { return sharedConfig().SYNCURL; }
    static fs::path upload() { return sharedConfig().UPLOADURL; }

    fs::path outside;
    testsupport::FakeBridgeScreen screen;
};

std::string joined(const std::vector<std::string>& scripts)
{
    std::string text;
    for (const auto& script : scripts)
        text += script + "\n";
    return text;
}

} // namespace

TEST_P(HostileNames, NoEntryPointReachesOutsideItsFolder)
{
    const std::vector<std::string> names = {
        "../outside/secret.txt", (outside / "secret.txt").string(), "a/../../outside/secret.txt", "", ".", "..",
        "a/./b", "trailing/", std::string("nul\0x", 5), "back\\slash", "..\\..\\outside\\secret.txt",
        std::string(300, 'n'), [] { std::string deep; for (int i = 0; i < 20; ++i) deep += std::string(250, 'd') + "/"; return deep + "f"; }(),
        "outfile", "outdir", "outdir/", "outdir/secret.txt", "outdir/sub/kept.txt", "reldir/secret.txt", "loop",
        "loop/x", "inlink"};

    // Each entry point acts on one name and returns what its caller got back.
    const std::vector<std::pair<std::string, std::function<std::string(const std::string&)>>> entryPoints = {
        {"createFullURL", [](const std::string& name) {
             std::string got;
             for (const auto& file : {createFullURL(name), createFullURL("sync/" + name)}) {
                 std::error_code error;
                 got += file ? file->readFile(error).value_or("") : "";
             }
             return got;
         }},
        {"saveCreateDir", [](const std::string& name) {
             if (const auto folder = createFullURL("sync/" + name))
                 saveCreateDir(*folder);
             return std::string();
         }},
        {"fileExists", [&](const std::string& name) { return joined(run("fileExists?callback=f&url=" + encoded(name))); }},
        {"deleteSyncFile", [&](const std::string& name) {
             return joined(run("deleteSyncFile?callback=f&filename=" + encoded(name)));
         }},
        {"getHTML", [&](const std::string& name) { return joined(run("getHTML?callback=f&page=" + encoded(name))); }},
        {"moveFile from", [&](const std::string& name) {
             return joined(run("moveFile?callback=f&fromPath=&fromFileName=" + encoded(name) + "&toPath=&toFileName=got"));
         }},
        {"moveFile to", [&](const std::string& name) {
             writeFile(webRoot() / "payload", "PAYLOAD");
             return joined(run("moveFile?callback=f&fromPath=&fromFileName=payload&toPath=&toFileName=" + encoded(name)));
         }},
        {"moveFile folder", [&](const std::string& name) {
             writeFile(webRoot() / "payload", "PAYLOAD");
             return joined(run("moveFile?callback=f&fromPath=&fromFileName=payload&toPath=" + encoded(name) +
                               "&toFileName=secret.txt"));
         }},
        {"upload name", [](const std::string& name) {
             auto created = sharedServerCom().createRequest("", "", name, "", "");
             return created.request ? created.request->httpBody.value_or("") : created.errorDescription;
         }},
        {"ZIP entry", [&](const std::string& name) {
             const fs::path archive = testsupport::makeTemporaryFolder("hostile") / "a.zip";
             testsupport::ZipBuilder().file(name, "PAYLOAD").write(archive);
             platform::ZipArchive::unzipFileAtPath(archive, webRoot());
             return std::string();
         }},
        // A finished download put in place under the name of a sync's store key or of a lazy
        // list entry (percent-encoded, as the manifest writes it).
        {"sync download", [&](const std::string& name) { return deliver("sync-?file=" + encoded(name), std::nullopt); }},
        {"lazy download", [&](const std::string& name) { return deliver("lazy-x", encoded(name)); }},
        {"received name", [&](const std::string& name) {
             platform::HttpUrlResponse response;
             response.headerFields.set("Content-Type", "text/plain");
             response.headerFields.set("Content-Disposition", "attachment; filename=" + name);
             sharedServerCom().parseHeader(response, "PAYLOAD");
             return std::string();
         }},
    };

    for (const auto& [entryPoint, act] : entryPoints) {
        plant();
        const auto before = snapshot(outside);
        for (const auto& name : names) {
            SCOPED_TRACE(entryPoint + " with \"" + name.substr(0, 40) + "\"");
            const std::string got = act(name);
            EXPECT_EQ(got.find(kSecret), std::string::npos) << got;
            ASSERT_EQ(snapshot(outside), before);
            EXPECT_FALSE(fs::exists(sharedConfig().BASEURL / "got"));
        }
    }
    // Clearing the sync folder removes the planted links, not what they point to.
    plant();
    const auto before = snapshot(outside);
    run("deleteSyncFolder?callback=f");
    EXPECT_EQ(snapshot(outside), before);
}

// Links that stay inside the folder keep working.
TEST_P(HostileNames, LinksInsideTheFolderAreFollowed)
{
    plant();
    EXPECT_EQ(run("getHTML?callback=f&page=inlink"), std::vector{testsupport::callbackScript("f", R"({"value":"inside"})")});
    EXPECT_EQ(run("fileExists?callback=f&url=inlink"), std::vector{testsupport::callbackScript("f", R"({"fileExists":"Y"})")});
    EXPECT_EQ(run("fileExists?callback=f&url=outfile"), std::vector{testsupport::callbackScript("f", R"({"fileExists":"N"})")});
}

// The planted links a hostile probe used.
TEST_P(HostileNames, PlantedLinksLeadNowhereOutside)
{
    plant();
    // getHTML of a planted link answered the text of a file outside the web root.
    EXPECT_TRUE(run("getHTML?callback=f&page=outfile").empty());
    // moveFile through a planted folder link overwrote a file outside, then moved it away.
    writeFile(webRoot() / "a.txt", "A");
    run("moveFile?callback=f&fromPath=&fromFileName=a.txt&toPath=outdir&toFileName=secret.txt");
    run("moveFile?callback=f&fromPath=outdir&fromFileName=secret.txt&toPath=&toFileName=taken.txt");
    // deleteSyncFile through a planted folder link deleted a file outside.
    run("deleteSyncFile?callback=f&filename=outdir%2Fsecret.txt");
    EXPECT_EQ(readFile(outside / "secret.txt"), kSecret);
    EXPECT_EQ(readFile(webRoot() / "a.txt"), "A");
    EXPECT_FALSE(fs::exists(webRoot() / "taken.txt"));
}

INSTANTIATE_TEST_SUITE_P(Resolvers, HostileNames,
                         testing::Values(ContainedPath::Resolver::kernel, ContainedPath::Resolver::walk),
                         [](const auto& info) { return info.param == ContainedPath::Resolver::kernel ? "kernel" : "walk"; });
