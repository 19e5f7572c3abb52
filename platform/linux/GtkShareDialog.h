#pragma once
// The share dialog on a GtkDialog over the application's main window: the subject (when there
// is one) above the text, and the buttons "Copy" (the text to the clipboard), "E-mail" (a
// "mailto:" URL with subject and text through the installed URL opener) and "Close". A choice
// closes the dialog. A new share replaces a dialog still open.
//
// Main thread only; lives as long as the platform.

#include "platform/ShareDialog.h"
#include "platform/linux/GObjectPtr.h"

#include <gtk/gtk.h>

namespace platform {

class GtkShareDialog final : public ShareDialog {
public:
    enum class Choice { copy, email, close };

    ~GtkShareDialog() override;

    // The dialog on screen, or null.
    GtkWidget* dialog() const { return dialog_.get(); }
    // Acts as the dialog's button for `choice` does, and closes it.
    void choose(Choice choice);

protected:
    void presentImpl(const std::string& subject, const std::string& text) override;

private:
    void close();

    gtk::GObjectPtr<GtkWidget> dialog_;
    gtk::SignalConnections signals_;
    std::string subject_;
    std::string text_;
};

} // namespace platform
