#pragma once
// Toasts: a short text shown over the application's window for a while, at its top, centre or
// bottom, then gone by itself. Toasts queue: each shows once the one before it has gone.
// Without a window nothing is shown.
//
// Main thread only. The installed toast lives as long as the platform.

#include <chrono>
#include <string>

namespace platform {

enum class ToastPosition { top, center, bottom };

class Toast {
public:
    virtual ~Toast() = default;

    // Shows `text` for `duration` at `position`, after the toasts already waiting.
    void show(const std::string& text, std::chrono::milliseconds duration, ToastPosition position);

protected:
    virtual void showImpl(const std::string& text, std::chrono::milliseconds duration, ToastPosition position) = 0;
};

// Shows a toast with the installed platform's toast; nothing when none is installed.
void showToast(const std::string& text, std::chrono::milliseconds duration, ToastPosition position);

} // namespace platform
