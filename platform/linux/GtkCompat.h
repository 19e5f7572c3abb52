#pragma once
// Every GTK and WebKitGTK call whose form differs between the versions we may meet lives here:
// GTK 3 with WebKitGTK 4.1 (webkit2gtk-4.1) is what we build for; the rest of platform/linux/
// calls these instead of the version-specific API. Main thread only, as GTK is.

#include "platform/linux/JSCValueText.h"

#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <optional>
#include <string>

namespace platform::gtk {

// A web view with its own engine context, content manager and settings (each adopted by the view).
inline GtkWidget* newWebView(WebKitWebContext* context, WebKitUserContentManager* contentManager,
                             WebKitSettings* settings)
{
    return GTK_WIDGET(g_object_new(WEBKIT_TYPE_WEB_VIEW, "web-context", context, "user-content-manager",
                                   contentManager, "settings", settings, nullptr));
}

// An engine context whose website data and caches live in the folders given: 4.1 sets them on
// the context's data manager (6.0 has them on a network session instead).
inline WebKitWebContext* newWebContext(const std::string& dataFolder, const std::string& cacheFolder)
{
    WebKitWebsiteDataManager* manager = webkit_website_data_manager_new(
        "base-data-directory", dataFolder.c_str(), "base-cache-directory", cacheFolder.c_str(), nullptr);
    WebKitWebContext* context = webkit_web_context_new_with_website_data_manager(manager);
    g_object_unref(manager);
    return context;
}

// 4.1 takes the handler name alone (the page's main world); 6.0 adds the world name.
inline void registerScriptMessageHandler(WebKitUserContentManager* manager, const char* name)
{
    webkit_user_content_manager_register_script_message_handler(manager, name);
}

// The argument of "script-message-received": a WebKitJavascriptResult in 4.1, a JSCValue in 6.0.
using ScriptMessageArgument = WebKitJavascriptResult;

// The text of a posted message when it is a string (see stringText()); nothing for any other
// value. 4.1 still hands out the engine's own value, whose characters are read directly.
inline std::optional<std::string> scriptMessageText(ScriptMessageArgument* message)
{
    G_GNUC_BEGIN_IGNORE_DEPRECATIONS
    JSGlobalContextRef context = webkit_javascript_result_get_global_context(message);
    JSValueRef value = webkit_javascript_result_get_value(message);
    G_GNUC_END_IGNORE_DEPRECATIONS
    return stringText(context, value);
}

// Evaluation with completion: webkit_web_view_evaluate_javascript since 2.40.
inline void evaluateJavaScript(WebKitWebView* view, const std::string& script, GAsyncReadyCallback callback,
                               gpointer data)
{
    webkit_web_view_evaluate_javascript(view, script.c_str(), static_cast<gssize>(script.size()), nullptr, nullptr,
                                        nullptr, callback, data);
}

inline JSCValue* evaluateJavaScriptFinish(WebKitWebView* view, GAsyncResult* result, GError** error)
{
    return webkit_web_view_evaluate_javascript_finish(view, result, error);
}

// A swipe recogniser on `widget` that the caller owns. GTK 3 attaches it at creation.
inline GtkGesture* newSwipeGesture(GtkWidget* widget)
{
    GtkGesture* gesture = gtk_gesture_swipe_new(widget);
    // A mouse drag in a page selects text; only a finger swipes.
    gtk_gesture_single_set_touch_only(GTK_GESTURE_SINGLE(gesture), TRUE);
    return gesture;
}

// The overlay that holds a view's subviews above an empty base.
inline GtkWidget* newOverlay()
{
    GtkWidget* overlay = gtk_overlay_new();
    gtk_container_add(GTK_CONTAINER(overlay), gtk_event_box_new());
    return overlay;
}

inline void addOverlayChild(GtkWidget* overlay, GtkWidget* child)
{
    gtk_overlay_add_overlay(GTK_OVERLAY(overlay), child);
    gtk_widget_show_all(child);
}

inline void removeChild(GtkWidget* container, GtkWidget* child)
{
    gtk_container_remove(GTK_CONTAINER(container), child);
}

inline void setWindowChild(GtkWidget* window, GtkWidget* child)
{
    gtk_container_add(GTK_CONTAINER(window), child);
}

// "window-state-event" of GTK 3: is the window minimized now?
inline bool isMinimized(const GdkEventWindowState* event)
{
    return (event->new_window_state & GDK_WINDOW_STATE_ICONIFIED) != 0;
}

inline void showWindow(GtkWidget* window)
{
    gtk_widget_show_all(window);
    gtk_window_present(GTK_WINDOW(window));
}

inline void destroyWidget(GtkWidget* widget)
{
    gtk_widget_destroy(widget);
}

} // namespace platform::gtk
