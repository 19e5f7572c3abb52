#pragma once
// A GTK window: the main window (a GtkWindow whose child is the content view) or an alert
// (a modal GtkMessageDialog over the window that presents it, its text fields GtkEntries under
// the message). Main thread only.

#include "platform/Window.h"
#include "platform/linux/GObjectPtr.h"

#include <gtk/gtk.h>

namespace platform {

class LinuxWindow final : public Window {
public:
    // The main window on `window` (adds a reference of its own).
    explicit LinuxWindow(GtkWindow* window);
    // An alert over `presenter`, whose GTK window is `parent`.
    LinuxWindow(const Alert& alert, Window& presenter, GtkWindow* parent);
    ~LinuxWindow() override;

    GtkWindow* gtkWindow() const { return GTK_WINDOW(window_.get()); }
    // The GTK window of the application delegate's key window, for dialogs to stand over; null
    // when there is none.
    static GtkWindow* keyGtkWindow();

protected:
    std::shared_ptr<Window> makeAlertWindowImpl(const Alert& alert) override;
    void showImpl() override;
    void bringToFrontImpl() override;
    void closeImpl() override;

private:
    static gboolean onDelete(GtkWidget*, GdkEvent*, gpointer self);
    static void onResponse(GtkDialog*, gint response, gpointer self);
    // Copies what the user typed into the alert's text fields.
    void takeTextFieldTexts();

    gtk::GObjectPtr<GtkWidget> window_;
    gtk::SignalConnections signals_;
    bool destroyed_ = false;
};

} // namespace platform
