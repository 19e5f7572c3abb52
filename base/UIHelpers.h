#pragma once
// Small helpers for the screens: the window on top, the one alert of the system, and making a
// view fill its superview. Main thread only; callers on other threads post to the main queue.

#include "platform/View.h"
#include "platform/Window.h"

#include <functional>
#include <optional>
#include <string>

// The window on top of `window`: the alert it presents (and the alert over that, and so on),
// or `window` itself. Null for null.
platform::Window* topViewController(platform::Window* window);

struct AlertButton {
    std::string title;
    std::function<void()> action;
};

// Shows an alert over whatever is on top of the application delegate's window: the title in
// the accent blue, the message in gray, the first button and, when given, the second. Shows
// nothing when there is no such window.
void showAlert(const std::string& title, const std::string& message, const AlertButton& first,
               const std::optional<AlertButton>& second = std::nullopt);

// Makes `view` fill its superview and follow its size. A view without superview is logged and
// left alone.
void bindFrameToSuperviewBounds(platform::View& view);
