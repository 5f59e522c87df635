// The execution of the signal and special-track commands: placing,
// committing and removing signals, and placing switches and crossings,
// with their placement tests, prices and bookings.
#pragma once

#include <cstdint>

// The money account that construction is booked in.
inline constexpr int32_t kAccountConstruction = 3;

// Whether a signal of the kind may be placed or changed at (x, y).
bool CanPlaceSignal(uint32_t x, uint32_t y, int32_t kind);

// Whether the player may lay a piece of the type and rotation at (x, y):
// the footprint lies on the map off water, its rail cells on free land or
// on the player's track whose directions the piece keeps, its side cells
// on free land or, for a switch, the player's track.
bool CanPlaceSpecialTrack(int32_t x, int32_t y, uint8_t rotation, uint8_t type, int32_t player);

// Makes the game's signal and special-track commands act on the current
// world.
void InstallSignalCommands();
