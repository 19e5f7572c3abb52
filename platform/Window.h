#pragma once
// A window of the application: the main window, which shows the root screen in its content
// view, or an alert presented over another window. Presenting over a window that already
// presents an alert presents over the topmost one, so alerts stack and none is lost.
//
// Main thread only. A window owns the alert it presents; an alert knows its presenter without
// owning it. An alert closes when one of its buttons is pressed, and the button's action runs
// after it closed; every alert has at least one button. The user may also dismiss an alert
// (Escape, the close button of its title bar): that counts as its cancel button when it has
// one, and otherwise closes it without running any action.

#include "platform/Alert.h"

#include <memory>
#include <optional>

namespace platform {

class Screen;
class View;

class Window : public std::enable_shared_from_this<Window> {
public:
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;
    virtual ~Window();

    // The main window's content view; none for an alert.
    const std::shared_ptr<View>& contentView() const { return contentView_; }

    // Makes `screen` the root: it shows its content in the content view.
    void setRootScreen(std::shared_ptr<Screen> screen);
    const std::shared_ptr<Screen>& rootScreen() const { return rootScreen_; }
    // Puts `screen` in the place of the root screen of a window on screen: the old one is told
    // it will disappear, then the new one loads and appears, then the old one has disappeared.
    void replaceRootScreen(std::shared_ptr<Screen> screen);

    // Puts the window on screen: the root screen loads its view the first time, then appears.
    void show();
    // Brings the window on screen to the front, out of the minimized state, as the desktop does
    // for the application the user turns to (a click on one of its notifications).
    void bringToFront();

    // Presents `alert` over this window (or over the alert on top of it) and returns its window.
    std::shared_ptr<Window> present(Alert alert);
    // The alert this window presents, or none.
    const std::shared_ptr<Window>& presentedWindow() const { return presented_; }

    // For an alert window: what it shows.
    const std::optional<Alert>& alert() const { return alert_; }
    // Presses button `index` of this alert: the alert (and any alert over it) closes, then the
    // button's action runs. Does nothing for a window that is no alert, an alert already
    // answered, or an index without a button.
    void pressAlertButton(std::size_t index);
    // The user edited text field `index` of this alert to `text`; other indexes are ignored.
    void setTextFieldText(std::size_t index, std::string text);
    // Answers the alert with its cancel button, when it has one; false otherwise (it stays).
    bool cancelAlert();
    // The user dismissed the alert: its cancel button when it has one; otherwise the alert (and
    // any alert over it) closes and no action runs. Does nothing for an alert already answered.
    void dismissAlert();

protected:
    // A main window whose content is `contentView`.
    explicit Window(std::shared_ptr<View> contentView);
    // An alert presented over `presenter`.
    Window(Alert alert, Window& presenter);

    // Makes the alert window (not yet shown) over this window.
    virtual std::shared_ptr<Window> makeAlertWindowImpl(const Alert& alert) = 0;
    virtual void showImpl() = 0;
    virtual void bringToFrontImpl() = 0;
    // Takes the window off screen for good.
    virtual void closeImpl() = 0;

    // For implementations: the main window was closed by the user; the root screen disappears.
    void didClose();

private:
    // A screen loads its view the first time it comes on screen.
    static void loadView(const std::shared_ptr<Screen>& screen);
    void dismissPresented();
    // Takes this alert (and any over it) off screen and out of its presenter, for good.
    void closeAnswered();

    std::shared_ptr<View> contentView_;
    std::shared_ptr<Screen> rootScreen_;
    std::shared_ptr<Window> presented_;
    std::optional<Alert> alert_;
    Window* presenter_ = nullptr;
    bool answered_ = false;
    bool closed_ = false;
};

} // namespace platform
