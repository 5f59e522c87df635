// Where new road or track may run: the tile check that decides whether a
// way of a route builder row may lie on one tile, entered along a back
// direction, and the step check that the build planner's pathfinder asks
// for every move from a tile onto its neighbour.
#pragma once

#include "transport/path_costs.h"
#include "transport/pathfinder.h"

#include <cstdint>

// What a search of the build planner knows of its plan.
struct BuildSearchContext {
    PathRect window;
    PathPoint start;
    PathPoint goal;
    // The route builder row of the way and its route type (1 track, 2 road).
    uint32_t wayRow = 0;
    uint32_t routeType = 0;
    uint32_t flags = 0;
    // The company that builds.
    int32_t player = 0;
    // The bridge or tunnel row of a span plan, 0 for a plain way.
    uint32_t spanRow = 0;
};

// The layer of the other way type: road for a track plan, track for road.
inline uint32_t OtherRouteLayer(uint32_t routeType) {
    return routeType == 1 ? 2 : 1;
}
// A direction mask with its opposite directions added.
inline uint32_t StraightThrough(uint32_t mask) {
    return (mask | ReverseDirection(uint8_t(mask))) & 15;
}

// Whether an existing piece of row existingRow may be replaced by newRow:
// either row 0, or the new row not older and keeping an overhead line.
bool CanUpgradeRouteType(uint32_t existingRow, uint32_t newRow);

// Whether the way may lie on (x, y) entered along back (0 at a plan's end
// tested alone): free buildable ground, the plan's own way, or the other
// way type crossed at right angles where both rows allow it.
bool RouteTileAllowed(uint32_t x, uint32_t y, uint32_t back, const BuildSearchContext& context);

// Open buildable land: no water, no station at or next to it, nothing
// hanging in its attachment slots, nothing built on it.
bool IsFreeGround(uint32_t x, uint32_t y);
// Whether a step along back may enter or leave the tile with respect to the
// tunnels of the route type whose portals lie next to it.
bool TunnelEntranceAllowsStep(uint32_t x, uint32_t y, uint32_t back, uint32_t routeType);
// The bridge or tunnel kind of a route builder row: 0 none, 1 bridge, 2
// tunnel.
uint32_t SpanKindOf(uint32_t row);

// The pathfinder's step check; context is a BuildSearchContext.
bool RouteStepAllowed(const PathStep& to, const PathStep* from, void* context);
