#pragma once
// The preview of local files in a window of the application over its main window: images
// (GdkPixbuf), PDF documents (every page, rendered by poppler) and text, one file at a time,
// with buttons to the previous and the next file of the list. A file of any other type goes to
// the desktop's default application for it (through the installed URL opener, as a file URL)
// and the window stays as it was. Closing the window hides it; presenting shows it again.
//
// Main thread only; lives as long as the platform.

#include "platform/PreviewController.h"
#include "platform/linux/GObjectPtr.h"

#include <gtk/gtk.h>

#include <string>

namespace platform {

class GtkPreviewController final : public PreviewController {
public:
    // What the window shows now.
    enum class Shown { nothing, image, pdf, text, missing, handedToDesktop };

    GtkPreviewController();
    ~GtkPreviewController() override;

    Shown shown() const { return shown_; }
    // The file shown (or handed to the desktop) last.
    const std::filesystem::path& shownFile() const { return shownFile_; }
    // The window, while it is on screen; null otherwise.
    GtkWindow* visibleWindow() const;
    // Moves to the previous (-1) or next (+1) file of the list, as the window's buttons do.
    void step(int direction);

protected:
    void presentImpl(const std::vector<std::filesystem::path>& items, std::size_t currentIndex) override;

private:
    void buildWindow();
    void showCurrent();
    // The widget that shows `file`, or null when it is no image, PDF or text.
    GtkWidget* contentFor(const std::filesystem::path& file);

    gtk::GObjectPtr<GtkWidget> window_;
    GtkWidget* title_ = nullptr;
    GtkWidget* previous_ = nullptr;
    GtkWidget* next_ = nullptr;
    GtkWidget* scroller_ = nullptr;
    gtk::SignalConnections signals_;
    std::vector<std::filesystem::path> items_;
    std::size_t index_ = 0;
    Shown shown_ = Shown::nothing;
    std::filesystem::path shownFile_;
};

} // namespace platform
