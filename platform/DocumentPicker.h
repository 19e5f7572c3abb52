#pragma once
// The desktop's dialog for choosing a file, shown over the page's window. The user picks files
// (reported as file URLs, "file:///home/a/report.pdf") or cancels; exactly one of the two is
// reported, once. Picking hands over URLs only: what is done with the files is the caller's.
//
// Threads: main thread only; the outcome is reported on the main queue. Lifetimes: a picker
// keeps itself and its handlers alive while it is shown and drops both once it has reported.

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace platform {

class WebView;

// Which files a picker offers: every file, or images only.
enum class DocumentTypes { item, image };

class DocumentPicker {
public:
    using PickedHandler = std::function<void(std::vector<std::string> urls)>;
    using CancelledHandler = std::function<void()>;

    virtual ~DocumentPicker() = default;
    // Shows the dialog over the window that holds `over` (over none when it is null).
    virtual void present(const std::shared_ptr<WebView>& over, PickedHandler picked, CancelledHandler cancelled) = 0;
    // Takes the dialog away without reporting.
    virtual void dismiss() = 0;
};

} // namespace platform
