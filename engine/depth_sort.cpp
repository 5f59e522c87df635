#include "engine/depth_sort.h"

#include "engine/draw_order_rules.h"
#include "engine/rank_set.h"

#include <algorithm>
#include <array>
#include <bit>

namespace {

struct DepthSortScratch {
    std::vector<uint64_t> packed, packedSwap; // rank keys with the slot in the low bits
    std::vector<uint32_t> byRank;             // slots in the total order
    std::vector<uint32_t> rank;               // by slot
    std::vector<uint32_t> startAt, starting;  // slots by first diagonal, in rank order
    std::vector<uint32_t> endAt, ending;      // slots by last diagonal
    // Present items listed by each edge coordinate: x1, x2, y1, y2.
    std::array<std::vector<int32_t>, 4> edgeHead, edgeNext, edgePrev;
    std::vector<uint32_t> active, activeAt; // present slots and where each stands
    std::vector<uint32_t> bucket;
    std::vector<int32_t> next;
    std::vector<uint8_t> placed;
    RankSet present; // ranks of present items
};

// The total order's test: true when a comes before b regardless of queue
// order.
bool KeyLess(const SortKey& a, const SortKey& b) {
    if (a.orderKey != b.orderKey)
        return a.orderKey > b.orderKey;
    const int64_t sa = int64_t(a.x2) + a.y2, sb = int64_t(b.x2) + b.y2;
    if (sa != sb)
        return sa > sb;
    return a.top > b.top;
}

// True when the rules order a pair otherwise than the total order does.
bool Disagree(const SortKey& a, const SortKey& b) {
    return DrawOrderRules::Less(a, b) != KeyLess(a, b) || DrawOrderRules::Less(b, a) != KeyLess(b, a);
}

enum Edge { kX1, kX2, kY1, kY2 };

// The total order of items whose edges touch no other's: a larger order
// key first, then a larger x2 + y2, then a larger screen top, then queue
// order. Fills byRank and rank.
void RankItems(const SortKey* keys, uint32_t n, DepthSortScratch& sc) {
    uint32_t keyMin = UINT32_MAX, keyMax = 0;
    int64_t sumMin = INT64_MAX, sumMax = INT64_MIN, topMin = INT64_MAX, topMax = INT64_MIN;
    for (uint32_t s = 0; s < n; ++s) {
        const SortKey& k = keys[s];
        keyMin = std::min(keyMin, k.orderKey), keyMax = std::max(keyMax, k.orderKey);
        const int64_t sum = int64_t(k.x2) + k.y2;
        sumMin = std::min(sumMin, sum), sumMax = std::max(sumMax, sum);
        topMin = std::min(topMin, int64_t(k.top)), topMax = std::max(topMax, int64_t(k.top));
    }
    const int keyBits = std::bit_width(uint64_t(keyMax - keyMin));
    const int sumBits = std::bit_width(uint64_t(sumMax - sumMin));
    const int topBits = std::bit_width(uint64_t(topMax - topMin));
    const int slotBits = std::bit_width(uint64_t(n));
    sc.byRank.resize(n);
    sc.rank.resize(n);
    if (keyBits + sumBits + topBits + slotBits <= 64) {
        // Distances from the largest value, packed above the slot: one
        // unsigned number per item whose ascending order is the total order.
        const int totalBits = keyBits + sumBits + topBits + slotBits;
        sc.packed.resize(n);
        sc.packedSwap.resize(n);
        for (uint32_t s = 0; s < n; ++s) {
            const SortKey& k = keys[s];
            uint64_t v = uint64_t(keyMax - k.orderKey);
            v = (v << sumBits) | uint64_t(sumMax - (int64_t(k.x2) + k.y2));
            v = (v << topBits) | uint64_t(topMax - k.top);
            sc.packed[s] = (v << slotBits) | s;
        }
        // Least significant digit first; the slot bits are already in
        // order, so the passes start above them.
        constexpr int kDigit = 11;
        std::array<uint32_t, (1u << kDigit) + 1> counts;
        for (int shift = slotBits; shift < totalBits; shift += kDigit) {
            counts.fill(0);
            for (uint64_t v : sc.packed)
                ++counts[((v >> shift) & ((1u << kDigit) - 1)) + 1];
            for (size_t i = 1; i < counts.size(); ++i)
                counts[i] += counts[i - 1];
            for (uint64_t v : sc.packed)
                sc.packedSwap[counts[(v >> shift) & ((1u << kDigit) - 1)]++] = v;
            sc.packed.swap(sc.packedSwap);
        }
        const uint64_t slotMask = (uint64_t(1) << slotBits) - 1;
        for (uint32_t r = 0; r < n; ++r)
            sc.byRank[r] = uint32_t(sc.packed[r] & slotMask);
    } else {
        for (uint32_t s = 0; s < n; ++s)
            sc.byRank[s] = s;
        std::stable_sort(sc.byRank.begin(), sc.byRank.end(),
                         [keys](uint32_t a, uint32_t b) { return KeyLess(keys[a], keys[b]); });
    }
    for (uint32_t r = 0; r < n; ++r)
        sc.rank[sc.byRank[r]] = r;
}

// Groups slots by a diagonal number in [0, span): at[d] .. at[d + 1] index
// into out; slots keep the order they are visited in.
template <typename Diagonal>
void GroupByDiagonal(const uint32_t* slots, uint32_t n, size_t span, Diagonal diagonal,
                     std::vector<uint32_t>& at, std::vector<uint32_t>& out) {
    at.assign(span + 1, 0);
    for (uint32_t i = 0; i < n; ++i)
        ++at[diagonal(slots[i]) + 1];
    for (size_t d = 1; d <= span; ++d)
        at[d] += at[d - 1];
    out.resize(n);
    for (uint32_t i = 0; i < n; ++i)
        out[at[diagonal(slots[i])]++] = slots[i];
    // The fill moved each start to the next group's; shift back.
    for (size_t d = span; d > 0; --d)
        at[d] = at[d - 1];
    at[0] = 0;
}

} // namespace

namespace Engine {

void DepthSortOrder(const SortKey* keys, size_t count, std::vector<uint32_t>& order) {
    order.clear();
    if (count == 0)
        return;
    static DepthSortScratch sc;
    const uint32_t n = uint32_t(count);

    int32_t lowest = INT32_MAX, highest = INT32_MIN, coordMin = INT32_MAX, coordMax = INT32_MIN;
    for (uint32_t s = 0; s < n; ++s) {
        const SortKey& k = keys[s];
        lowest = std::min(lowest, k.x1 - k.y2);
        highest = std::max(highest, k.x2 - k.y1);
        coordMin = std::min({coordMin, k.x1, k.y1});
        coordMax = std::max({coordMax, k.x2, k.y2});
    }
    const size_t span = size_t(int64_t(highest) - lowest) + 1;

    RankItems(keys, n, sc);
    GroupByDiagonal(
        sc.byRank.data(), n, span, [&](uint32_t s) { return size_t(keys[s].x1 - keys[s].y2 - lowest); },
        sc.startAt, sc.starting);
    GroupByDiagonal(
        sc.byRank.data(), n, span, [&](uint32_t s) { return size_t(keys[s].x2 - keys[s].y1 - lowest); },
        sc.endAt, sc.ending);

    const size_t coordSpan = size_t(int64_t(coordMax) - coordMin) + 1;
    for (int e = 0; e < 4; ++e) {
        sc.edgeHead[size_t(e)].assign(coordSpan, -1);
        sc.edgeNext[size_t(e)].resize(n);
        sc.edgePrev[size_t(e)].resize(n);
    }
    auto edgeOf = [keys](uint32_t s, int e) {
        const SortKey& k = keys[s];
        return e == kX1 ? k.x1 : e == kX2 ? k.x2 : e == kY1 ? k.y1 : k.y2;
    };
    // The present items whose edge e lies at coordinate v.
    auto headOf = [&](int e, int32_t v) -> int32_t& { return sc.edgeHead[size_t(e)][size_t(v - coordMin)]; };
    // Pairs of present items, met through a shared edge coordinate (a.x1
    // on b.x2 or a.y1 on b.y2), that the rules order otherwise than the
    // total order. While there are none, the total order holds.
    uint64_t disagreeing = 0;
    auto countPartners = [&](uint32_t s) {
        uint64_t found = 0;
        for (const auto& [own, other] : {std::pair{kX1, kX2}, {kX2, kX1}, {kY1, kY2}, {kY2, kY1}})
            for (int32_t p = headOf(other, edgeOf(s, own)); p >= 0; p = sc.edgeNext[size_t(other)][size_t(p)])
                found += Disagree(keys[s], keys[p]);
        return found;
    };
    auto link = [&](uint32_t s) {
        for (int e = 0; e < 4; ++e) {
            int32_t& h = headOf(e, edgeOf(s, e));
            sc.edgePrev[size_t(e)][s] = -1;
            sc.edgeNext[size_t(e)][s] = h;
            if (h >= 0)
                sc.edgePrev[size_t(e)][size_t(h)] = int32_t(s);
            h = int32_t(s);
        }
    };
    auto unlink = [&](uint32_t s) {
        for (int e = 0; e < 4; ++e) {
            const int32_t prev = sc.edgePrev[size_t(e)][s], next = sc.edgeNext[size_t(e)][s];
            if (prev >= 0)
                sc.edgeNext[size_t(e)][size_t(prev)] = next;
            else
                headOf(e, edgeOf(s, e)) = next;
            if (next >= 0)
                sc.edgePrev[size_t(e)][size_t(next)] = prev;
        }
    };

    sc.present.Reset(n);
    sc.active.clear();
    sc.activeAt.resize(n);
    sc.next.assign(n, -1);
    sc.placed.assign(n, 0);
    int32_t head = -1, tail = -1;
    auto insertAfter = [&](int32_t at, uint32_t slot) {
        sc.placed[slot] = 1;
        if (at < 0) {
            head = tail = int32_t(slot);
            return;
        }
        sc.next[slot] = sc.next[size_t(at)];
        sc.next[size_t(at)] = int32_t(slot);
        if (at == tail)
            tail = int32_t(slot);
    };

    for (size_t d = 0; d < span; ++d) {
        // Items whose last diagonal was the one before leave.
        if (d > 0) {
            for (uint32_t e = sc.endAt[d - 1]; e < sc.endAt[d]; ++e) {
                const uint32_t s = sc.ending[e];
                unlink(s);
                disagreeing -= countPartners(s);
                sc.present.Erase(sc.rank[s]);
                const uint32_t last = sc.active.back();
                sc.active[sc.activeAt[s]] = last;
                sc.activeAt[last] = sc.activeAt[s];
                sc.active.pop_back();
            }
        }
        const uint32_t b0 = sc.startAt[d], b1 = sc.startAt[d + 1];
        if (b0 == b1)
            continue;
        for (uint32_t e = b0; e < b1; ++e) {
            const uint32_t s = sc.starting[e];
            disagreeing += countPartners(s);
            link(s);
            sc.present.Insert(sc.rank[s]);
            sc.activeAt[s] = uint32_t(sc.active.size());
            sc.active.push_back(s);
        }
        if (disagreeing == 0) {
            // One total order: each new item goes after the present item
            // just before it, or after the whole order.
            for (uint32_t e = b0; e < b1; ++e) {
                const uint32_t s = sc.starting[e];
                const int64_t before = sc.present.Below(sc.rank[s]);
                insertAfter(before < 0 ? tail : int32_t(sc.byRank[size_t(before)]), s);
            }
            continue;
        }
        // The diagonal's items in queue order, sorted by the full rules,
        // then walked with an insertion point that starts at the end.
        sc.bucket.assign(sc.active.begin(), sc.active.end());
        std::sort(sc.bucket.begin(), sc.bucket.end());
        SortByDrawOrder(sc.bucket.data(), sc.bucket.size(),
                        [keys](uint32_t a, uint32_t b) { return DrawOrderRules::Less(keys[a], keys[b]); });
        int32_t at = tail;
        for (uint32_t s : sc.bucket) {
            if (!sc.placed[s])
                insertAfter(at, s);
            at = int32_t(s);
        }
    }
    order.reserve(n);
    for (int32_t s = head; s >= 0; s = sc.next[size_t(s)])
        order.push_back(uint32_t(s));
}

} // namespace Engine
