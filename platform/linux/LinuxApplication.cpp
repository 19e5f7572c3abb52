#include "platform/linux/LinuxApplication.h"

#include "platform/linux/GtkCompat.h"
#include "platform/linux/GuardedCall.h"
#include "platform/linux/LinuxWindow.h"

namespace platform {

LinuxApplication::LinuxApplication(std::string applicationID) : applicationID_(std::move(applicationID)) {}

LinuxApplication::~LinuxApplication()
{
    signals_.disconnectAll();
}

int LinuxApplication::runImpl(int argc, char** argv)
{
    const char* id = g_application_id_is_valid(applicationID_.c_str()) ? applicationID_.c_str() : nullptr;
    application_ = gtk::GObjectPtr<GtkApplication>::adopt(gtk_application_new(id, G_APPLICATION_HANDLES_OPEN));
    signals_.connect(application_.get(), "activate", G_CALLBACK(onActivate), this);
    signals_.connect(application_.get(), "open", G_CALLBACK(onOpen), this);
    signals_.connect(application_.get(), "shutdown", G_CALLBACK(onShutdown), this);
    return g_application_run(G_APPLICATION(application_.get()), argc, argv);
}

void LinuxApplication::ensureLaunched()
{
    if (isLaunched())
        return;
    GtkWidget* widget = gtk_application_window_new(application_.get());
    window_ = std::make_shared<LinuxWindow>(GTK_WINDOW(widget));
    signals_.connect(widget, "notify::is-active", G_CALLBACK(onActiveChanged), this);
    signals_.connect(widget, "window-state-event", G_CALLBACK(onWindowState), this);
    launch(window_, LaunchOptions{});
}

void LinuxApplication::reportWindowState()
{
    if (!window_)
        return;
    windowStateChanged(gtk_window_is_active(window_->gtkWindow()), minimized_);
}

void LinuxApplication::onActivate(GApplication*, gpointer self)
{
    auto* application = static_cast<LinuxApplication*>(self);
    gtk::guardedCall("activate", [&] {
        if (application->isLaunched())
            gtk_window_present(application->window_->gtkWindow());
        else
            application->ensureLaunched();
    });
}

void LinuxApplication::onOpen(GApplication*, GFile** files, gint count, gchar*, gpointer self)
{
    auto* application = static_cast<LinuxApplication*>(self);
    gtk::guardedCall("open", [&] {
        application->ensureLaunched();
        for (gint i = 0; i < count; ++i) {
            g_autofree char* uri = g_file_get_uri(files[i]);
            if (uri)
                application->openURL(uri);
        }
        gtk_window_present(application->window_->gtkWindow());
    });
}

void LinuxApplication::onShutdown(GApplication*, gpointer self)
{
    auto* application = static_cast<LinuxApplication*>(self);
    gtk::guardedCall("shutdown", [&] { application->terminate(); });
    application->signals_.disconnectAll();
    application->window_.reset();
}

void LinuxApplication::onActiveChanged(GObject*, GParamSpec*, gpointer self)
{
    gtk::guardedCall("notify::is-active", [&] { static_cast<LinuxApplication*>(self)->reportWindowState(); });
}

gboolean LinuxApplication::onWindowState(GtkWidget*, GdkEventWindowState* event, gpointer self)
{
    auto* application = static_cast<LinuxApplication*>(self);
    application->minimized_ = gtk::isMinimized(event);
    gtk::guardedCall("window-state-event", [&] { application->reportWindowState(); });
    return FALSE;
}

} // namespace platform
