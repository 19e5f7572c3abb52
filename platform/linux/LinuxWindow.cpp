#include "platform/linux/LinuxWindow.h"

#include "platform/Application.h"
#include "platform/Platform.h"
#include "platform/linux/GtkCompat.h"
#include "platform/linux/GuardedCall.h"
#include "platform/linux/LinuxContentView.h"

namespace platform {
namespace {

constexpr int kDefaultWidth = 1024;
constexpr int kDefaultHeight = 768;

std::string colored(const std::string& text, const char* color)
{
    g_autofree char* escaped = g_markup_escape_text(text.c_str(), -1);
    return std::string("<span foreground=\"") + color + "\">" + escaped + "</span>";
}

GtkWidget* buildAlertDialog(const Alert& alert, GtkWindow* parent)
{
    GtkWidget* dialog = gtk_message_dialog_new(parent, static_cast<GtkDialogFlags>(GTK_DIALOG_MODAL | GTK_DIALOG_DESTROY_WITH_PARENT),
                                               GTK_MESSAGE_OTHER, GTK_BUTTONS_NONE, nullptr);
    auto* message = GTK_MESSAGE_DIALOG(dialog);
    if (alert.appearance == Alert::Appearance::Tinted) {
        gtk_message_dialog_set_markup(message, colored(alert.title, "#1c71d8").c_str());
        if (!alert.message.empty())
            gtk_message_dialog_format_secondary_markup(message, "%s", colored(alert.message, "#77767b").c_str());
    } else {
        g_object_set(message, "text", alert.title.c_str(), nullptr);
        if (!alert.message.empty())
            gtk_message_dialog_format_secondary_text(message, "%s", alert.message.c_str());
    }
    // Text fields under the message, in dark text whatever the theme.
    GtkWidget* area = gtk_message_dialog_get_message_area(message);
    for (const std::string& text : alert.textFields) {
        GtkWidget* entry = gtk_entry_new();
        gtk_entry_set_text(GTK_ENTRY(entry), text.c_str());
        gtk_entry_set_activates_default(GTK_ENTRY(entry), TRUE);
        g_autoptr(GtkCssProvider) css = gtk_css_provider_new();
        gtk_css_provider_load_from_data(css, "entry { color: black; }", -1, nullptr);
        gtk_style_context_add_provider(gtk_widget_get_style_context(entry), GTK_STYLE_PROVIDER(css),
                                       GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
        gtk_container_add(GTK_CONTAINER(area), entry);
        gtk_widget_show(entry);
    }
    // Button i answers with response i.
    for (std::size_t i = 0; i < alert.actions.size(); ++i)
        gtk_dialog_add_button(GTK_DIALOG(dialog), alert.actions[i].title.c_str(), static_cast<gint>(i));
    return dialog;
}

} // namespace

LinuxWindow::LinuxWindow(GtkWindow* window)
    : Window(std::make_shared<LinuxContentView>())
    , window_(gtk::GObjectPtr<GtkWidget>::ref(GTK_WIDGET(window)))
{
    gtk_window_set_default_size(gtkWindow(), kDefaultWidth, kDefaultHeight);
    gtk::setWindowChild(window_.get(), static_cast<LinuxContentView&>(*contentView()).widget());
    signals_.connect(window_.get(), "delete-event", G_CALLBACK(onDelete), this);
}

LinuxWindow::LinuxWindow(const Alert& alert, Window& presenter, GtkWindow* parent)
    : Window(alert, presenter)
    , window_(gtk::GObjectPtr<GtkWidget>::ref(buildAlertDialog(alert, parent)))
{
    signals_.connect(window_.get(), "response", G_CALLBACK(onResponse), this);
}

LinuxWindow::~LinuxWindow()
{
    signals_.disconnectAll();
    if (!destroyed_)
        gtk::destroyWidget(window_.get());
}

GtkWindow* LinuxWindow::keyGtkWindow()
{
    const auto& application = current().application;
    auto* window = application && application->delegate() ? application->delegate()->keyWindow() : nullptr;
    auto* linux = dynamic_cast<LinuxWindow*>(window);
    return linux ? linux->gtkWindow() : nullptr;
}

std::shared_ptr<Window> LinuxWindow::makeAlertWindowImpl(const Alert& alert)
{
    return std::make_shared<LinuxWindow>(alert, *this, gtkWindow());
}

void LinuxWindow::showImpl()
{
    gtk::showWindow(window_.get());
}

void LinuxWindow::bringToFrontImpl()
{
    gtk_window_deiconify(gtkWindow());
    gtk_window_present(gtkWindow());
}

void LinuxWindow::closeImpl()
{
    signals_.disconnectAll();
    destroyed_ = true;
    gtk::destroyWidget(window_.get());
}

gboolean LinuxWindow::onDelete(GtkWidget*, GdkEvent*, gpointer self)
{
    auto* window = static_cast<LinuxWindow*>(self);
    // Holds the window while its callbacks may drop the last other reference.
    if (auto keep = window->weak_from_this().lock())
        gtk::guardedCall("delete-event", [&] { window->didClose(); });
    return FALSE; // let it close; the application ends with its last window
}

void LinuxWindow::onResponse(GtkDialog*, gint response, gpointer self)
{
    auto* window = static_cast<LinuxWindow*>(self);
    auto keep = window->weak_from_this().lock();
    if (!keep)
        return;
    gtk::guardedCall("response", [&] {
        window->takeTextFieldTexts();
        if (response >= 0)
            window->pressAlertButton(static_cast<std::size_t>(response));
        else if (response == GTK_RESPONSE_DELETE_EVENT)
            // Escape or the title bar's close. GTK destroys the dialog after this signal
            // whatever we do, so the alert is answered here and never stays presented.
            window->dismissAlert();
    });
}

void LinuxWindow::takeTextFieldTexts()
{
    if (!alert() || alert()->textFields.empty())
        return;
    GtkWidget* area = gtk_message_dialog_get_message_area(GTK_MESSAGE_DIALOG(window_.get()));
    g_autoptr(GList) children = gtk_container_get_children(GTK_CONTAINER(area));
    std::size_t index = 0;
    for (GList* child = children; child; child = child->next) {
        if (GTK_IS_ENTRY(child->data))
            setTextFieldText(index++, gtk_entry_get_text(GTK_ENTRY(child->data)));
    }
}

} // namespace platform
