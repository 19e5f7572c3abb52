#pragma once
// A file chooser the test answers: it records what it was shown over and lets the test pick
// URLs or cancel. Like the real one, it keeps its handlers until it has reported once.

#include "platform/DocumentPicker.h"

#include <utility>

namespace testsupport {

class FakeDocumentPicker final : public platform::DocumentPicker {
public:
    explicit FakeDocumentPicker(platform::DocumentTypes types) : types(types) {}

    const platform::DocumentTypes types;
    std::shared_ptr<platform::WebView> shownOver;
    bool shown = false;
    bool dismissed = false;

    void present(const std::shared_ptr<platform::WebView>& over, PickedHandler picked, CancelledHandler cancelled) override
    {
        shown = true;
        shownOver = over;
        picked_ = std::move(picked);
        cancelled_ = std::move(cancelled);
    }
    void dismiss() override { dismissed = true; }

    void pick(std::vector<std::string> urls)
    {
        if (auto picked = std::exchange(picked_, nullptr))
            picked(std::move(urls));
        cancelled_ = nullptr;
    }
    void cancel()
    {
        if (auto cancelled = std::exchange(cancelled_, nullptr))
            cancelled();
        picked_ = nullptr;
    }

private:
    PickedHandler picked_;
    CancelledHandler cancelled_;
};

} // namespace testsupport
