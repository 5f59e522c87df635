// Conversions of computed amounts to the integers the game stores: truncated
// toward zero, a value that is not finite becomes 0 and one beyond the
// integer's range stops at its end, so no data can cause an undefined
// conversion.
#pragma once

#include <cmath>
#include <cstdint>

inline int32_t SaturateToInt32(double value) {
    if (!std::isfinite(value))
        return 0;
    if (value >= 2147483647.0)
        return INT32_MAX;
    if (value <= -2147483648.0)
        return INT32_MIN;
    return int32_t(value);
}

inline int64_t SaturateToInt64(double value) {
    if (!std::isfinite(value))
        return 0;
    if (value >= 9223372036854775807.0)
        return INT64_MAX;
    if (value <= -9223372036854775808.0)
        return INT64_MIN;
    return int64_t(value);
}

// Sums of stored amounts wrap around in 64 bits instead of overflowing:
// a damaged save can hold any values.
inline int64_t WrappingAdd(int64_t a, int64_t b) {
    return int64_t(uint64_t(a) + uint64_t(b));
}
inline int64_t WrappingNegate(int64_t a) {
    return int64_t(0 - uint64_t(a));
}
