// The sprite records of the draw layers: what is drawn (mode, texture,
// state block, colour, destination) and where it lies on the map (its sort
// rectangle in quarter tiles, flags and order key) for the depth sort.
#pragma once

#include "engine/engine_state.h"

#include <array>
#include <cstdint>

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

namespace Engine {

// True when item a is drawn before (behind) item b. Not a strict weak
// order: sort with SortDrawOrder, never with std::sort.
bool DrawOrderLess(const DrawItem& a, const DrawItem& b);

// Sorts item indices by DrawOrderLess with a merge sort that is safe and
// gives the same result on every run whatever the comparison answers.
void SortDrawOrder(uint32_t* indices, size_t count, const DrawItem* items);

// A sort rectangle the layers accept: ordered corners within the range.
bool CheckDrawRect(const EngineRect& r);

} // namespace Engine
