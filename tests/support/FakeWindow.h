#pragma once
// A window without a screen: it keeps whether it is shown or closed, and its alerts are
// FakeWindows too, so a test finds the alert on top and presses its buttons.

#include "platform/Window.h"

namespace testsupport {

class FakeWindow final : public platform::Window {
public:
    // A main window with a plain content view.
    FakeWindow();
    FakeWindow(const platform::Alert& alert, platform::Window& presenter);

    bool isShown() const { return shown_; }
    bool isClosed() const { return closed_; }
    // The alert on top of this window, or null.
    FakeWindow* topAlert() const;

    // The user closed the main window.
    void closeByUser() { didClose(); }

protected:
    std::shared_ptr<platform::Window> makeAlertWindowImpl(const platform::Alert& alert) override;
    void showImpl() override { shown_ = true; }
    void bringToFrontImpl() override {}
    void closeImpl() override { closed_ = true; }

private:
    bool shown_ = false;
    bool closed_ = false;
};

} // namespace testsupport
