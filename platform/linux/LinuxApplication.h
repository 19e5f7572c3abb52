#pragma once
// The application on GtkApplication: one instance per session (a second start hands its URL to
// the running one through the `open` signal), one GtkApplicationWindow, and the life-cycle
// states from the window's focus ("is-active") and minimized ("window-state-event") state.
// Without a session bus it still runs, as a lone instance.
// Main thread only; its signal handlers run on the main loop and are disconnected before it goes.

#include "platform/Application.h"
#include "platform/linux/GObjectPtr.h"

#include <gtk/gtk.h>

namespace platform {

class LinuxWindow;

class LinuxApplication final : public Application {
public:
    explicit LinuxApplication(std::string applicationID);
    ~LinuxApplication() override;

protected:
    int runImpl(int argc, char** argv) override;

private:
    void ensureLaunched();
    void reportWindowState();

    static void onActivate(GApplication*, gpointer self);
    static void onOpen(GApplication*, GFile** files, gint count, gchar* hint, gpointer self);
    static void onShutdown(GApplication*, gpointer self);
    static void onActiveChanged(GObject*, GParamSpec*, gpointer self);
    static gboolean onWindowState(GtkWidget*, GdkEventWindowState* event, gpointer self);

    std::string applicationID_;
    gtk::GObjectPtr<GtkApplication> application_;
    std::shared_ptr<LinuxWindow> window_;
    gtk::SignalConnections signals_;
    bool minimized_ = false;
};

} // namespace platform
