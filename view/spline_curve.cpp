#include "view/spline_curve.h"

namespace {

bool FiniteFloat(float v) {
    return v == v && v - v == 0.0f;
}

} // namespace

bool SplineCurve::Set(const SprayCurve& points) {
    if (points.count == 0 || points.count > kMaxSprayCurvePoints)
        return false;
    points_ = points;
    y2_.fill(0.0f);
    const uint32_t n = points.count;
    std::array<float, kMaxSprayCurvePoints> u{};
    const auto& x = points_.x;
    const auto& y = points_.y;
    for (uint32_t i = 1; i + 1 < n; ++i) {
        const float span = x[i + 1] - x[i - 1], right = x[i + 1] - x[i], left = x[i] - x[i - 1];
        // Points that share an x leave the spline flat there.
        if (span == 0.0f || right == 0.0f || left == 0.0f)
            continue;
        const float sig = left / span;
        const float p = sig * y2_[i - 1] + 2.0f;
        y2_[i] = (sig - 1.0f) / p;
        u[i] = (6.0f * ((y[i + 1] - y[i]) / right - (y[i] - y[i - 1]) / left) / span - sig * u[i - 1]) / p;
    }
    for (int32_t k = int32_t(n) - 2; k >= 0; --k)
        y2_[size_t(k)] = y2_[size_t(k)] * y2_[size_t(k) + 1] + u[size_t(k)];
    for (float& v : y2_)
        if (!FiniteFloat(v))
            v = 0.0f;
    return true;
}

float SplineCurve::Evaluate(float t) const {
    const uint32_t n = points_.count;
    if (n == 0)
        return 0.0f;
    const auto& x = points_.x;
    const auto& y = points_.y;
    if (n == 1)
        return y[0];
    uint32_t lo = 0, hi = n - 1;
    while (hi - lo > 1) {
        const uint32_t mid = (lo + hi) / 2;
        if (x[mid] <= t)
            lo = mid;
        else
            hi = mid;
    }
    const float x0 = x[lo], y0 = y[lo], x1 = x[hi], y1 = y[hi];
    const float w = x1 - x0;
    switch (points_.mode[lo]) {
    case 0:
        return y0;
    case 1:
        return y1;
    case 2:
        return w == 0.0f ? y0 : (y1 - y0) / w * t + (y0 - (y1 - y0) / w * x0);
    case 3:
        return w == 0.0f ? y0 : (y1 - y0) / (w * w) * (t - x0) * (t - x0) + y0;
    case 4:
        return w == 0.0f ? y0 : (y0 - y1) / (w * w) * (t - x1) * (t - x1) + y1;
    case 5: {
        if (w == 0.0f)
            return y0;
        const float s = (t - x0) / w;
        return y0 + (y1 - y0) * (3.0f * s * s - 2.0f * s * s * s);
    }
    default: {
        const uint32_t next = lo + 1 < n ? lo + 1 : lo;
        const float h = x[next] - x[lo];
        if (h == 0.0f)
            return y[lo];
        const float a = (x[next] - t) / h, b = (t - x[lo]) / h;
        return a * y[lo] + b * y[next] +
               ((a * a * a - a) * y2_[lo] + (b * b * b - b) * y2_[next]) * h * h / 6.0f;
    }
    }
}
