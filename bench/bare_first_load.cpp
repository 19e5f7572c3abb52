// The bare engine's first navigation: the baseline of bench/first_navigation.sh.
//
// A minimal WebKitGTK program with none of the project's code: one window, one web view that
// loads the given page and writes the line "WEBVIEW: finished loading page" to standard output
// when its load finishes, the line the container logs at the same moment.
//
//   bare_first_load <page.html>

#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <cstdio>

namespace {

void onLoadChanged(WebKitWebView*, WebKitLoadEvent event, gpointer)
{
    if (event != WEBKIT_LOAD_FINISHED)
        return;
    std::printf("WEBVIEW: finished loading page\n");
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2 || !gtk_init_check(&argc, &argv)) {
        std::fprintf(stderr, "usage: bare_first_load <page.html> (with a display)\n");
        return 1;
    }
    GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_default_size(GTK_WINDOW(window), 1024, 768);
    GtkWidget* view = webkit_web_view_new();
    gtk_container_add(GTK_CONTAINER(window), view);
    g_signal_connect(view, "load-changed", G_CALLBACK(onLoadChanged), nullptr);
    g_signal_connect(window, "destroy", G_CALLBACK(gtk_main_quit), nullptr);
    g_autofree char* uri = g_filename_to_uri(argv[1], nullptr, nullptr);
    webkit_web_view_load_uri(WEBKIT_WEB_VIEW(view), uri);
    gtk_widget_show_all(window);
    gtk_main();
    return 0;
}
