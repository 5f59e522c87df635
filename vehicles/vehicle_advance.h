// Whether a vehicle may enter its next tile, by transport mode: vehicles
// ahead on the lane, level crossings, signals, platforms and bays.
#pragma once

#include <cstdint>

class MovingObject;
class Vehicle;

// Squares ahead of a train whose level crossings it closes.
inline constexpr uint32_t kCrossingSquaresAhead = 5;

// The verdict of a train on an occupant of the tile it enters at (x, y):
// a private car is passed; a broken vehicle blocks; a vehicle passing or
// waiting to pass, or a train on another special-track piece there, is
// passed. Any other occupant is passed by making it pass too: a moving
// vehicle passes, one blocked on the track waits to pass, and the train
// passing a train passes as well. True when the occupant lets it by.
bool PassRailOccupant(Vehicle& train, MovingObject& occupant, int32_t x, int32_t y);
