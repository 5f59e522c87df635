// The two area tests of every construction command: whether a rectangle is
// free for a new building once the town houses on it are cleared, and the
// clearing itself, each with the demolition cost of the houses that go.
#pragma once

#include <cstdint>

// True when every tile of the rectangle lies in the map and either passes
// the one-tile footprint test or holds a town house (which a construction
// may clear); road, track, water and other buildings refuse it. cost is the
// demolition cost of the houses that ClearArea would remove.
bool IsAreaFree(int32_t x, int32_t y, int32_t w, int32_t h, int32_t& cost);
// Removes the town houses on the rectangle after IsAreaFree passed,
// adding their demolition cost to cost; false, with nothing removed, when
// IsAreaFree fails.
bool ClearArea(int32_t x, int32_t y, int32_t w, int32_t h, uint32_t flag, int32_t& cost);
// Set by ClearArea whenever it removed a house; cleared by its readers.
bool& TownBuildingDemolished();

// Stations, their commands and the towns' area tests for them, in the
// current world.
void InstallStationsOnTownLand();
