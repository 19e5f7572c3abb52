#pragma once
// What the Linux views have in common: the GTK widget that shows them.

#include <gtk/gtk.h>

namespace platform {

class LinuxWidget {
public:
    virtual ~LinuxWidget() = default;
    virtual GtkWidget* widget() const = 0;
};

} // namespace platform
