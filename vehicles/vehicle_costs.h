// What a train's units add up to for its costs and physics: the tractive
// power of the units and whether vehicles wear at all in this game. The
// vehicle's own cost operations are members of Vehicle.
#pragma once

class Vehicle;

// The TractivePower of the train's units; weighted scales each by its
// condition / 100.
float SumTractivePower(const Vehicle& vehicle, bool weighted);
// Vehicles lose condition only when the game's wear setting and the mission
// difficulty are both non-zero.
bool IsWearEnabled();
