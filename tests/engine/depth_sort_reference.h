// A plain reference of the depth sort for tests: every kept item entered
// into each diagonal it spans, the first queued item of the first diagonal
// taken as the start, each diagonal sorted with the bounded run and merge
// sort, then walked into one linked order. Slow, but the order it gives
// is the one the player sees; the engine's sort must match it.
#pragma once

#include "engine/draw_item.h"
#include "engine/draw_order_rules.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace DepthSortReference {

// Runs of 8 by insertion, then bottom-up merges that take from the right
// run only when its head is strictly before the left one's.
template <typename Less>
void RunMergeSort(std::vector<uint32_t>& v, Less less) {
    const size_t count = v.size();
    if (count < 2)
        return;
    constexpr size_t kRun = 8;
    for (size_t start = 0; start < count; start += kRun) {
        size_t end = std::min(count, start + kRun);
        for (size_t i = start + 1; i < end; ++i) {
            uint32_t x = v[i];
            size_t j = i;
            while (j > start && less(x, v[j - 1])) {
                v[j] = v[j - 1];
                --j;
            }
            v[j] = x;
        }
    }
    std::vector<uint32_t> dst(count);
    for (size_t width = kRun; width < count; width *= 2) {
        for (size_t lo = 0; lo < count; lo += 2 * width) {
            size_t mid = std::min(count, lo + width), hi = std::min(count, lo + 2 * width);
            size_t i = lo, j = mid, k = lo;
            while (i < mid && j < hi)
                dst[k++] = less(v[j], v[i]) ? v[j++] : v[i++];
            while (i < mid)
                dst[k++] = v[i++];
            while (j < hi)
                dst[k++] = v[j++];
        }
        v.swap(dst);
    }
}

// The drawing order of keys[0..n-1] as slot numbers, back to front.
inline std::vector<uint32_t> Order(const std::vector<SortKey>& keys) {
    const size_t n = keys.size();
    std::vector<uint32_t> order;
    if (n == 0)
        return order;
    // Diagonal x - y, from x1 - y2 to x2 - y1, each holding its items in
    // queue order.
    int32_t lowest = 0, highest = 0;
    for (size_t s = 0; s < n; ++s) {
        int32_t lo = keys[s].x1 - keys[s].y2, hi = keys[s].x2 - keys[s].y1;
        lowest = s == 0 ? lo : std::min(lowest, lo);
        highest = s == 0 ? hi : std::max(highest, hi);
    }
    std::vector<std::vector<uint32_t>> diagonals(size_t(highest - lowest) + 1);
    for (uint32_t s = 0; s < n; ++s)
        for (int32_t d = keys[s].x1 - keys[s].y2; d <= keys[s].x2 - keys[s].y1; ++d)
            diagonals[size_t(d - lowest)].push_back(s);

    std::vector<int32_t> next(n, -1);
    std::vector<bool> placed(n, false);
    int32_t head = -1, tail = -1;
    for (std::vector<uint32_t>& bucket : diagonals) {
        if (bucket.empty())
            continue;
        // The first diagonal's first queued item starts the order.
        if (head < 0) {
            head = tail = int32_t(bucket[0]);
            placed[bucket[0]] = true;
        }
        RunMergeSort(bucket, [&](uint32_t a, uint32_t b) { return DrawOrderRules::Less(keys[a], keys[b]); });
        int32_t at = tail;
        for (uint32_t slot : bucket) {
            if (!placed[slot]) {
                next[slot] = next[size_t(at)];
                next[size_t(at)] = int32_t(slot);
                if (at == tail)
                    tail = int32_t(slot);
                placed[slot] = true;
            }
            at = int32_t(slot);
        }
    }
    for (int32_t s = head; s >= 0; s = next[size_t(s)])
        order.push_back(uint32_t(s));
    return order;
}

} // namespace DepthSortReference
