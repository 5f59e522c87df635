// The vehicle's wake-up and step, its placing at a stop and the way to its
// next stop, and the call point by which the cargo side serves a stop.
#pragma once

#include <cstdint>
#include <functional>

class Vehicle;

// Serving the vehicle's current stop: 0 nothing is left to serve (it sets
// off), 1 a car was served and 2 a car may be served later (it waits the
// loading time and asks again), 3 the stop took the step (it set the
// vehicle's next wake-up itself).
using StopServiceHook = std::function<uint32_t(Vehicle& vehicle)>;
void SetStopServiceHook(StopServiceHook hook);

// Waits of the step, in game ms.
inline constexpr uint32_t kVehicleRetryMs = 1000;
inline constexpr uint32_t kVehicleServiceMs = 5000;
inline constexpr uint32_t kVehicleNoWayMs = 15000;
inline constexpr uint32_t kVehicleBlockedMs = 500;

// The direction mask from one tile towards another (diagonals when both
// axes differ); 0 when they are the same.
uint32_t DirectionBetween(int32_t fromX, int32_t fromY, int32_t toX, int32_t toY);
// The next tile from (x, y) towards (tx, ty): road and rail go along one
// axis at a time (x first), water and air also diagonally.
void StepTowards(uint32_t mode, int32_t& x, int32_t& y, int32_t tx, int32_t ty);
