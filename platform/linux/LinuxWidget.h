#pragma once
// What the Linux views have in common: the GTK widget that shows them. Main thread only; the
// widget lives as long as the view.

#include <gtk/gtk.h>

namespace platform {

class LinuxWidget {
public:
    virtual ~LinuxWidget() = default;
    virtual GtkWidget* widget() const = 0;
};

} // namespace platform
