#pragma once
// A rectangle of the window that can hold other views, as the web screen arranges them: the
// screen's view holds the web view, which fills it.
//
// Main thread only. A superview owns its subviews (shared); a subview knows its superview
// without owning it. The hierarchy is kept here; implementations only place the widgets.

#include <memory>
#include <vector>

namespace platform {

class View : public std::enable_shared_from_this<View> {
public:
    View() = default;
    View(const View&) = delete;
    View& operator=(const View&) = delete;
    virtual ~View();

    View* superview() const { return superview_; }
    const std::vector<std::shared_ptr<View>>& subviews() const { return subviews_; }

    // Adds `view` on top of the subviews, taking it from its old superview first.
    void addSubview(std::shared_ptr<View> view);
    void removeFromSuperview();

    // Makes the view fill its superview and follow its size from now on. False (and nothing
    // changes) when the view has no superview.
    bool pinToSuperviewEdges();
    bool isPinnedToSuperviewEdges() const { return pinned_; }

protected:
    // Placing the widgets: `child` was added to, removed from or pinned in this view.
    virtual void addSubviewImpl(View& child) {}
    virtual void removeSubviewImpl(View& child) {}
    virtual void pinSubviewImpl(View& child) {}

private:
    View* superview_ = nullptr;
    std::vector<std::shared_ptr<View>> subviews_;
    bool pinned_ = false;
};

} // namespace platform
