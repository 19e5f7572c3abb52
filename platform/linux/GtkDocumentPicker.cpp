#include "platform/linux/GtkDocumentPicker.h"

#include "platform/WebView.h"
#include "platform/linux/LinuxWidget.h"
#include "portable/Check.h"
#include "portable/Dispatch.h"

namespace platform {

GtkDocumentPicker::GtkDocumentPicker(DocumentTypes types) : types_(types) {}

GtkDocumentPicker::~GtkDocumentPicker()
{
    signals_.disconnectAll();
    if (dialog_)
        gtk_native_dialog_destroy(GTK_NATIVE_DIALOG(dialog_.get()));
}

void GtkDocumentPicker::present(const std::shared_ptr<WebView>& over, PickedHandler picked, CancelledHandler cancelled)
{
    requireMainThread();
    if (dialog_)
        return;
    GtkWindow* parent = nullptr;
    if (const auto* view = dynamic_cast<const LinuxWidget*>(over.get())) {
        GtkWidget* top = gtk_widget_get_toplevel(view->widget());
        parent = gtk_widget_is_toplevel(top) ? GTK_WINDOW(top) : nullptr;
    }
    dialog_ = gtk::GObjectPtr<GtkFileChooserNative>::adopt(
        gtk_file_chooser_native_new(nullptr, parent, GTK_FILE_CHOOSER_ACTION_OPEN, nullptr, nullptr));
    GtkFileChooser* chooser = GTK_FILE_CHOOSER(dialog_.get());
    gtk_file_chooser_set_local_only(chooser, TRUE);
    gtk_file_chooser_set_select_multiple(chooser, FALSE);
    if (types_ == DocumentTypes::image) {
        GtkFileFilter* images = gtk_file_filter_new();
        gtk_file_filter_add_mime_type(images, "image/*");
        gtk_file_chooser_set_filter(chooser, images);
    }
    gtk_native_dialog_set_modal(GTK_NATIVE_DIALOG(dialog_.get()), TRUE);
    picked_ = std::move(picked);
    cancelled_ = std::move(cancelled);
    self_ = shared_from_this();
    signals_.connect(dialog_.get(), "response", G_CALLBACK(onResponse), this);
    gtk_native_dialog_show(GTK_NATIVE_DIALOG(dialog_.get()));
}

void GtkDocumentPicker::dismiss()
{
    requireMainThread();
    if (!dialog_)
        return;
    gtk_native_dialog_hide(GTK_NATIVE_DIALOG(dialog_.get()));
    end();
}

void GtkDocumentPicker::onResponse(GtkNativeDialog* dialog, gint response, gpointer self)
{
    auto& picker = *static_cast<GtkDocumentPicker*>(self);
    std::vector<std::string> urls;
    if (response == GTK_RESPONSE_ACCEPT) {
        GSList* chosen = gtk_file_chooser_get_uris(GTK_FILE_CHOOSER(dialog));
        for (GSList* item = chosen; item; item = item->next)
            urls.emplace_back(static_cast<const char*>(item->data));
        g_slist_free_full(chosen, g_free);
    }
    // Reported after the dialog's signal, as the interface promises, and once.
    if (response == GTK_RESPONSE_ACCEPT) {
        if (auto picked = std::move(picker.picked_))
            mainQueue().async([picked = std::move(picked), urls = std::move(urls)] { picked(urls); });
    } else if (auto cancelled = std::move(picker.cancelled_)) {
        mainQueue().async(std::move(cancelled));
    }
    picker.end();
}

void GtkDocumentPicker::end()
{
    picked_ = nullptr;
    cancelled_ = nullptr;
    signals_.disconnectAll();
    // The dialog's signal emission holds its own reference, so it may go during its response.
    dialog_.reset();
    auto keep = std::move(self_);
}

} // namespace platform
