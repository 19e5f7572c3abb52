#include "webcontainer/PreviewItems.h"

#include "platform/PreviewController.h"
#include "portable/Check.h"

#include <algorithm>

std::size_t PreviewItems::indexOf(const std::filesystem::path& file)
{
    platform::requireMainThread();
    const auto found = std::find(fileURLs_.begin(), fileURLs_.end(), file);
    if (found != fileURLs_.end())
        return static_cast<std::size_t>(found - fileURLs_.begin());
    fileURLs_.push_back(file);
    return fileURLs_.size() - 1;
}

void PreviewItems::present(std::size_t index) const
{
    platform::presentPreview(fileURLs_, index);
}
