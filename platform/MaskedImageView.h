#pragma once
// A view that shows a picture (scaled to fit, keeping its aspect) through an optional mask:
// another picture whose opaque parts let the view's picture show. The mask is drawn centred on
// the view, scaled to fit its bounds keeping its aspect; its bounds can be animated by a
// key-frame animation that the compositor's frame clock plays, with no other work while it
// runs. Outside the mask nothing of the picture shows.
//
// Main thread only. `didStop` of an animation runs once, on the main queue after the frame that
// ended it (finished: true), or when the mask is removed before (finished: false); never after
// the view is gone.

#include "platform/View.h"
#include "portable/KeyframeAnimation.h"

#include <filesystem>
#include <functional>
#include <memory>

namespace platform {

class MaskedImageView : public View {
public:
    using DidStop = std::function<void(bool finished)>;

    // False when the file is no picture that can be read.
    virtual bool setImage(const std::filesystem::path& image) = 0;
    // Masks the view with the picture `mask` at `bounds` (its model bounds); false when it
    // can't be read.
    virtual bool setMask(const std::filesystem::path& mask, Rect bounds) = 0;
    // Removes the mask (and stops its animation); the whole picture shows again.
    virtual void removeMask() = 0;
    // Plays `animation` on the mask's bounds (replacing one that runs).
    virtual void addMaskAnimation(KeyframeAnimation animation, DidStop didStop) = 0;
};

// A new masked image view from the installed platform; nothing when none is installed.
std::shared_ptr<MaskedImageView> makeMaskedImageView();

} // namespace platform
