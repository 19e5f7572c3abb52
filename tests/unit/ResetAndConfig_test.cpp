// The reset to the installed state (from the router's question and from the missing-page
// alert) and the hidden configuration dialog, over the doubles.
#include "base/Config.h"
#include "base/LocalizedTexts.h"
#include "tests/support/TestEnvironment.h"
#include "tests/support/WebScreenFixture.h"
#include "tests/support/ZipBuilder.h"

#include <gmock/gmock.h>

using testing::ElementsAre;
using testing::IsEmpty;
using testsupport::readFile;
namespace fs = std::filesystem;

namespace {

const std::string kPostReset = "if (typeof window.postReset == 'function') {window.postReset();}";

class ResetTest : public testsupport::WebScreenFixture {
protected:
    ResetTest()
    {
        // The installed state of these tests.
        const fs::path built = testsupport::makeTemporaryFolder("archive") / "app.zip";
        testsupport::ZipBuilder()
            .file("index.html", "installed")
            .file("info.plist", R"(<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0"><dict><key>fromPackage</key><string>yes</string></dict></plist>)")
            .write(built);
        installed = readFile(built);
        testsupport::useBundleWithArchive(installed);

        // What use since the installation left.
        writeWebFile("index.html", "updated");
        writeWebFile("stale.html");
        Config& config = sharedConfig();
        testsupport::writeFile(config.SYNCURL / "synced.pdf", "x");
        testsupport::writeFile(config.tmpDirURL / "update.zip", "x");
        config.defaults.set("cli_name", "Ada");
        config.defaults.set("clang", "en");
        window->show();
        runMainQueue();
    }

    // Whether the web root, the sync folder and the settings are as use left them.
    void expectUntouched()
    {
        Config& config = sharedConfig();
        EXPECT_EQ(readFile(webRoot() / "index.html"), "updated");
        EXPECT_TRUE(fs::exists(webRoot() / "stale.html"));
        EXPECT_TRUE(fs::exists(config.SYNCURL / "synced.pdf"));
        EXPECT_EQ(config.defaults.string("cli_name"), "Ada");
        EXPECT_EQ(fakes.webViews.size(), 1u);
    }

    void expectInstalledState()
    {
        Config& config = sharedConfig();
        EXPECT_EQ(readFile(webRoot() / "index.html"), "installed");
        EXPECT_FALSE(fs::exists(webRoot() / "stale.html"));
        EXPECT_TRUE(fs::exists(webRoot() / "internal.js"));
        EXPECT_FALSE(fs::exists(config.SYNCURL));
        EXPECT_FALSE(fs::exists(config.tmpDirURL / "update.zip"));
        EXPECT_FALSE(fs::exists(webRoot().string() + ".install"));
        EXPECT_FALSE(fs::exists(webRoot().string() + "-old"));
        EXPECT_EQ(config.defaults.string("cli_name"), std::nullopt);
        EXPECT_EQ(config.defaults.string("clang"), std::nullopt);
        EXPECT_EQ(config.defaults.string("fromPackage"), "yes");
        // The start page of the new content loads; postReset() runs once it has.
        EXPECT_EQ(fakes.webViews.size(), 2u);
        EXPECT_EQ(loadedPage(), "/index.html");
        currentWebView().finishNavigation();
        runMainQueue();
        EXPECT_THAT(currentWebView().scripts(), ElementsAre(kPostReset));
    }

    // A page fails to load: the recovery alert offers HOME and RESET, and RESET restores the
    // installed state with no further question.
    void resetFromTheMissingPageAlert()
    {
        currentWebView().failProvisionalNavigation(
            {"g-io-error-quark", 1, "No such file", "file://" + webRoot().string() + "/missing.html", false});
        runMainQueue();
        ASSERT_NE(topAlert(), nullptr);
        EXPECT_EQ(topAlert()->alert()->message, screen->ERROR_LOCAL_DATA);
        ASSERT_EQ(topAlert()->alert()->actions.size(), 2u);
        EXPECT_EQ(topAlert()->alert()->actions[0].title, screen->ERROR_LOCAL_DATA_HOME);
        topAlert()->pressAlertButton(1); // RESET
        runMainQueue();
        EXPECT_EQ(topAlert(), nullptr);
        expectInstalledState();
    }

    std::string installed;
};

} // namespace

TEST_F(ResetTest, ResetQuestionOkRestoresTheInstalledStateCancelDoesNothing)
{
    currentWebView().postMessage("reset");
    runMainQueue();
    ASSERT_NE(topAlert(), nullptr);
    EXPECT_EQ(topAlert()->alert()->title, screen->VC_RESET);
    EXPECT_EQ(topAlert()->alert()->message, screen->VC_Q_RESET);
    topAlert()->pressAlertButton(1); // Cancel
    runMainQueue();
    expectUntouched();

    currentWebView().postMessage("Reset"); // not the word
    runMainQueue();
    EXPECT_EQ(topAlert(), nullptr);

    currentWebView().postMessage("reset");
    runMainQueue();
    ASSERT_NE(topAlert(), nullptr);
    EXPECT_EQ(topAlert()->alert()->actions[0].title, localizedString("OK"));
    topAlert()->pressAlertButton(0);
    runMainQueue();
    expectInstalledState();
}

TEST_F(ResetTest, MissingPageAlertResetRestoresAtOnce)
{
    resetFromTheMissingPageAlert();
}

// With the web root removed, the missing-page alert had become an OK-only note, though its
// RESET is what brings the web root back.
TEST_F(ResetTest, MissingPageAlertResetRestoresARemovedWebRoot)
{
    fs::remove_all(webRoot());
    resetFromTheMissingPageAlert();
}

// A reset removed the web root before unpacking "app.zip": a broken or missing archive left
// no web content at all.
TEST_F(ResetTest, FailedResetLeavesTheOldWebRootAndSettingsWorking)
{
    struct Case {
        const char* name;
        std::optional<std::string> archive;
    };
    std::string broken = installed;
    broken.resize(broken.size() / 2);
    const std::vector<Case> cases = {
        {"no app.zip in the bundle", std::nullopt},
        {"a truncated app.zip", broken},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        testsupport::useBundleWithArchive(c.archive);
        screen->resetToDefaultSettings();
        runMainQueue();
        expectUntouched();
        EXPECT_FALSE(fs::exists(webRoot().string() + ".install"));
    }
}

TEST_F(ResetTest, ConfigDialogStoresItsFourFieldsAndCancelChangesNothing)
{
    auto& defaults = sharedConfig().defaults;
    defaults.set("app", "demo");
    defaults.set("baseURL", "https://old.example/");
    defaults.set("updateXMLPath", 5); // not text: an empty field

    currentWebView().postMessage("config?x=1"); // a command URL, not the dialog
    runMainQueue();
    EXPECT_EQ(topAlert(), nullptr);

    currentWebView().postMessage("config");
    runMainQueue();
    ASSERT_NE(topAlert(), nullptr);
    const auto& alert = *topAlert()->alert();
    EXPECT_EQ(alert.title, "Advanced Config");
    EXPECT_EQ(alert.message, "This voids your warranty");
    EXPECT_THAT(alert.textFields, ElementsAre("demo", "https://old.example/", "", ""));
    ASSERT_EQ(alert.actions.size(), 2u);
    EXPECT_EQ(alert.actions[0].title, "Cancel");
    EXPECT_EQ(alert.actions[1].title, "Save");

    topAlert()->setTextFieldText(0, "edited");
    topAlert()->pressAlertButton(0); // Cancel
    EXPECT_EQ(defaults.string("app"), "demo");

    screen->showConfigDialog();
    topAlert()->setTextFieldText(0, "shop");
    topAlert()->setTextFieldText(1, ""); // emptied: stored as the empty text
    topAlert()->setTextFieldText(3, "/files/");
    topAlert()->pressAlertButton(1); // Save
    EXPECT_EQ(defaults.string("app"), "shop");
    EXPECT_EQ(defaults.string("baseURL"), "");
    EXPECT_EQ(defaults.string("updateXMLPath"), "");
    EXPECT_EQ(defaults.string("updateFileBasePath"), "/files/");
    EXPECT_EQ(fakes.webViews.size(), 1u); // nothing reloads
}
