#include "tests/support/FakeWindow.h"

#include "platform/View.h"

namespace testsupport {

FakeWindow::FakeWindow() : Window(std::make_shared<platform::View>()) {}

FakeWindow::FakeWindow(const platform::Alert& alert, platform::Window& presenter) : Window(alert, presenter) {}

FakeWindow* FakeWindow::topAlert() const
{
    const platform::Window* top = this;
    while (top->presentedWindow())
        top = top->presentedWindow().get();
    return top == this ? nullptr : static_cast<FakeWindow*>(const_cast<platform::Window*>(top));
}

std::shared_ptr<platform::Window> FakeWindow::makeAlertWindowImpl(const platform::Alert& alert)
{
    return std::make_shared<FakeWindow>(alert, *this);
}

} // namespace testsupport
