// The vehicle's trail of occupied tiles: laying it, the lanes it holds,
// the walk along the route ahead, the release of its station slot and
// signal block, and the car motion records of a moving train.
#pragma once

#include <cstdint>

// Car motion record words (of Vehicle::kMotionWords), in their stored order.
inline constexpr uint32_t kCarKind = 0;        // part kind (train_composition.h)
inline constexpr uint32_t kCarSprite = 1;      // type row: vehicle, waggon or trailer
inline constexpr uint32_t kCarEmptyFrame = 2;  // frame shown empty
inline constexpr uint32_t kCarLoadedFrame = 3; // frame shown loaded
inline constexpr uint32_t kCarIndex = 4;       // index in the car list, -1 for none
inline constexpr uint32_t kCarLength = 5;      // quarter squares
inline constexpr uint32_t kCarMode = 6;        // PlatformCarMode
inline constexpr uint32_t kCarStart = 7;       // game ms the current square began
inline constexpr uint32_t kCarEnd = 8;         // game ms it ends
inline constexpr uint32_t kCarX = 9;
inline constexpr uint32_t kCarY = 10;
inline constexpr uint32_t kCarProgress = 11; // float bits, 0 to 1
inline constexpr uint32_t kCarExtra = 12;
// Car lengths are in quarter squares: longer than this is a long car.
inline constexpr uint32_t kQuarterSquares = 4;
