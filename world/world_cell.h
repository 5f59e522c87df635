// The 8-byte map cell: what lies on a tile (its kind), its terrain and water
// colour, and the index of the row that holds whatever does not fit.
#pragma once

#include <cstdint>

enum CellKind : uint32_t {
    kCellPlain = 0,
    kCellFootprint = 1,
    kCellRoute = 2,
    kCellDecoration = 3,
    kCellWaterway = 4,
};
inline constexpr uint32_t kCellKindCount = 5;

// Word 0: bit 0 kept; bits 1-3 kind; bits 4-13 terrain index; bit 14 kept;
// bits 25-28 kept; bits 29-30 and 31 belong to the map view.
// Word 1: bits 0-2 a view value; bits 3-8 water colour; bits 9-31 the row
// index (route: the row itself; plain, footprint, waterway: row + 1, 0 none)
// or, on a decoration, its graphic, mark, origin and offsets.
struct WorldCell {
    uint32_t word0 = 0;
    uint32_t word1 = 0;

    uint32_t Kind() const { return (word0 >> 1) & 7; }
    void SetKindBits(uint32_t kind) { word0 = (word0 & ~0xEu) | ((kind & 7) << 1); }
    uint32_t TerrainIndex() const { return (word0 >> 4) & 0x3FF; }
    void SetTerrainIndex(uint32_t t) { word0 = (word0 & ~(0x3FFu << 4)) | ((t & 0x3FF) << 4); }
    uint32_t RowBits() const { return word1 >> 9; }
    void SetRowBits(uint32_t v) { word1 = (word1 & 0x1FF) | (v << 9); }
    void ClearRowBits() { word1 &= 0x1FF; }
    uint32_t WaterColour() const { return (word1 >> 3) & 63; }
    void SetWaterColour(uint32_t c) { word1 = (word1 & ~(63u << 3)) | ((c & 63) << 3); }
};

// Decoration fields of word 1.
namespace decoration_bits {
inline constexpr uint32_t kGraphicShift = 9; // (number << 8) + frame + 1, 15 bits
inline constexpr uint32_t kGraphicMask = 0x7FFF;
inline constexpr uint32_t kMarkBit = 1u << 24;
inline constexpr uint32_t kOriginBit = 1u << 25;
inline constexpr uint32_t kColumnShift = 26; // size n on the origin
inline constexpr uint32_t kRowShift = 29;
} // namespace decoration_bits
