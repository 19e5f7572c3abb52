#include "platform/Toast.h"

#include "platform/Platform.h"
#include "portable/Check.h"

namespace platform {

void Toast::show(const std::string& text, std::chrono::milliseconds duration, ToastPosition position)
{
    requireMainThread();
    showImpl(text, duration, position);
}

void showToast(const std::string& text, std::chrono::milliseconds duration, ToastPosition position)
{
    if (auto& installed = current().toast)
        installed->show(text, duration, position);
}

} // namespace platform
