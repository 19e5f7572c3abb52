#pragma once
// A toast that records what it was asked to show, in order.

#include "platform/Toast.h"

#include <vector>

namespace testsupport {

class FakeToast final : public platform::Toast {
public:
    struct Shown {
        std::string text;
        std::chrono::milliseconds duration;
        platform::ToastPosition position;
    };

    std::vector<Shown> shown;

protected:
    void showImpl(const std::string& text, std::chrono::milliseconds duration, platform::ToastPosition position) override
    {
        shown.push_back({text, duration, position});
    }
};

} // namespace testsupport
