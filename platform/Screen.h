#pragma once
// A screen of the application: it shows its content in the view of the window it is the root
// of, and is told when that view has loaded and when it appears and disappears.
//
// Main thread only. The window owns its root screen; the screen's window pointer is valid
// while it is the root.

#include <memory>

namespace platform {

class View;
class Window;

class Screen {
public:
    virtual ~Screen() = default;

    // The view the screen fills; none until it becomes a window's root.
    const std::shared_ptr<View>& view() const { return view_; }
    Window* window() const { return window_; }

    virtual void viewDidLoad() {}
    virtual void viewWillAppear() {}
    virtual void viewDidAppear() {}
    virtual void viewWillDisappear() {}
    // After the window has put another screen in this one's place (Window::replaceRootScreen).
    virtual void viewDidDisappear() {}

private:
    friend class Window;
    std::shared_ptr<View> view_;
    Window* window_ = nullptr;
    bool loaded_ = false;
};

} // namespace platform
