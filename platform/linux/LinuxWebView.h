#pragma once
// The web view on WebKitGTK 4.1: one WebKitWebView with a WebKitWebContext of its own.
// Engine signals become the reports of platform::WebView. Main thread only.

#include "platform/WebView.h"
#include "platform/linux/GObjectPtr.h"
#include "platform/linux/GtkCompat.h"
#include "platform/linux/LinuxWidget.h"

#include <webkit2/webkit2.h>

#include <memory>
#include <string>
#include <vector>

namespace platform {

class LinuxWebView final : public WebView, public LinuxWidget {
public:
    // `sandboxed`: run the page's process in the engine's sandbox, which sees only the folder
    // given as read access (some containers refuse the sandbox, so it is a choice).
    LinuxWebView(const WebViewConfiguration& configuration, bool sandboxed);
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
    bool sandboxed_ = false;
    bool loadedOnce_ = false;
    bool committed_ = false;
    bool failed_ = false;
};

} // namespace platform
