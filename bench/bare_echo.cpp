// The bare engine's bridge round trip: the baseline of bench/bridge_roundtrip.sh.
//
// A minimal WebKitGTK program with none of the project's code: one window, one web view with
// the script-message handler "callbackHandler", showing the same bridge page as the project's
// benchmark (so the page does the same work). The page posts "getUuid?callback=<name>"; the
// native side answers at once by evaluating <name>("<fixed reply>") in the handler itself, and
// the page posts the next one. The time of one round trip is the distance between two
// consecutive arrivals of the page's message (steady clock), as in BridgeRoundTrip_bench.
//
//   bare_echo [--sandbox] <bridge.html>
//
// ROUND_TRIPS (default 2000) sets how many are measured; --sandbox runs the page's process in
// WebKit's sandbox, as the container does.

#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct Echo {
    WebKitWebView* view = nullptr;
    std::size_t trips = 2000;
    std::vector<Clock::time_point> arrivals;
    bool started = false;
};

// The answer's evaluation ends here; its result is released.
void evaluated(GObject* source, GAsyncResult* result, gpointer)
{
    if (JSCValue* value = webkit_web_view_evaluate_javascript_finish(WEBKIT_WEB_VIEW(source), result, nullptr))
        g_object_unref(value);
}

void evaluate(WebKitWebView* view, const std::string& script)
{
    webkit_web_view_evaluate_javascript(view, script.c_str(), static_cast<gssize>(script.size()), nullptr, nullptr,
                                        nullptr, evaluated, nullptr);
}

void onMessage(WebKitUserContentManager*, WebKitJavascriptResult* message, gpointer data)
{
    auto* echo = static_cast<Echo*>(data);
    g_autofree char* text = jsc_value_to_string(webkit_javascript_result_get_js_value(message));
    const std::string body = text ? text : "";
    if (!body.starts_with("getUuid?"))
        return;
    echo->arrivals.push_back(Clock::now());
    const auto callback = body.find("callback=");
    if (callback != std::string::npos) {
        const auto end = body.find('&', callback);
        const std::string name = body.substr(callback + 9, end == std::string::npos ? end : end - callback - 9);
        evaluate(echo->view, name + "(\"{\\\"uuid\\\":\\\"8a3c1f2e-5b7d-4e90-a1c6-2f4b8d9e0a17\\\"}\")");
    }
    if (echo->arrivals.size() > echo->trips)
        gtk_main_quit();
}

void onLoadChanged(WebKitWebView* view, WebKitLoadEvent event, gpointer data)
{
    auto* echo = static_cast<Echo*>(data);
    if (event != WEBKIT_LOAD_FINISHED || echo->started)
        return;
    echo->started = true;
    evaluate(view, "bridgeCheck.measure(" + std::to_string(echo->trips + 1) + "); 0");
}

double percentile(std::vector<double> values, double fraction)
{
    std::sort(values.begin(), values.end());
    const auto index = static_cast<std::size_t>(fraction * static_cast<double>(values.size() - 1) + 0.5);
    return values[std::min(index, values.size() - 1)];
}

} // namespace

int main(int argc, char** argv)
{
    const bool sandboxed = argc == 3 && std::string(argv[1]) == "--sandbox";
    if (argc != 2 + sandboxed || !gtk_init_check(&argc, &argv)) {
        std::fprintf(stderr, "usage: bare_echo [--sandbox] <bridge.html> (with a display)\n");
        return 2;
    }
    const char* page = argv[argc - 1];
    webkit_web_context_set_sandbox_enabled(webkit_web_context_get_default(), sandboxed);
    Echo echo;
    if (const char* text = std::getenv("ROUND_TRIPS"); text && std::atol(text) > 0)
        echo.trips = static_cast<std::size_t>(std::atol(text));
    echo.arrivals.reserve(echo.trips + 1);

    WebKitUserContentManager* manager = webkit_user_content_manager_new();
    webkit_user_content_manager_register_script_message_handler(manager, "callbackHandler");
    g_signal_connect(manager, "script-message-received::callbackHandler", G_CALLBACK(onMessage), &echo);
    echo.view = WEBKIT_WEB_VIEW(webkit_web_view_new_with_user_content_manager(manager));
    g_signal_connect(echo.view, "load-changed", G_CALLBACK(onLoadChanged), &echo);

    GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_default_size(GTK_WINDOW(window), 1024, 768);  // the container's window
    gtk_container_add(GTK_CONTAINER(window), GTK_WIDGET(echo.view));
    gtk_widget_show_all(window);

    g_autofree char* uri = g_filename_to_uri(page, nullptr, nullptr);
    webkit_web_view_load_uri(echo.view, uri);
    g_timeout_add_seconds(120, [](gpointer) -> gboolean {
        gtk_main_quit();
        return G_SOURCE_REMOVE;
    }, nullptr);
    gtk_main();

    if (echo.arrivals.size() <= echo.trips) {
        std::fprintf(stderr, "the page stopped after %zu messages\n", echo.arrivals.size());
        return 1;
    }
    std::vector<double> gaps;
    for (std::size_t i = 1; i < echo.arrivals.size(); ++i)
        gaps.push_back(std::chrono::duration<double, std::micro>(echo.arrivals[i] - echo.arrivals[i - 1]).count());
    std::printf("bare round trip, %zu round trips: median %.1f us, 99th percentile %.1f us (native clock)\n",
                gaps.size(), percentile(gaps, 0.5), percentile(gaps, 0.99));
    gtk_widget_destroy(window);
    g_object_unref(manager);
    return 0;
}
