#pragma once
// A masked image view that draws nothing: it keeps the picture, the mask and the animation it
// was given, and the test ends the animation with stop().

#include "platform/MaskedImageView.h"

#include <optional>

namespace testsupport {

class FakeMaskedImageView final : public platform::MaskedImageView {
public:
    bool setImage(const std::filesystem::path& file) override { return image = file, true; }
    bool setMask(const std::filesystem::path& file, platform::Rect bounds) override
    {
        mask = file;
        maskBounds = bounds;
        return true;
    }
    void removeMask() override { mask.reset(); }
    void addMaskAnimation(platform::KeyframeAnimation added, DidStop stopped) override
    {
        animation = std::move(added);
        didStop = std::move(stopped);
    }
    // Ends the animation as the compositor would.
    void stop(bool finished) { didStop(finished); }

    std::optional<std::filesystem::path> image;
    std::optional<std::filesystem::path> mask;
    platform::Rect maskBounds;
    std::optional<platform::KeyframeAnimation> animation;
    DidStop didStop;
};

} // namespace testsupport
