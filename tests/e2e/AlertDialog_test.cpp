// Alerts as GTK dialogs over a real window under the virtual display, answered the way a desktop
// user does: a key press or a click.
#include "platform/linux/LinuxWindow.h"
#include "portable/Dispatch.h"

#include <gtk/gtk.h>

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <vector>

using namespace std::chrono_literals;

namespace {

class AlertDialogTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(gtk_init_check(nullptr, nullptr)) << "needs a display (xvfb-run)";
        window = std::make_shared<platform::LinuxWindow>(GTK_WINDOW(gtk_window_new(GTK_WINDOW_TOPLEVEL)));
        window->show();
        ASSERT_TRUE(platform::runMainLoopUntil([&] { return gtk_widget_get_mapped(widget(*window)); }, 10s));
    }

    static GtkWidget* widget(const platform::Window& alert)
    {
        return GTK_WIDGET(static_cast<const platform::LinuxWindow&>(alert).gtkWindow());
    }

    // Presents an alert of one button, as the error of a failed file deletion is.
    std::shared_ptr<platform::Window> presentError(const char* title)
    {
        auto alert = window->present({title, "try again later", {{"OK", {}, [this, title] { ran.push_back(title); }}},
                                      platform::Alert::Appearance::Tinted});
        EXPECT_TRUE(platform::runMainLoopUntil([&] { return gtk_widget_get_mapped(widget(*alert)); }, 10s));
        return alert;
    }

    // A key press as the display server delivers it to the dialog.
    static void pressKey(GtkWidget* target, guint keyval)
    {
        GdkKeymapKey* keys = nullptr;
        gint count = 0;
        ASSERT_TRUE(gdk_keymap_get_entries_for_keyval(gdk_keymap_get_for_display(gtk_widget_get_display(target)),
                                                      keyval, &keys, &count));
        GdkEvent* event = gdk_event_new(GDK_KEY_PRESS);
        event->key.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(target)));
        event->key.send_event = TRUE;
        event->key.time = GDK_CURRENT_TIME;
        event->key.keyval = keyval;
        event->key.hardware_keycode = static_cast<guint16>(keys[0].keycode);
        event->key.group = static_cast<guint8>(keys[0].group);
        gdk_event_set_device(event, gdk_seat_get_keyboard(gdk_display_get_default_seat(gtk_widget_get_display(target))));
        g_free(keys);
        gtk_main_do_event(event);
        gdk_event_free(event);
    }

    std::shared_ptr<platform::LinuxWindow> window;
    std::vector<std::string> ran;
};

} // namespace

// Escape on an error alert left it presented: later alerts flashed at the top-left corner,
// closed themselves and never ran their buttons' actions.
TEST_F(AlertDialogTest, EscapeClosesOneAlertAndTheNextIsAnsweredWithItsButton)
{
    auto first = presentError("first");
    pressKey(widget(*first), GDK_KEY_Escape);
    ASSERT_TRUE(platform::runMainLoopUntil([&] { return window->presentedWindow() == nullptr; }, 10s));
    EXPECT_TRUE(ran.empty()) << "Escape ran the button's action";
    first.reset();

    auto second = presentError("second");
    GtkWidget* dialog = widget(*second);
    EXPECT_EQ(gtk_window_get_transient_for(GTK_WINDOW(dialog)), window->gtkWindow());
    // Still on show a while later: it does not close itself.
    platform::runMainLoopUntil([] { return false; }, 300ms);
    EXPECT_TRUE(gtk_widget_get_mapped(dialog));
    EXPECT_EQ(window->presentedWindow(), second);

    gtk_button_clicked(GTK_BUTTON(gtk_dialog_get_widget_for_response(GTK_DIALOG(dialog), 0)));
    EXPECT_EQ(ran, std::vector<std::string>{"second"});
    EXPECT_EQ(window->presentedWindow(), nullptr);
}

TEST_F(AlertDialogTest, EscapePressesTheCancelButtonWhereThereIsOne)
{
    window->present({"sure?", "", {{"OK", {}, [&] { ran.push_back("ok"); }},
                                   {"Cancel", platform::AlertAction::Style::Cancel, [&] { ran.push_back("cancel"); }}}});
    GtkWidget* dialog = widget(*window->presentedWindow());
    ASSERT_TRUE(platform::runMainLoopUntil([&] { return gtk_widget_get_mapped(dialog); }, 10s));
    pressKey(dialog, GDK_KEY_Escape);
    ASSERT_TRUE(platform::runMainLoopUntil([&] { return !ran.empty(); }, 10s));
    EXPECT_EQ(ran, std::vector<std::string>{"cancel"});
    EXPECT_EQ(window->presentedWindow(), nullptr);
}
