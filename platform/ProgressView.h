#pragma once
// A progress bar: a thin bar over the view it is added to, filled from its left end by a fraction
// from 0 to 1 (a running download's progress).
//
// Main thread only. Like every view, its superview owns it; the bar shows until it is hidden or
// removed from its superview.

#include "platform/View.h"

namespace platform {

enum class ProgressAnimation { none, animated };

class ProgressView : public View {
public:
    // The fraction last set; an animation may still be on its way there.
    float progress() const { return progress_; }
    // Sets the fraction, held to 0...1; `animated` moves the bar there gradually.
    void setProgress(float progress, ProgressAnimation animation);

    bool isHidden() const { return hidden_; }
    void setHidden(bool hidden);

    // Lays the bar along the bottom of its superview, following its size: the bar's top edge
    // `distanceFromBottom` above the superview's bottom edge, `sideInset` in from its left and
    // right edges. False (and nothing changes) when the bar has no superview.
    bool pinAlongSuperviewBottom(int distanceFromBottom, int sideInset);

protected:
    virtual void setProgressImpl(float progress, ProgressAnimation animation) = 0;
    virtual void setHiddenImpl(bool hidden) = 0;
    virtual void pinAlongSuperviewBottomImpl(int distanceFromBottom, int sideInset) = 0;

private:
    float progress_ = 0;
    bool hidden_ = false;
};

// A new progress bar (progress 0, shown) from the installed platform; nothing when none is installed.
std::shared_ptr<ProgressView> makeProgressView();

} // namespace platform
