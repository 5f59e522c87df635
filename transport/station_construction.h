// Building, previewing and removing stations and adding their extensions:
// the placement rules per transport mode, the writing of a station into the
// map cells, and the execution of the station commands with their prices,
// clearing costs and bookings.
#pragma once

#include "transport/station.h"

#include <cstdint>

// Money accounts of the construction commands.
inline constexpr int32_t kAccountDemolition = 4;
inline constexpr int32_t kAccountStations = 5;
// The player's statistics counter of stations.
inline constexpr uint32_t kStationCounter = 7;

// Whether a station of the kind may stand at (x, y) with the rotation bit
// for the player; clearingCost is what clearing its place costs.
bool CanPlaceStation(int32_t kind, uint32_t rotation, int32_t x, int32_t y, int32_t player,
                     int32_t& clearingCost);

// Writes the station into the map cells: road, track, water-route or
// airfield cells naming the station. Returns the demolition cost of what
// had to be cleared.
int32_t UpdateMapTiles(Station& station);

// Takes the station off the map: the cells that name it are made plain
// again and the station object is deleted. Water stations redo the
// open-water marking.
void RemoveStation(ObjectHandle stationId);

// The rectangle of a kind placed at (x, y) with a rotation bit (its whole
// size turned).
bool StationRect(int32_t kind, uint32_t rotation, int32_t x, int32_t y, LayoutRect& out);

// Set by every build, preview or removal; the construction dialogs read
// and clear it.
bool& ConstructionChanged();

// A track way of the row built up to a rail station of the player: the
// loading area whose track holds (x, y), or ends one tile before it, takes
// the row where its pieces carry none yet or may be upgraded to it. A
// platform laid before any track reached it has no row, which no train may
// use. Returns the price of the pieces that changed.
int64_t LayLoadAreaTrackAt(int32_t x, int32_t y, uint32_t row, int32_t player);

// Makes the game's station commands act on the current world.
void InstallStationCommands();
