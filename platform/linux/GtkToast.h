#pragma once
// Toasts on GTK 3: a borderless popup laid over the application's active window (over its
// first visible window when none is active), centred across it at its top, middle or bottom.
// The popup takes no focus and goes with its window. When GTK has no display or no window is
// open, a toast is dropped without a trace. Main thread only; the toast is shared-owned (its
// timers hold it weakly).

#include "platform/Toast.h"
#include "platform/linux/GObjectPtr.h"

#include <gtk/gtk.h>

#include <deque>
#include <memory>

namespace platform {

class GtkToast final : public Toast, public std::enable_shared_from_this<GtkToast> {
public:
    // The widget name of every toast popup.
    static constexpr const char* widgetName = "webcontainer-toast";

    GtkToast() = default;
    ~GtkToast() override;

protected:
    void showImpl(const std::string& text, std::chrono::milliseconds duration, ToastPosition position) override;

private:
    struct Waiting {
        std::string text;
        std::chrono::milliseconds duration;
        ToastPosition position;
    };

    // Shows the next waiting toast that has a window to go over.
    void showNext();
    void hideCurrent();

    std::deque<Waiting> waiting_;
    // The popup on show, with a reference of our own. GTK may have destroyed it already with
    // its window; destroying it again then does nothing.
    gtk::GObjectPtr<GtkWidget> popup_;
    bool showing_ = false;
};

} // namespace platform
