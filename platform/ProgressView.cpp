#include "platform/ProgressView.h"

#include "platform/Dispatch.h"
#include "platform/Platform.h"

#include <algorithm>
#include <cassert>

namespace platform {

void ProgressView::setProgress(float progress, ProgressAnimation animation)
{
    assert(isMainThread() && "views are used on the main thread only");
    // NaN (0 / 0) counts as nothing done.
    progress_ = progress > 0 ? std::min(progress, 1.0f) : 0.0f;
    setProgressImpl(progress_, animation);
}

void ProgressView::setHidden(bool hidden)
{
    assert(isMainThread() && "views are used on the main thread only");
    hidden_ = hidden;
    setHiddenImpl(hidden);
}

bool ProgressView::pinAlongSuperviewBottom(int distanceFromBottom, int sideInset)
{
    assert(isMainThread() && "views are used on the main thread only");
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
