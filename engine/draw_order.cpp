#include "engine/draw_item.h"

#include <vector>

namespace {

bool HasWidth(const DrawItem& i) {
    return i.x2 > i.x1;
}
bool IsFlat(const DrawItem& i) {
    return i.y2 <= i.y1;
}

// Rules 3 to 7, for pairs that the first two rules leave open.
bool CornerOrder(const DrawItem& a, const DrawItem& b) {
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
        return a.dest.top > b.dest.top;
    return da > db;
}

} // namespace

namespace Engine {

bool DrawOrderLess(const DrawItem& a, const DrawItem& b) {
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

void SortDrawOrder(uint32_t* indices, size_t count, const DrawItem* items) {
    auto less = [items](uint32_t x, uint32_t y) { return DrawOrderLess(items[x], items[y]); };
    if (count < 2)
        return;
    // Small runs: insertion sort, bounded whatever the comparison says.
    constexpr size_t kRun = 8;
    for (size_t start = 0; start < count; start += kRun) {
        size_t end = std::min(count, start + kRun);
        for (size_t i = start + 1; i < end; ++i) {
            uint32_t v = indices[i];
            size_t j = i;
            while (j > start && less(v, indices[j - 1])) {
                indices[j] = indices[j - 1];
                --j;
            }
            indices[j] = v;
        }
    }
    if (count <= kRun)
        return;
    // Bottom-up merges; each step takes from the right run only when its
    // head is strictly before the left run's head, so equal items keep
    // their queue order.
    thread_local std::vector<uint32_t> scratch;
    scratch.resize(count);
    uint32_t* src = indices;
    uint32_t* dst = scratch.data();
    for (size_t width = kRun; width < count; width *= 2) {
        for (size_t lo = 0; lo < count; lo += 2 * width) {
            size_t mid = std::min(count, lo + width), hi = std::min(count, lo + 2 * width);
            size_t i = lo, j = mid, k = lo;
            while (i < mid && j < hi)
                dst[k++] = less(src[j], src[i]) ? src[j++] : src[i++];
            while (i < mid)
                dst[k++] = src[i++];
            while (j < hi)
                dst[k++] = src[j++];
        }
        std::swap(src, dst);
    }
    if (src != indices)
        std::copy(src, src + count, indices);
}

bool CheckDrawRect(const EngineRect& r) {
    if (r.right < r.left || r.bottom < r.top)
        return false;
    for (int32_t v : {r.left, r.top, r.right, r.bottom})
        if (v < kSortMin || v > kSortMax)
            return false;
    return true;
}

} // namespace Engine
