// The page's "config" and "reset" words in the real web view: the GTK dialog with its four
// text fields stores what is typed, and the reset question's OK brings back the installed web
// application.
#include "base/Config.h"
#include "platform/linux/LinuxWindow.h"
#include "portable/Dispatch.h"
#include "tests/support/RealWebScreenFixture.h"
#include "tests/support/TestEnvironment.h"

#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace {

class ConfigAndResetTest : public testsupport::RealWebScreenFixture {
protected:
    // The GTK dialog on top, once the page's word has brought it up.
    GtkDialog* waitForDialog()
    {
        EXPECT_TRUE(platform::runMainLoopUntil([&] { return topWindow() != delegate.window.get(); }, kTimeout));
        auto* window = dynamic_cast<platform::LinuxWindow*>(topWindow());
        return window ? GTK_DIALOG(window->gtkWindow()) : nullptr;
    }
};

} // namespace

TEST_F(ConfigAndResetTest, ConfigDialogStoresWhatIsTyped)
{
    sharedConfig().defaults.set("app", "demo");
    post("config");
    GtkDialog* dialog = waitForDialog();
    ASSERT_NE(dialog, nullptr);

    GtkWidget* area = gtk_message_dialog_get_message_area(GTK_MESSAGE_DIALOG(dialog));
    g_autoptr(GList) children = gtk_container_get_children(GTK_CONTAINER(area));
    std::vector<GtkEntry*> entries;
    for (GList* child = children; child; child = child->next)
        if (GTK_IS_ENTRY(child->data))
            entries.push_back(GTK_ENTRY(child->data));
    ASSERT_EQ(entries.size(), 4u);
    EXPECT_STREQ(gtk_entry_get_text(entries[0]), "demo");
    gtk_entry_set_text(entries[0], "typed");
    gtk_entry_set_text(entries[2], "/update.xml");
    gtk_dialog_response(dialog, 1); // Save

    EXPECT_EQ(topWindow(), delegate.window.get());
    EXPECT_EQ(sharedConfig().defaults.string("app"), "typed");
    EXPECT_EQ(sharedConfig().defaults.string("baseURL"), "");
    EXPECT_EQ(sharedConfig().defaults.string("updateXMLPath"), "/update.xml");
}

TEST_F(ConfigAndResetTest, ResetBringsBackTheInstalledApplication)
{
    const fs::path webRoot = sharedConfig().WEBROOT;
    testsupport::writeFile(webRoot / "index.html", "<html><body>changed by an update</body></html>");
    sharedConfig().defaults.set("cli_name", "Ada");

    post("reset");
    GtkDialog* dialog = waitForDialog();
    ASSERT_NE(dialog, nullptr);
    gtk_dialog_response(dialog, 0); // OK

    ASSERT_TRUE(waitForFinishedNavigations(2));
    EXPECT_EQ(evaluate("document.getElementById('title').textContent"), "webcontainer demo");
    EXPECT_EQ(sharedConfig().defaults.string("cli_name"), std::nullopt);
    EXPECT_FALSE(fs::exists(webRoot.string() + "-old"));
}
