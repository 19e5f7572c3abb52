#include "platform/linux/GtkToast.h"

#include "portable/Dispatch.h"

#include <cstring>

namespace platform {
namespace {

constexpr int edgeMargin = 24;

constexpr const char* toastStyle = R"(
#webcontainer-toast { background-color: rgba(0, 0, 0, 0.8); border-radius: 10px; }
#webcontainer-toast label { color: #ffffff; }
)";

bool isToastPopup(GtkWindow* window)
{
    return std::strcmp(gtk_widget_get_name(GTK_WIDGET(window)), GtkToast::widgetName) == 0;
}

// The active application window, else its first visible one; none without a display.
GtkWindow* windowToShowOver()
{
    if (!gdk_display_get_default())
        return nullptr;
    g_autoptr(GList) toplevels = gtk_window_list_toplevels();
    GtkWindow* active = nullptr;
    GtkWindow* visible = nullptr;
    for (GList* item = toplevels; item; item = item->next) {
        auto* window = GTK_WINDOW(item->data);
        if (isToastPopup(window) || gtk_window_get_window_type(window) != GTK_WINDOW_TOPLEVEL ||
            !gtk_widget_get_visible(GTK_WIDGET(window)))
            continue;
        if (!visible)
            visible = window;
        if (gtk_window_is_active(window)) {
            active = window;
            break;
        }
    }
    return active ? active : visible;
}

void applyStyle(GtkWidget* widget)
{
    static const auto provider = [] {
        auto css = gtk::GObjectPtr<GtkCssProvider>::adopt(gtk_css_provider_new());
        gtk_css_provider_load_from_data(css.get(), toastStyle, -1, nullptr);
        return css;
    }();
    gtk_style_context_add_provider(gtk_widget_get_style_context(widget), GTK_STYLE_PROVIDER(provider.get()),
                                   GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
}

// A new popup over `parent`, not yet shown. GTK keeps the toplevel until it is destroyed; the
// pointer adds a reference of its own.
gtk::GObjectPtr<GtkWidget> makePopup(GtkWindow* parent, const std::string& text, ToastPosition position)
{
    auto held = gtk::GObjectPtr<GtkWidget>::ref(gtk_window_new(GTK_WINDOW_POPUP));
    GtkWidget* popup = held.get();
    gtk_widget_set_name(popup, GtkToast::widgetName);
    gtk_window_set_transient_for(GTK_WINDOW(popup), parent);
    gtk_window_set_destroy_with_parent(GTK_WINDOW(popup), TRUE);
    gtk_window_set_accept_focus(GTK_WINDOW(popup), FALSE);
    gtk_window_set_focus_on_map(GTK_WINDOW(popup), FALSE);

    GtkWidget* label = gtk_label_new(text.c_str());
    gtk_label_set_line_wrap(GTK_LABEL(label), TRUE);
    gtk_label_set_max_width_chars(GTK_LABEL(label), 40);
    gtk_label_set_justify(GTK_LABEL(label), GTK_JUSTIFY_CENTER);
    gtk_widget_set_margin_start(label, 14);
    gtk_widget_set_margin_end(label, 14);
    gtk_widget_set_margin_top(label, 10);
    gtk_widget_set_margin_bottom(label, 10);
    gtk_container_add(GTK_CONTAINER(popup), label);
    applyStyle(popup);
    applyStyle(label);

    int parentX = 0;
    int parentY = 0;
    int parentWidth = 0;
    int parentHeight = 0;
    gtk_window_get_position(parent, &parentX, &parentY);
    gtk_window_get_size(parent, &parentWidth, &parentHeight);
    gtk_widget_show_all(label);
    GtkRequisition size{};
    gtk_widget_get_preferred_size(popup, nullptr, &size);
    int y = parentY + parentHeight - size.height - edgeMargin;
    if (position == ToastPosition::top)
        y = parentY + edgeMargin;
    else if (position == ToastPosition::center)
        y = parentY + (parentHeight - size.height) / 2;
    gtk_window_move(GTK_WINDOW(popup), parentX + (parentWidth - size.width) / 2, y);
    return held;
}

} // namespace

GtkToast::~GtkToast()
{
    hideCurrent();
}

void GtkToast::showImpl(const std::string& text, std::chrono::milliseconds duration, ToastPosition position)
{
    waiting_.push_back({text, duration, position});
    if (!showing_)
        showNext();
}

void GtkToast::showNext()
{
    showing_ = false;
    while (!waiting_.empty()) {
        Waiting next = std::move(waiting_.front());
        waiting_.pop_front();
        GtkWindow* parent = windowToShowOver();
        if (!parent)
            continue;
        popup_ = makePopup(parent, next.text, next.position);
        gtk_widget_show(popup_.get());
        showing_ = true;
        mainQueue().asyncAfter(next.duration, [weak = weak_from_this()] {
            if (auto self = weak.lock()) {
                self->hideCurrent();
                self->showNext();
            }
        });
        return;
    }
}

void GtkToast::hideCurrent()
{
    if (auto popup = std::move(popup_))
        gtk_widget_destroy(popup.get());
}

} // namespace platform
