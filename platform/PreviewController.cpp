#include "platform/PreviewController.h"

#include "platform/Platform.h"
#include "portable/Check.h"

namespace platform {

void PreviewController::present(const std::vector<std::filesystem::path>& items, std::size_t currentIndex)
{
    requireMainThread();
    if (currentIndex < items.size())
        presentImpl(items, currentIndex);
}

void presentPreview(const std::vector<std::filesystem::path>& items, std::size_t currentIndex)
{
    if (auto& installed = current().previewController)
        installed->present(items, currentIndex);
}

} // namespace platform
