#include "platform/linux/GtkShareDialog.h"

#include "platform/Platform.h"
#include "platform/URLOpener.h"
#include "platform/linux/GuardedCall.h"
#include "platform/linux/LinuxWindow.h"

namespace platform {
namespace {

constexpr int kResponseCopy = 1;
constexpr int kResponseEmail = 2;

} // namespace

GtkShareDialog::~GtkShareDialog()
{
    close();
}

void GtkShareDialog::presentImpl(const std::string& subject, const std::string& text)
{
    close();
    subject_ = subject;
    text_ = text;
    GtkWidget* dialog = gtk_dialog_new_with_buttons("Share", LinuxWindow::keyGtkWindow(), GTK_DIALOG_DESTROY_WITH_PARENT, "Copy",
                                                    kResponseCopy, "E-mail", kResponseEmail, "Close",
                                                    GTK_RESPONSE_CLOSE, nullptr);
    dialog_ = gtk::GObjectPtr<GtkWidget>::ref(dialog);
    gtk_window_set_default_size(GTK_WINDOW(dialog), 420, 280);
    GtkWidget* area = gtk_dialog_get_content_area(GTK_DIALOG(dialog));
    gtk_container_set_border_width(GTK_CONTAINER(area), 12);
    gtk_box_set_spacing(GTK_BOX(area), 8);
    if (!subject.empty()) {
        GtkWidget* label = gtk_label_new(nullptr);
        g_autofree char* markup = g_markup_printf_escaped("<b>%s</b>", subject.c_str());
        gtk_label_set_markup(GTK_LABEL(label), markup);
        gtk_label_set_xalign(GTK_LABEL(label), 0);
        gtk_label_set_selectable(GTK_LABEL(label), TRUE);
        gtk_box_pack_start(GTK_BOX(area), label, FALSE, FALSE, 0);
    }
    GtkWidget* view = gtk_text_view_new();
    gtk_text_view_set_editable(GTK_TEXT_VIEW(view), FALSE);
    gtk_text_view_set_wrap_mode(GTK_TEXT_VIEW(view), GTK_WRAP_WORD_CHAR);
    gtk_text_buffer_set_text(gtk_text_view_get_buffer(GTK_TEXT_VIEW(view)), text.c_str(),
                             static_cast<gint>(text.size()));
    GtkWidget* scroller = gtk_scrolled_window_new(nullptr, nullptr);
    gtk_container_add(GTK_CONTAINER(scroller), view);
    gtk_box_pack_start(GTK_BOX(area), scroller, TRUE, TRUE, 0);

    auto onResponse = +[](GtkDialog*, gint response, gpointer data) {
        auto* self = static_cast<GtkShareDialog*>(data);
        gtk::guardedCall("share response", [&] {
            self->choose(response == kResponseCopy    ? Choice::copy
                         : response == kResponseEmail ? Choice::email
                                                      : Choice::close);
        });
    };
    signals_.connect(dialog, "response", G_CALLBACK(onResponse), this);
    gtk_widget_show_all(dialog);
}

void GtkShareDialog::choose(Choice choice)
{
    if (!dialog_)
        return;
    if (choice == Choice::copy) {
        gtk_clipboard_set_text(gtk_clipboard_get(GDK_SELECTION_CLIPBOARD), text_.c_str(),
                               static_cast<gint>(text_.size()));
    } else if (choice == Choice::email) {
        if (auto& opener = current().urlOpener)
            opener->open(mailtoURL(subject_, text_));
    }
    close();
}

void GtkShareDialog::close()
{
    signals_.disconnectAll();
    if (dialog_) {
        gtk_widget_destroy(dialog_.get());
        dialog_.reset();
    }
}

} // namespace platform
