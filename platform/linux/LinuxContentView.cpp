#include "platform/linux/LinuxContentView.h"

#include "platform/linux/GtkCompat.h"

namespace platform {
namespace {

GtkWidget* widgetOf(View& view)
{
    auto* linux = dynamic_cast<LinuxWidget*>(&view);
    return linux ? linux->widget() : nullptr;
}

} // namespace

LinuxContentView::LinuxContentView() : overlay_(gtk::GObjectPtr<GtkWidget>::ref(gtk::newOverlay())) {}

LinuxContentView::~LinuxContentView()
{
    gtk::destroyWidget(overlay_.get());
}

void LinuxContentView::addSubviewImpl(View& child)
{
    if (GtkWidget* widget = widgetOf(child)) {
        gtk_widget_set_halign(widget, GTK_ALIGN_START);
        gtk_widget_set_valign(widget, GTK_ALIGN_START);
        gtk::addOverlayChild(overlay_.get(), widget);
    }
}

void LinuxContentView::removeSubviewImpl(View& child)
{
    if (GtkWidget* widget = widgetOf(child); widget && gtk_widget_get_parent(widget) == overlay_.get())
        gtk::removeChild(overlay_.get(), widget);
}

void LinuxContentView::pinSubviewImpl(View& child)
{
    if (GtkWidget* widget = widgetOf(child)) {
        gtk_widget_set_halign(widget, GTK_ALIGN_FILL);
        gtk_widget_set_valign(widget, GTK_ALIGN_FILL);
        gtk_widget_set_hexpand(widget, TRUE);
        gtk_widget_set_vexpand(widget, TRUE);
    }
}

} // namespace platform
