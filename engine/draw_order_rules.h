// The rules that decide which of two footprints is drawn first, for any
// record with a sort rectangle (x1, y1, x2, y2), flags, an order key and
// the top of its screen rectangle; inlined where the sort runs.
#pragma once

#include <cstdint>

namespace DrawOrderRules {

template <typename T>
bool HasWidth(const T& i) {
    return i.x2 > i.x1;
}
template <typename T>
bool IsFlat(const T& i) {
    return i.y2 <= i.y1;
}

// Rules 3 to 7, for pairs that the first two rules leave open.
template <typename T>
[[gnu::always_inline]] inline bool CornerOrder(const T& a, const T& b) {
    if (a.x1 == b.x2) {
        if (HasWidth(a) || HasWidth(b))
            return a.y2 != b.y1;
        if (a.y2 != b.y2)
            return a.y2 > b.y2;
    } else if (b.x1 == a.x2) {
        if (HasWidth(a) || HasWidth(b))
            return b.y2 == a.y1;
        if (b.y2 != a.y2)
            return b.y2 > a.y2;
    }
    if (a.orderKey != b.orderKey)
        return b.orderKey < a.orderKey;
    int64_t da = int64_t(a.x2) + a.y2, db = int64_t(b.x2) + b.y2;
    if (da == db)
        return a.top > b.top;
    return da > db;
}

template <typename T>
[[gnu::always_inline]] inline bool Less(const T& a, const T& b) {
    const uint32_t fa = a.flags, fb = b.flags;
    const bool neitherHas2 = ((fa | fb) & 0x02) == 0;
    if (a.y1 != b.y2 && b.y1 == a.y2) {
        if (IsFlat(a) && IsFlat(b)) {
            if (b.x2 != a.x2)
                return b.x2 > a.x2;
        } else {
            if (b.x2 != a.x1)
                return false;
            if (fa != fb) {
                if (a.x1 == b.x1 && a.x2 != b.x2)
                    return a.x2 < b.x2;
                if (HasWidth(b)) {
                    if (neitherHas2)
                        return !(fb & 0x01) || (fa & 0x01);
                    if (fa & 0x14)
                        return true;
                    return (fb & 0x14) != 0;
                }
                if (fb == 0 && (fa & 0x28))
                    return false;
                if (fb & 0x01)
                    return false;
                return (fa & 0x01) != 0;
            }
        }
    } else if (a.y1 == b.y2) {
        if (IsFlat(a) && IsFlat(b)) {
            if (a.x2 != b.x2)
                return a.x2 > b.x2;
        } else {
            if (a.x2 != b.x1)
                return true;
            if (fa != fb) {
                if (a.x2 == b.x2 && a.x1 != b.x1)
                    return a.x1 < b.x1;
                if (!HasWidth(a)) {
                    if (fa == 0 && (fb & 0x14))
                        return true;
                    if (fa & 0x01)
                        return true;
                    return !(fb & 0x01);
                }
                if (neitherHas2)
                    return (fa & 0x01) && !(fb & 0x01);
                if (fa & 0x28)
                    return true;
                return (fb & 0x28) != 0;
            }
        }
    }
    return CornerOrder(a, b);
}

} // namespace DrawOrderRules
