#include "engine/depth_sort.h"

#include "engine/draw_order_rules.h"
#include "engine/rank_set.h"

#include <algorithm>
#include <array>
#include <bit>

namespace {

// An item in the order the sweep meets them: by first diagonal, then in
// the total order.
struct Entry {
    SortKey k;
    uint32_t slot; // in the caller's list
    uint32_t rank; // in the total order
};

// What the sweep needs of an item when it leaves, kept in leaving order so
// that the sweep reads them in sequence.
struct Leaving {
    int32_t x1, y1, x2, y2;
    uint32_t rank, slot;
};

// How many present items have their x1, x2, y1 or y2 at one coordinate.
struct EdgeCount {
    uint32_t x1 = 0, x2 = 0, y1 = 0, y2 = 0;
};

struct DepthSortScratch {
    std::vector<uint64_t> packed, packedSwap; // rank keys with the slot in the low bits
    std::vector<uint32_t> counts;             // radix sort digit counts
    std::vector<uint32_t> byRank;             // slots in the total order
    std::vector<uint32_t> rank;               // by slot
    std::vector<uint32_t> firstDiagonal;      // by rank
    std::vector<uint32_t> startAt, starting;  // slots by first diagonal, in rank order
    std::vector<Entry> entries;               // in the order of starting
    std::vector<uint32_t> rankEntry;          // entry by rank
    std::vector<uint32_t> endAt;              // where each last diagonal's items start in ending
    std::vector<Leaving> ending;              // items by last diagonal
    std::vector<EdgeCount> edges;             // by coordinate
    std::vector<uint32_t> slotEntry;          // entry by slot
    std::vector<uint32_t> bucket;
    std::vector<int32_t> next; // the order so far as a list of entries
    RankSet present;           // ranks of present items
    RankSet presentSlots;      // slots of present items, while kept
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
        // Least significant digit first, in as few passes of up to 13 bits
        // as the key needs; the slot bits are already in order, so the
        // passes start above them.
        constexpr int kMaxDigit = 13;
        const int keyBitsTotal = totalBits - slotBits;
        const int passes = (keyBitsTotal + kMaxDigit - 1) / kMaxDigit;
        const int digit = passes == 0 ? 0 : (keyBitsTotal + passes - 1) / passes;
        const uint64_t digitMask = (uint64_t(1) << digit) - 1;
        sc.counts.resize(size_t(digitMask) + 2);
        for (int pass = 0, shift = slotBits; pass < passes; ++pass, shift += digit) {
            std::fill(sc.counts.begin(), sc.counts.end(), 0);
            for (uint64_t v : sc.packed)
                ++sc.counts[((v >> shift) & digitMask) + 1];
            for (size_t i = 1; i < sc.counts.size(); ++i)
                sc.counts[i] += sc.counts[i - 1];
            for (uint64_t v : sc.packed)
                sc.packedSwap[sc.counts[(v >> shift) & digitMask]++] = v;
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

// Groups the values value(0..n-1) by diagonal(i) in [0, span): at[d] to
// at[d + 1] index into out; values keep the order of i.
template <typename Diagonal, typename Value, typename Out>
void GroupByDiagonal(uint32_t n, size_t span, Diagonal diagonal, Value value, std::vector<uint32_t>& at,
                     std::vector<Out>& out) {
    at.assign(span + 1, 0);
    for (uint32_t i = 0; i < n; ++i)
        ++at[diagonal(i) + 1];
    for (size_t d = 1; d <= span; ++d)
        at[d] += at[d - 1];
    out.resize(n);
    for (uint32_t i = 0; i < n; ++i)
        out[at[diagonal(i)]++] = value(i);
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
    // First diagonals by rank, read once.
    sc.firstDiagonal.resize(n);
    for (uint32_t r = 0; r < n; ++r) {
        const SortKey& k = keys[sc.byRank[r]];
        sc.firstDiagonal[r] = uint32_t(k.x1 - k.y2 - lowest);
    }
    GroupByDiagonal(
        n, span, [&](uint32_t r) { return size_t(sc.firstDiagonal[r]); },
        [&](uint32_t r) { return sc.byRank[r]; }, sc.startAt, sc.starting);
    sc.entries.resize(n);
    sc.rankEntry.resize(n);
    sc.slotEntry.resize(n);
    for (uint32_t i = 0; i < n; ++i) {
        const uint32_t slot = sc.starting[i];
        sc.entries[i] = {keys[slot], slot, sc.rank[slot]};
        sc.rankEntry[sc.rank[slot]] = i;
        sc.slotEntry[slot] = i;
    }
    const Entry* const entries = sc.entries.data();
    GroupByDiagonal(
        n, span, [&](uint32_t i) { return size_t(entries[i].k.x2 - entries[i].k.y1 - lowest); },
        [&](uint32_t i) {
            const Entry& x = entries[i];
            return Leaving{x.k.x1, x.k.y1, x.k.x2, x.k.y2, x.rank, x.slot};
        },
        sc.endAt, sc.ending);

    // Counts by coordinate, and from them the ordered pairs of present
    // items (a, b) that share an edge coordinate, a.x1 on b.x2 or a.y1 on
    // b.y2: where there are none, the rules reduce to the total order.
    sc.edges.assign(size_t(int64_t(coordMax) - coordMin) + 1, EdgeCount{});
    EdgeCount* const table = sc.edges.data();
    auto edge = [table, coordMin](int32_t v) -> EdgeCount& { return table[uint32_t(v - coordMin)]; };
    uint64_t touching = 0;
    // Whether the rules and the total order disagree on the present pairs
    // that share an edge. While they agree, a pair that comes is checked
    // alone, and one that goes leaves the others agreeing; while they
    // disagree, one that goes may have been the only such pair.
    enum class Pairs { kUnknown, kAgree, kDisagree } pairs = Pairs::kAgree;
    auto pairsWith = [&](const auto& k) {
        return uint64_t(edge(k.x1).x2) + edge(k.x2).x1 + edge(k.y1).y2 + edge(k.y2).y1;
    };
    size_t presentCount = 0;
    // Checking a few shared edges is cheaper than the full sort; many (a
    // crowded town) go straight to it.
    auto few = [&]() { return touching <= 2 * uint64_t(std::bit_width(presentCount)) + 4; };
    // The present items as entries, in rank order.
    auto gatherPresent = [&]() {
        sc.bucket.clear();
        sc.present.ForEach([&](uint32_t r) { sc.bucket.push_back(sc.rankEntry[r]); });
    };
    // The full sort takes the present items in queue order, from a set of
    // their slots that is kept only through stretches of diagonals that
    // need it (a crowded town), and built again from the ranks after.
    bool slotsKept = false;
    uint32_t sinceFullSort = 0;
    constexpr uint32_t kKeepSlots = 8; // diagonals without a full sort
    auto keepSlots = [&](bool keep) {
        if (keep == slotsKept)
            return;
        sc.present.ForEach([&](uint32_t r) {
            if (keep)
                sc.presentSlots.Insert(sc.byRank[r]);
            else
                sc.presentSlots.Erase(sc.byRank[r]);
        });
        slotsKept = keep;
    };
    // True when the rules order entry ia and a present item that shares an
    // edge with it otherwise than the total order does.
    auto disagreesWithPresent = [&](uint32_t ia) {
        const SortKey& a = entries[ia].k;
        for (uint32_t ib : sc.bucket) {
            const SortKey& b = entries[ib].k;
            if (ib != ia && (a.x1 == b.x2 || a.y1 == b.y2 || b.x1 == a.x2 || b.y1 == a.y2) && Disagree(a, b))
                return true;
        }
        return false;
    };
    // True when some present pair that shares an edge coordinate is ordered
    // by the rules otherwise than by the total order.
    auto anyDisagreeing = [&]() {
        gatherPresent();
        for (uint32_t ia : sc.bucket) {
            const SortKey& a = entries[ia].k;
            if (edge(a.x1).x2 + edge(a.y1).y2 == 0)
                continue;
            for (uint32_t ib : sc.bucket) {
                const SortKey& b = entries[ib].k;
                if (ib != ia && (a.x1 == b.x2 || a.y1 == b.y2) && Disagree(a, b))
                    return true;
            }
        }
        return false;
    };

    sc.present.Reset(n);
    sc.presentSlots.Reset(n);
    sc.next.resize(n);
    int32_t head = -1, tail = -1;
    auto insertAfter = [&](int32_t at, uint32_t i) {
        if (at < 0) {
            head = tail = int32_t(i);
            sc.next[i] = -1;
            return;
        }
        sc.next[i] = sc.next[size_t(at)];
        sc.next[size_t(at)] = int32_t(i);
        if (at == tail)
            tail = int32_t(i);
    };
    // The order starts with the first queued item of the first diagonal;
    // the rest of that diagonal is merged in behind it like any later one.
    uint32_t seed = 0;
    for (uint32_t i = 1; i < sc.startAt[1]; ++i)
        if (entries[i].slot < entries[seed].slot)
            seed = i;
    insertAfter(-1, seed);
    uint32_t leaving = 0; // the next item to leave, in ending
    // The diagonals where items start, in order; the others change nothing.
    for (uint32_t b0 = 0, b1; b0 < n; b0 = b1) {
        const size_t d = size_t(entries[b0].k.x1 - entries[b0].k.y2 - lowest);
        b1 = sc.startAt[d + 1];
        // Items whose last diagonal lies before this one leave.
        for (; leaving < sc.endAt[d]; ++leaving) {
            const Leaving& k = sc.ending[leaving];
            --edge(k.x1).x1, --edge(k.x2).x2, --edge(k.y1).y1, --edge(k.y2).y2;
            const uint64_t lost = pairsWith(k);
            touching -= lost;
            if (touching == 0)
                pairs = Pairs::kAgree;
            else if (lost != 0 && pairs == Pairs::kDisagree)
                pairs = Pairs::kUnknown;
            sc.present.Erase(k.rank);
            if (slotsKept)
                sc.presentSlots.Erase(k.slot);
            --presentCount;
        }
        for (uint32_t i = b0; i < b1; ++i) {
            const Entry& x = entries[i];
            const SortKey& k = x.k;
            const uint64_t met = pairsWith(k);
            touching += met;
            ++edge(k.x1).x1, ++edge(k.x2).x2, ++edge(k.y1).y1, ++edge(k.y2).y2;
            sc.present.Insert(x.rank);
            if (slotsKept)
                sc.presentSlots.Insert(x.slot);
            ++presentCount;
            if (met != 0 && pairs == Pairs::kAgree) {
                pairs = Pairs::kUnknown;
                if (few()) {
                    gatherPresent();
                    pairs = disagreesWithPresent(i) ? Pairs::kDisagree : Pairs::kAgree;
                }
            }
        }
        if (touching != 0 && pairs == Pairs::kUnknown && few())
            pairs = anyDisagreeing() ? Pairs::kDisagree : Pairs::kAgree;
        if (touching == 0 || pairs == Pairs::kAgree) {
            // Each new item goes after the present item just before it, or
            // after the whole order.
            for (uint32_t i = b0; i < b1; ++i) {
                if (i == seed)
                    continue;
                const int64_t before = sc.present.Below(entries[i].rank);
                insertAfter(before < 0 ? tail : int32_t(sc.rankEntry[size_t(before)]), i);
            }
            if (slotsKept && ++sinceFullSort > kKeepSlots)
                keepSlots(false);
            continue;
        }
        // The diagonal's items in queue order, sorted by the full rules,
        // then walked with an insertion point that starts at the end; the
        // items new here (from b0 on) are placed.
        keepSlots(true);
        sinceFullSort = 0;
        sc.bucket.clear();
        sc.presentSlots.ForEach([&](uint32_t slot) { sc.bucket.push_back(sc.slotEntry[slot]); });
        SortByDrawOrder(sc.bucket.data(), sc.bucket.size(), [entries](uint32_t a, uint32_t b) {
            return DrawOrderRules::Less(entries[a].k, entries[b].k);
        });
        int32_t at = tail;
        for (uint32_t i : sc.bucket) {
            if (i >= b0 && i != seed)
                insertAfter(at, i);
            at = int32_t(i);
        }
    }
    order.reserve(n);
    for (int32_t i = head; i >= 0; i = sc.next[size_t(i)])
        order.push_back(entries[i].slot);
}

} // namespace Engine
