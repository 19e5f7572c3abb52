#pragma once
// The desktop's file chooser, GtkFileChooserNative: the desktop portal's dialog where there is
// one (sandboxed or GTK_USE_PORTAL), else GTK's own dialog, modal over the page's window.
// Only local files can be chosen. Main thread only; see platform/DocumentPicker.h.

#include "platform/DocumentPicker.h"
#include "platform/linux/GObjectPtr.h"

#include <gtk/gtk.h>

namespace platform {

class GtkDocumentPicker final : public DocumentPicker, public std::enable_shared_from_this<GtkDocumentPicker> {
public:
    explicit GtkDocumentPicker(DocumentTypes types);
    ~GtkDocumentPicker() override;

    void present(const std::shared_ptr<WebView>& over, PickedHandler picked, CancelledHandler cancelled) override;
    void dismiss() override;

    // The dialog while it is shown, for tests that answer it; null otherwise.
    GtkFileChooserNative* dialogForTesting() const { return dialog_.get(); }

private:
    static void onResponse(GtkNativeDialog* dialog, gint response, gpointer self);
    // Lets the dialog and the handlers go; the picker itself may go with them.
    void end();

    const DocumentTypes types_;
    gtk::GObjectPtr<GtkFileChooserNative> dialog_;
    gtk::SignalConnections signals_;
    PickedHandler picked_;
    CancelledHandler cancelled_;
    // Held while shown.
    std::shared_ptr<GtkDocumentPicker> self_;
};

} // namespace platform
