#pragma once
// The web view on WebKitGTK 4.1: one WebKitWebView with a WebKitWebContext of its own.
// Engine signals become the reports of platform::WebView. Main thread only.
//
// The page reads files of the configuration's readAccessFolder only. The network process
// reads files for the page, and WebKit's sandbox does not confine it (with the sandbox on, a
// page still reads the home folder through it). So the confinement is the web-process
// extension (bundle/web-extensions/), which cancels every file request outside the folder,
// plus the navigation policy here; WebKit's sandbox, when on, is a second wall around the
// page's own process (it sees the folder and the system's files, not the home).

#include "platform/WebView.h"
#include "platform/linux/GObjectPtr.h"
#include "platform/linux/GtkCompat.h"
#include "platform/linux/LinuxWidget.h"
#include "platform/linux/ReadAccessRule.h"
#include "platform/linux/WebsiteDataFolders.h"

#include <webkit2/webkit2.h>

#include <memory>
#include <string>
#include <vector>

namespace platform {

class LinuxWebView final : public WebView, public LinuxWidget {
public:
    // `sandboxed`: run the page's process in the engine's sandbox (some containers refuse it,
    // so it is a choice). `extensionsFolder`: where the confining web-process extension lies.
    // `websiteData`: where the page's stored data and caches live.
    LinuxWebView(const WebViewConfiguration& configuration, bool sandboxed,
                 const std::filesystem::path& extensionsFolder, const gtk::WebsiteDataFolders& websiteData);
    ~LinuxWebView() override;

    GtkWidget* widget() const override { return GTK_WIDGET(view_.get()); }

protected:
    void evaluateJavaScriptImpl(const std::string& script, ScriptCompletion completion) override;
    void loadFileURLImpl(const std::filesystem::path& file, const std::filesystem::path& readAccess) override;
    std::optional<std::string> urlImpl() const override;

private:
    struct MessageHandler {
        LinuxWebView* owner;
        std::string name;
    };

    // The view while it is owned; nothing while it is being destroyed.
    static std::shared_ptr<LinuxWebView> lock(gpointer self);

    static void onLoadChanged(WebKitWebView*, WebKitLoadEvent event, gpointer self);
    static gboolean onLoadFailed(WebKitWebView*, WebKitLoadEvent event, char* uri, GError* error, gpointer self);
    static gboolean onDecidePolicy(WebKitWebView*, WebKitPolicyDecision* decision, WebKitPolicyDecisionType type,
                                   gpointer self);
    static void onProcessTerminated(WebKitWebView*, WebKitWebProcessTerminationReason, gpointer self);
    static gboolean onScriptDialog(WebKitWebView*, WebKitScriptDialog* dialog, gpointer self);
    static void onScriptMessage(WebKitUserContentManager*, gtk::ScriptMessageArgument* message, gpointer handler);
    static void onSwipe(GtkGestureSwipe*, gdouble velocityX, gdouble velocityY, gpointer self);

    gtk::GObjectPtr<WebKitWebContext> context_;
    gtk::GObjectPtr<WebKitUserContentManager> contentManager_;
    gtk::GObjectPtr<WebKitWebView> view_;
    gtk::GObjectPtr<GtkGesture> swipe_;
    std::vector<std::unique_ptr<MessageHandler>> messageHandlers_;
    // Declared last: disconnected first, while the objects above still live.
    gtk::SignalConnections signals_;
    gtk::ReadAccessRule readAccess_;
    // The URL of the load asked for by loadFileURL until its policy question comes.
    std::string ownLoad_;
    bool committed_ = false;
    bool failed_ = false;
};

} // namespace platform
