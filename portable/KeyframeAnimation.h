#pragma once
// A key-frame animation of a rectangle (a layer's "bounds"), as the compositor plays it: the
// values at the key times (fractions of the duration), one timing curve per segment between
// them, a begin time and a duration on the media clock. Before it begins and once it has ended
// the animation shows nothing of its own: the layer's model value shows.
//
// Pure values and functions; safe from any thread.

#include <optional>
#include <string>
#include <vector>

namespace platform {

struct Rect {
    double x = 0;
    double y = 0;
    double width = 0;
    double height = 0;
    bool operator==(const Rect&) const = default;
};

// A timing curve: the cubic Bézier from (0, 0) to (1, 1) with the control points (x1, y1) and
// (x2, y2), mapping the time fraction of a segment to the fraction of its change.
struct TimingFunction {
    double x1 = 0;
    double y1 = 0;
    double x2 = 1;
    double y2 = 1;

    static TimingFunction linear() { return {0, 0, 1, 1}; }
    static TimingFunction easeInEaseOut() { return {0.42, 0, 0.58, 1}; }
    static TimingFunction easeOut() { return {0, 0, 0.58, 1}; }

    // The change fraction at time fraction `t` (held to 0...1).
    double valueAt(double t) const;
};

struct KeyframeAnimation {
    std::string keyPath;
    std::vector<Rect> values;
    // Ascending fractions of the duration, one per value, the first 0 and the last 1.
    std::vector<double> keyTimes;
    // One per segment (values.size() - 1); a missing one is linear.
    std::vector<TimingFunction> timingFunctions;
    double beginTime = 0;
    double duration = 0;

    // The animated value at `mediaTime`; nothing before the begin time and from the end on.
    std::optional<Rect> valueAt(double mediaTime) const;
    bool hasEnded(double mediaTime) const { return mediaTime >= beginTime + duration; }
};

// Seconds on the media clock: the monotonic clock the compositor's frame clock also counts in.
double currentMediaTime();

} // namespace platform
