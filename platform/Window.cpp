#include "platform/Window.h"

#include "platform/Screen.h"
#include "portable/Check.h"

namespace platform {

Window::Window(std::shared_ptr<View> contentView) : contentView_(std::move(contentView)) {}

Window::Window(Alert alert, Window& presenter) : alert_(std::move(alert)), presenter_(&presenter)
{
    WEBCONTAINER_CHECK(!alert_->actions.empty());
}

Window::~Window()
{
    if (rootScreen_) {
        rootScreen_->window_ = nullptr;
        rootScreen_->view_.reset();
    }
}

void Window::setRootScreen(std::shared_ptr<Screen> screen)
{
    requireMainThread();
    if (rootScreen_) {
        rootScreen_->window_ = nullptr;
        rootScreen_->view_.reset();
    }
    rootScreen_ = std::move(screen);
    if (rootScreen_) {
        rootScreen_->window_ = this;
        rootScreen_->view_ = contentView_;
    }
}

void Window::show()
{
    requireMainThread();
    // Holds the screen in case its callbacks replace it.
    auto screen = rootScreen_;
    loadView(screen);
    if (screen)
        screen->viewWillAppear();
    showImpl();
    if (screen)
        screen->viewDidAppear();
}

void Window::bringToFront()
{
    requireMainThread();
    bringToFrontImpl();
}

void Window::replaceRootScreen(std::shared_ptr<Screen> screen)
{
    requireMainThread();
    // Holds the old screen until it has heard that it disappeared.
    auto old = rootScreen_;
    if (old)
        old->viewWillDisappear();
    setRootScreen(screen);
    loadView(screen);
    if (screen) {
        screen->viewWillAppear();
        screen->viewDidAppear();
    }
    if (old)
        old->viewDidDisappear();
}

void Window::loadView(const std::shared_ptr<Screen>& screen)
{
    if (screen && !screen->loaded_) {
        screen->loaded_ = true;
        screen->viewDidLoad();
    }
}

std::shared_ptr<Window> Window::present(Alert alert)
{
    requireMainThread();
    Window* top = this;
    while (top->presented_)
        top = top->presented_.get();
    auto window = top->makeAlertWindowImpl(alert);
    top->presented_ = window;
    window->showImpl();
    return window;
}

void Window::pressAlertButton(std::size_t index)
{
    requireMainThread();
    if (!alert_ || answered_ || index >= alert_->actions.size())
        return;
    answered_ = true;
    // Keeps this alert alive while it closes.
    auto self = weak_from_this().lock();
    auto handler = alert_->actions[index].handler;
    auto textsHandler = alert_->actions[index].textsHandler;
    const auto texts = alert_->textFields;
    closeAnswered();
    if (textsHandler)
        textsHandler(texts);
    else if (handler)
        handler();
}

void Window::setTextFieldText(std::size_t index, std::string text)
{
    requireMainThread();
    if (alert_ && index < alert_->textFields.size())
        alert_->textFields[index] = std::move(text);
}

bool Window::cancelAlert()
{
    requireMainThread();
    if (!alert_ || answered_)
        return false;
    for (std::size_t i = 0; i < alert_->actions.size(); ++i) {
        if (alert_->actions[i].style == AlertAction::Style::Cancel) {
            pressAlertButton(i);
            return true;
        }
    }
    return false;
}

void Window::dismissAlert()
{
    requireMainThread();
    if (cancelAlert() || !alert_ || answered_)
        return;
    answered_ = true;
    // Keeps this alert alive while it closes.
    auto self = weak_from_this().lock();
    closeAnswered();
}

void Window::closeAnswered()
{
    dismissPresented();
    if (presenter_ && presenter_->presented_.get() == this)
        presenter_->presented_.reset();
    if (!closed_) {
        closed_ = true;
        closeImpl();
    }
}

void Window::dismissPresented()
{
    auto presented = std::move(presented_);
    presented_.reset();
    if (!presented)
        return;
    presented->dismissPresented();
    if (!presented->closed_) {
        presented->closed_ = true;
        presented->closeImpl();
    }
}

void Window::didClose()
{
    closed_ = true;
    dismissPresented();
    if (auto screen = rootScreen_)
        screen->viewWillDisappear();
}

} // namespace platform
