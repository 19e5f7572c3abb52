#include "platform/View.h"

#include "portable/Check.h"

#include <algorithm>

namespace platform {

View::~View()
{
    for (auto& child : subviews_)
        child->superview_ = nullptr;
}

void View::addSubview(std::shared_ptr<View> view)
{
    requireMainThread();
    WEBCONTAINER_CHECK(view && view.get() != this);
    view->removeFromSuperview();
    view->superview_ = this;
    view->pinned_ = false;
    subviews_.push_back(view);
    addSubviewImpl(*view);
}

void View::removeFromSuperview()
{
    requireMainThread();
    View* parent = superview_;
    if (!parent)
        return;
    auto it = std::find_if(parent->subviews_.begin(), parent->subviews_.end(),
                           [this](const auto& child) { return child.get() == this; });
    // Keeps this view alive until the superview has let go of it.
    std::shared_ptr<View> self = *it;
    parent->subviews_.erase(it);
    superview_ = nullptr;
    pinned_ = false;
    parent->removeSubviewImpl(*this);
}

bool View::pinToSuperviewEdges()
{
    requireMainThread();
    if (!superview_)
        return false;
    pinned_ = true;
    superview_->pinSubviewImpl(*this);
    return true;
}

} // namespace platform
