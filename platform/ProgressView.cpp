#include "platform/ProgressView.h"

#include "platform/Platform.h"
#include "portable/Check.h"

#include <algorithm>

namespace platform {

void ProgressView::setProgress(float progress, ProgressAnimation animation)
{
    requireMainThread();
    // NaN (0 / 0) counts as nothing done.
    progress_ = progress > 0 ? std::min(progress, 1.0f) : 0.0f;
    setProgressImpl(progress_, animation);
}

void ProgressView::setHidden(bool hidden)
{
    requireMainThread();
    hidden_ = hidden;
    setHiddenImpl(hidden);
}

bool ProgressView::pinAlongSuperviewBottom(int distanceFromBottom, int sideInset)
{
    requireMainThread();
    if (!superview())
        return false;
    pinAlongSuperviewBottomImpl(distanceFromBottom, sideInset);
    return true;
}

std::shared_ptr<ProgressView> makeProgressView()
{
    auto& make = current().makeProgressView;
    return make ? make() : nullptr;
}

} // namespace platform
