// The sprite records of the draw layers: what is drawn (mode, texture,
// state block, colour, destination) and where it lies on the map (its sort
// rectangle in quarter tiles, flags and order key) for the depth sort.
#pragma once

#include "engine/engine_state.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

// Sort coordinates are quarter tiles with a small margin; the range covers
// the largest maps (2048 tiles a side).
inline constexpr int32_t kSortMin = -8;
inline constexpr int32_t kSortMax = 8200;

inline constexpr int32_t kDrawLayerCount = 16;

struct SystemFont;

enum DrawItemMode : uint8_t {
    kItemSprite = 0,
    kItemTwoTextures = 1,
    kItemSpriteF = 2,
    kItemMesh = 4,
    kItemRefresh = 5,
    kItemBitmapText = 6,
    kItemGdiText = 7,
    kItemRotated = 10,
    kItemSpriteUV = 11,
};

struct DrawItem {
    // Sets each field from its initialiser below and no more: a new item in
    // a list is not zeroed as a whole first.
    DrawItem() {}

    EngineRect dest;                        // screen rectangle
    std::array<float, 4> destF{};           // mode 2: left, top, right, bottom
    int32_t x1 = 0, y1 = 0, x2 = 0, y2 = 0; // sort rectangle
    uint8_t placed = 0;
    uint8_t mode = 0;
    uint16_t stateBlock = 0; // 0..319
    uint16_t flags = 0;
    uint32_t colour = 0;
    uint32_t orderKey = 0;
    TextureHandle texture = 0;        // texts: the font number
    uint32_t param1 = 0;              // the object id of map sprites
    std::array<uint32_t, 5> params{}; // parameters 2 to 6
    // Mode data that is not a number: characters (texts), a vertex list
    // (meshes) or frame pairs (refresh sprites).
    const void* data = nullptr;
    const SystemFont* systemFont = nullptr; // mode 7
};

// The fields of an item the draw order reads, packed for the sort.
struct SortKey {
    int32_t x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    uint32_t flags = 0, orderKey = 0;
    int32_t top = 0;
};

namespace Engine {

bool SortKeyLess(const SortKey& a, const SortKey& b);

// True when item a is drawn before (behind) item b. Not a strict weak
// order: sort with SortDrawOrder, never with std::sort.
bool DrawOrderLess(const DrawItem& a, const DrawItem& b);

// Sorts item indices by DrawOrderLess with a merge sort that is safe and
// gives the same result on every run whatever the comparison answers.
void SortDrawOrder(uint32_t* indices, size_t count, const DrawItem* items);

// The merge sort behind SortDrawOrder for any "drawn before" test: runs of
// 8 by insertion, then bottom-up merges that take from the right run only
// when its head is strictly before the left one's. Bounded and in range
// whatever less answers; equal entries keep their order.
template <typename Less>
void SortByDrawOrder(uint32_t* v, size_t count, Less less) {
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
    if (count <= kRun)
        return;
    thread_local std::vector<uint32_t> scratch;
    scratch.resize(count);
    uint32_t* src = v;
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
    if (src != v)
        std::copy(src, src + count, v);
}

// A sort rectangle the layers accept: ordered corners within the range.
inline bool CheckDrawRect(const EngineRect& r) {
    return r.left <= r.right && r.top <= r.bottom && r.left >= kSortMin && r.top >= kSortMin &&
           r.right <= kSortMax && r.bottom <= kSortMax;
}

} // namespace Engine
