// What a breakdown tells the game above the vehicles: the news of a vehicle
// that broke down, with its head tile and its type index. The game installs
// the hook (InstallVehicles); without it no news is told.
#pragma once

#include <cstdint>
#include <functional>

// The news kind of a vehicle that broke down.
inline constexpr uint32_t kNewsVehicleBrokeDown = 9;

using BreakdownNewsHook = std::function<void(int32_t x, int32_t y, int32_t type)>;
void SetBreakdownNewsHook(BreakdownNewsHook hook);
