#include "portable/KeyframeAnimation.h"

#include <algorithm>
#include <chrono>
#include <cmath>

namespace platform {
namespace {

double bezier(double a, double b, double s)
{
    // One coordinate of the curve from 0 to 1 with control coordinates a and b.
    const double r = 1 - s;
    return 3 * r * r * s * a + 3 * r * s * s * b + s * s * s;
}

double bezierSlope(double a, double b, double s)
{
    const double r = 1 - s;
    return 3 * r * r * a + 6 * r * s * (b - a) + 3 * s * s * (1 - b);
}

double lerp(double from, double to, double share)
{
    return from + (to - from) * share;
}

} // namespace

double TimingFunction::valueAt(double t) const
{
    t = std::clamp(t, 0.0, 1.0);
    // The curve's parameter whose x is t: Newton steps, falling back to bisection where the
    // slope is flat (x rises monotonically for control x within 0...1).
    double s = t;
    for (int i = 0; i < 8; ++i) {
        const double error = bezier(x1, x2, s) - t;
        if (std::abs(error) < 1e-7)
            return bezier(y1, y2, s);
        const double slope = bezierSlope(x1, x2, s);
        if (std::abs(slope) < 1e-6)
            break;
        s -= error / slope;
    }
    double low = 0;
    double high = 1;
    s = t;
    for (int i = 0; i < 60; ++i) {
        if (bezier(x1, x2, s) < t)
            low = s;
        else
            high = s;
        s = (low + high) / 2;
    }
    return bezier(y1, y2, s);
}

std::optional<Rect> KeyframeAnimation::valueAt(double mediaTime) const
{
    if (values.empty() || duration <= 0 || mediaTime < beginTime || hasEnded(mediaTime))
        return std::nullopt;
    if (values.size() == 1 || keyTimes.size() != values.size())
        return values.front();
    const double progress = (mediaTime - beginTime) / duration;
    std::size_t segment = 0;
    while (segment + 2 < keyTimes.size() && progress >= keyTimes[segment + 1])
        ++segment;
    const double span = keyTimes[segment + 1] - keyTimes[segment];
    const double local = span > 0 ? (progress - keyTimes[segment]) / span : 1.0;
    const TimingFunction curve =
        segment < timingFunctions.size() ? timingFunctions[segment] : TimingFunction::linear();
    const double share = curve.valueAt(local);
    const Rect& from = values[segment];
    const Rect& to = values[segment + 1];
    return Rect{lerp(from.x, to.x, share), lerp(from.y, to.y, share), lerp(from.width, to.width, share),
                lerp(from.height, to.height, share)};
}

double currentMediaTime()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

} // namespace platform
