// A curve of up to ten points evaluated piecewise: each segment holds, jumps,
// runs linearly, eases in or out, steps smoothly, or follows the natural
// cubic spline through all points (mode 6 and above, or negative). The
// spray effects move, grow and fade along such curves.
#pragma once

#include "data/spray_curves.h"

#include <array>
#include <cstdint>

class SplineCurve {
public:
    SplineCurve() = default;
    explicit SplineCurve(const SprayCurve& points) { Set(points); }

    // Takes the points (at most ten; more are refused and the curve kept)
    // and computes the spline's second derivatives. False for no points.
    bool Set(const SprayCurve& points);
    // The value at t: 0 without points, the point's y with one, and a
    // segment of no width holds its first value.
    float Evaluate(float t) const;
    uint32_t Count() const { return points_.count; }

private:
    SprayCurve points_;
    std::array<float, kMaxSprayCurvePoints> y2_{};
};
