// The spray curves of the Gischt table: eight curves of up to ten points for
// each of the 16 spray kinds, until the spray effect takes them over.
#pragma once

#include "data/value_table.h"

#include <array>
#include <cstdint>

inline constexpr int32_t kSprayKindCount = 16;
inline constexpr uint32_t kMaxSprayCurvePoints = 10;

// The curve columns of the Gischt table.
enum class SprayCurveId : uint8_t {
    Alpha0,
    Alpha1,
    Position0,
    Position1,
    XExtent0,
    XExtent1,
    YExtent0,
    YExtent1
};
inline constexpr int kSprayCurvesPerKind = 8;

struct SprayCurve {
    uint32_t count = 0;
    std::array<float, kMaxSprayCurvePoints> x{};
    std::array<float, kMaxSprayCurvePoints> y{};
    // The interpolation mode of the segment that starts at each point.
    std::array<int32_t, kMaxSprayCurvePoints> mode{};
};

class SprayCurves {
public:
    // Sets a curve from a table of one row per point (x, y, mode; the mode
    // rounded to the nearest whole number). False, keeping the old curve,
    // for a kind outside 0..15, an empty table or more than ten points.
    static bool Set(int32_t kind, SprayCurveId id, const ValueTable& table);
    // Writes a curve as a table of three columns, the mode as an unsigned
    // number; false for a kind outside 0..15.
    static bool Get(int32_t kind, SprayCurveId id, ValueTable* out);

    // The stored curve; kind must lie in 0..15.
    static const SprayCurve& Curve(int32_t kind, SprayCurveId id);
    static void Clear();
};
