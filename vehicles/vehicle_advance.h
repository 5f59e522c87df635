// Whether a vehicle may enter its next tile, by transport mode: vehicles
// ahead on the lane, level crossings, signals, platforms and bays.
#pragma once

#include <cstdint>

// Squares ahead of a train whose level crossings it closes.
inline constexpr uint32_t kCrossingSquaresAhead = 5;
