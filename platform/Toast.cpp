#include "platform/Toast.h"

#include "platform/Dispatch.h"
#include "platform/Platform.h"

#include <cassert>

namespace platform {

void Toast::show(const std::string& text, std::chrono::milliseconds duration, ToastPosition position)
{
    assert(isMainThread() && "toasts are shown on the main thread only");
    showImpl(text, duration, position);
}

void showToast(const std::string& text, std::chrono::milliseconds duration, ToastPosition position)
{
    if (auto& installed = current().toast)
        installed->show(text, duration, position);
}

} // namespace platform
