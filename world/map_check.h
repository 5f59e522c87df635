// Consistency checks over the world map, run after generation, after a
// load and from the debug commands: terrain blocks that mix water and land
// badly, decoration cells cut off from their origin, route reservations of
// vehicles that have moved on, and the route flags a save does not keep;
// and the debug run over every island file.
#pragma once

#include <cstdint>
#include <functional>

class MapObject;

class MapCheck {
public:
    // Each 2 x 2 block of painted terrain points must not mix water and
    // land: a block whose first point is water beside land, or land beside
    // water, takes the terrain of its fourth point. True when no block
    // needed it.
    static bool CheckTerrainBlocks();
    // Every decoration cell must lead back to a decoration origin; one that
    // does not becomes a plain cell. True when none did.
    static bool CheckCells();
};

// The terrain block check, under its usual name (MapCheck::CheckCells
// still names the class's check). The function hides the class's implicit
// constructor on purpose: the class is never instantiated.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wshadow"
inline bool MapCheck() {
    return MapCheck::CheckTerrainBlocks();
}
#pragma GCC diagnostic pop

// What the reservation clean-up asks of a moving object: its mode (1 while
// it holds a reservation) and the tile it reports. False when the object
// cannot answer. Installed by the vehicles; without it no reservation is
// stale.
using MovingObjectQuery = std::function<bool(const MapObject& object, int32_t& mode, int32_t& x, int32_t& y)>;
void SetMovingObjectQuery(MovingObjectQuery query);

// Clears the route reservation of a tile whose moving object, in mode 1,
// reports a tile that differs from it in both coordinates. A value that
// names no moving object is left alone. Returns the number cleared.
uint32_t ClearStaleRouteReservations();
// Clears route flags A and B of both layers on every tile.
void ClearRouteFlags();

// Loads every island file of the installation as the world and runs the
// terrain block check; each failure is logged as "Fehler in Insel-Datei:
// <name>". Ends with the message "Testfunktion fertig". Returns the number
// of failed files.
uint32_t TestIslandFiles();
