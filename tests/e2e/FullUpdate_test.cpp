// A full update as the running container meets it: the update check asks the loopback content
// server, the encrypted package it names is downloaded with the screen's progress bar, decrypted,
// unpacked and swapped in, and the page on show becomes the package's index.

#include "base/Config.h"
#include "contentserver/ServerCom.h"
#include "platform/Platform.h"
#include "portable/Dispatch.h"
#include "tests/support/FakeReachability.h"
#include "tests/support/LoopbackContentServer.h"
#include "tests/support/RealWebScreenFixture.h"
#include "tests/support/TestCipher.h"
#include "tests/support/TestContentServer.h"
#include "tests/support/ZipBuilder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;
using Reply = testsupport::TestContentServer::Reply;

namespace {

const std::string kInfoPlist = R"(<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0"><dict><key>cli_release</key><string>2</string></dict></plist>)";

std::string packageBytes()
{
    const fs::path zip = fs::path(sharedConfig().tmpDirURL) / "built-package.zip";
    testsupport::ZipBuilder()
        .file("index.html", "<html><body><h1 id=\"version\">new version</h1></body></html>")
        .file("info.plist", kInfoPlist)
        .write(zip);
    std::ifstream in(zip, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

} // namespace

class FullUpdateTest : public testsupport::RealWebScreenFixture {};

TEST_F(FullUpdateTest, UpdateCheckInstallsAFullEncryptedPackageAndThePageShowsIt)
{
    // The machine's network state is not under test: the loopback server is always reachable.
    auto network = std::make_shared<testsupport::FakeReachability>();
    network->setFlags(platform::Reachability::reachable);
    platform::current().reachability = network;

    testsupport::TestContentServer server;
    testsupport::storeServerSettings(server, "/app/", "update.php");
    const std::string key = "0123456789abcdef";
    server.reply("/app/update.php", Reply().withBody("<response><type>full</type><path>/pkg/full.zip</path><secret>" +
                                                     key + "</secret></response>"));
    server.reply("/pkg/full.zip", Reply().withBody(testsupport::encryptedPackage(packageBytes(), key, "IV-IV-IV-IV-IV-!")));

    // What the update decision does with a reply that names a package.
    sharedServerCom().updateCheck(false, [view = screen->view()](std::optional<RequestProperties> reply) {
        ASSERT_TRUE(reply);
        platform::mainQueue().async([view, reply] {
            sharedServerCom().downloadUpdate(view, reply, "", "", std::nullopt, false);
        });
    });

    const fs::path webRoot = sharedConfig().WEBROOT;
    const auto shownVersion = [&] {
        return evaluate("String(document.getElementById('version') && document.getElementById('version').textContent)");
    };
    const auto deadline = std::chrono::steady_clock::now() + kTimeout;
    while (shownVersion() != std::optional<std::string>("new version") && std::chrono::steady_clock::now() < deadline)
        platform::runMainLoopUntil([] { return false; }, std::chrono::milliseconds(200));
    ASSERT_EQ(shownVersion(), std::optional<std::string>("new version"));
    EXPECT_FALSE(fs::exists(webRoot / "bridge.html")) << "a full package replaces the whole web root";
    EXPECT_TRUE(fs::exists(webRoot / "internal.js"));
    EXPECT_FALSE(fs::exists(sharedServerCom().TMPWWWROOT));
    EXPECT_EQ(sharedConfig().defaults.string("cli_release"), std::optional<std::string>("2"));
}
