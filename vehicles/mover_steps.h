// Small pieces shared by the town cars, the farm animals and the field
// machines: a direction mask's tile offset, the road's speed limit at a
// tile, and the checks of a loaded mover's tiles and directions.
#pragma once

#include <array>
#include <cstdint>

// The slowest limit a car, an animal or a field machine reports (ms/tile).
inline constexpr uint32_t kMoverSlowestLimitMs = 350;

// The tile offset of a single-direction mask (1 up, 2 right, 4 down, 8
// left); 0 for any other mask.
inline int32_t MaskDx(uint32_t mask) {
    return mask == 2 ? 1 : mask == 8 ? -1 : 0;
}
inline int32_t MaskDy(uint32_t mask) {
    return mask == 4 ? 1 : mask == 1 ? -1 : 0;
}
inline bool IsSingleDirection(uint32_t mask) {
    return mask == 1 || mask == 2 || mask == 4 || mask == 8;
}

// The speed limit (ms per tile) of the road type at the tile; 0 without one.
uint32_t RoadSpeedLimitAt(int32_t x, int32_t y);

// The tiles and direction masks of a loaded mover's record.
struct MoverRecord {
    int32_t x = 0, y = 0, previousX = 0, previousY = 0, beforeX = 0, beforeY = 0;
    std::array<uint8_t, 4> directions{};
};
// Whether every tile lies on the current map and every direction is 0 or a
// single direction.
bool LoadedMoverFits(const MoverRecord& record);
