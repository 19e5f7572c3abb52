#pragma once
// What an alert shows: a title, a message and its buttons, each with the action it runs.
// A plain value: built on any thread, presented by a window on the main thread
// (Window::present), whose button actions then run on the main thread.

#include <functional>
#include <string>
#include <vector>

namespace platform {

struct AlertAction {
    enum class Style { Default, Cancel };

    std::string title;
    Style style = Style::Default;
    std::function<void()> handler; // may be empty
    // For an alert with text fields: runs instead of `handler` with the fields' texts as the
    // user left them, in field order. May be empty.
    std::function<void(const std::vector<std::string>& texts)> textsHandler{};
};

struct Alert {
    // Tinted: the title in the accent blue and the message in gray, as the system's own alerts look.
    enum class Appearance { Plain, Tinted };

    std::string title;
    std::string message;
    std::vector<AlertAction> actions;
    Appearance appearance = Appearance::Plain;
    // Text fields under the message, each holding its text to start with.
    std::vector<std::string> textFields{};
};

} // namespace platform
