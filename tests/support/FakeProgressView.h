#pragma once
// A progress bar that records every fraction it was given, with its animation, and where it was
// laid.

#include "platform/ProgressView.h"

#include <optional>
#include <utility>
#include <vector>

namespace testsupport {

class FakeProgressView final : public platform::ProgressView {
public:
    std::vector<std::pair<float, platform::ProgressAnimation>> progressSteps;
    // distance from the bottom, side inset
    std::optional<std::pair<int, int>> pinnedAlongBottom;

protected:
    void setProgressImpl(float progress, platform::ProgressAnimation animation) override
    {
        progressSteps.emplace_back(progress, animation);
    }
    void setHiddenImpl(bool) override {}
    void pinAlongSuperviewBottomImpl(int distanceFromBottom, int sideInset) override
    {
        pinnedAlongBottom = {distanceFromBottom, sideInset};
    }
};

} // namespace testsupport
