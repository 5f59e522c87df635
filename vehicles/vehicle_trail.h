// The vehicle's trail of occupied tiles: laying it, the lanes it holds,
// the walk along the route ahead, the release of its station slot and
// signal block, and the car motion records of a moving train.
#pragma once

#include <cstdint>

// Car motion record words (of Vehicle::kMotionWords).
inline constexpr uint32_t kCarLength = 0;
inline constexpr uint32_t kCarMode = 1;
inline constexpr uint32_t kCarStart = 2;
inline constexpr uint32_t kCarEnd = 3;
inline constexpr uint32_t kCarX = 4;
inline constexpr uint32_t kCarY = 5;
inline constexpr uint32_t kCarProgress = 6;
// Car lengths are in quarter squares: longer than this is a long car.
inline constexpr uint32_t kQuarterSquares = 4;
