// The desktop's file chooser as GTK shows it without a portal (its own dialog, under Xvfb): the
// user's choice arrives as a file URL after the dialog has answered, a cancel as a cancel, each
// once, and the picker lets itself go afterwards.
#include "platform/linux/GtkDocumentPicker.h"
#include "portable/Dispatch.h"
#include "portable/FileURL.h"
#include "tests/support/TestEnvironment.h"

#include <gtk/gtk.h>

#include <gtest/gtest.h>

namespace {

// The chooser dialog on show, once GTK has mapped it.
GtkFileChooser* shownChooser()
{
    GtkFileChooser* found = nullptr;
    platform::runMainLoopUntil(
        [&] {
            GList* windows = gtk_window_list_toplevels();
            for (GList* item = windows; item; item = item->next)
                if (GTK_IS_FILE_CHOOSER_DIALOG(item->data) && gtk_widget_get_mapped(GTK_WIDGET(item->data)))
                    found = GTK_FILE_CHOOSER(item->data);
            g_list_free(windows);
            return found != nullptr;
        },
        std::chrono::seconds(20));
    return found;
}

} // namespace

TEST(GtkDocumentPicker, ReportsTheChosenFileOrTheCancelOnceAndLetsItselfGo)
{
    ASSERT_TRUE(gtk_init_check(nullptr, nullptr)) << "no display: run the end-to-end tests under xvfb-run";
    testsupport::ScopedEnvironment noPortal{{"GTK_USE_PORTAL", std::nullopt}};
    const auto folder = testsupport::makeTemporaryFolder("chooser");
    testsupport::writeFile(folder / "report.pdf", "pdf");

    for (const int response : {GTK_RESPONSE_ACCEPT, GTK_RESPONSE_CANCEL}) {
        SCOPED_TRACE(response);
        std::vector<std::vector<std::string>> picked;
        int cancelled = 0;
        auto picker = std::make_shared<platform::GtkDocumentPicker>(platform::DocumentTypes::item);
        std::weak_ptr<platform::GtkDocumentPicker> alive = picker;
        picker->present(nullptr, [&](std::vector<std::string> urls) { picked.push_back(urls); }, [&] { ++cancelled; });
        picker.reset();
        ASSERT_FALSE(alive.expired()) << "kept alive while shown";

        GtkFileChooser* chooser = shownChooser();
        ASSERT_TRUE(chooser);
        const std::string url = platform::fileURLString(folder / "report.pdf");
        if (response == GTK_RESPONSE_ACCEPT) {
            gtk_file_chooser_select_uri(chooser, url.c_str());
            ASSERT_TRUE(platform::runMainLoopUntil([&] {
                g_autofree char* selected = gtk_file_chooser_get_uri(chooser);
                return selected && url == selected;
            }));
        }
        gtk_dialog_response(GTK_DIALOG(chooser), response);
        EXPECT_TRUE(picked.empty() && cancelled == 0) << "reported on the main queue, after the dialog's answer";
        platform::runMainLoopUntil([&] { return !picked.empty() || cancelled > 0; });
        platform::drainMainQueue();
        EXPECT_EQ(picked, response == GTK_RESPONSE_ACCEPT ? std::vector<std::vector<std::string>>{{url}}
                                                          : std::vector<std::vector<std::string>>{});
        EXPECT_EQ(cancelled, response == GTK_RESPONSE_ACCEPT ? 0 : 1);
        EXPECT_TRUE(alive.expired());
    }
}
