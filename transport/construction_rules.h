// Where new road or track may run: the tile check that decides whether a
// way of a route builder row may lie on one tile, entered along a back
// direction, and the step check that the build planner's pathfinder asks
// for every move from a tile onto its neighbour.
#pragma once

#include "transport/path_costs.h"
#include "transport/pathfinder.h"

#include <cstdint>
#include <vector>

// Flag bits of a plan: spans over water and foreign track (1), spans under
// them (2), a route free of the start's row and column (8), curve pieces on
// the bends of a free track route (8 and 16 together).
inline constexpr uint32_t kPlanBridges = 1;
inline constexpr uint32_t kPlanTunnels = 2;
inline constexpr uint32_t kPlanFreeRoute = 8;
inline constexpr uint32_t kPlanCurvePieces = 16;

// A bridge or tunnel that a search accepted: its length (8 plus the tiles
// between the ramps) and its rectangle, from the first ramp tile to the
// tile after the far ramp.
struct SpanSegment {
    uint32_t length = 0;
    uint32_t x0 = 0;
    uint32_t y0 = 0;
    uint32_t x1 = 0;
    uint32_t y1 = 0;
    bool Holds(uint32_t x, uint32_t y) const { return x >= x0 && x <= x1 && y >= y0 && y <= y1; }
};

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
    // The spans a plain plan's search accepted (flags 1 or 2), and the
    // length of the last one.
    uint32_t lastSpanLength = 0;
    std::vector<SpanSegment> segments;
};

// The layer of the other way type: road for a track plan, track for road.
inline uint32_t OtherRouteLayer(uint32_t routeType) {
    return routeType == 1 ? 2 : 1;
}
// The special track laid on the bends of a route.
inline constexpr uint8_t kCurvePieceType = 7;
// The rotation of a curve piece joining the two directions of a bend mask
// (3, 6, 12, 9 give 0 to 3), 255 for any other mask.
uint32_t CurveRotation(uint32_t curveMask);

// A direction mask with its opposite directions added.
inline uint32_t StraightThrough(uint32_t mask) {
    return (mask | ReverseDirection(uint8_t(mask))) & 15;
}

// Whether an existing piece of row existingRow may be replaced by newRow:
// either row 0, or the new row not older and keeping an overhead line.
bool CanUpgradeRouteType(uint32_t existingRow, uint32_t newRow);

// Whether the way may lie on (x, y) entered along back (0 at a plan's end
// tested alone): free buildable ground, the plan's own way, or the other
// way type crossed at right angles where both rows allow it. Without flag 8
// the tile must lie on the start's row or column. atEnd: the tile is the
// plan's start or goal, where the way may end on what fixes its directions.
bool RouteTileAllowed(uint32_t x, uint32_t y, uint32_t back, const BuildSearchContext& context,
                      bool atEnd = true);

// The directions that something on the tile leaves a new way of the route
// type (a station's track, a special track, a span the search accepted), 0
// for none; -1 when nothing fixes them. context may be null.
int32_t GetFixedWayMask(uint32_t x, uint32_t y, uint32_t routeType, const BuildSearchContext* context);
// Whether a step along back may enter or leave the tile as far as a
// building on it goes: none, or a special track whose rails run that way
// (a one-tile piece: along back) or that is a switch.
bool BuildingAllowsStep(uint32_t x, uint32_t y, uint32_t back, uint32_t routeType);
// The tile carries the other way type and none of the route type's.
bool CarriesOnlyOtherWay(uint32_t x, uint32_t y, uint32_t routeType);

// Whether a bridge of the plan may pass over the tile: water, or track
// that is not the planner's own (for road: track that no road may cross).
bool CanBridgeOver(uint32_t x, uint32_t y, const BuildSearchContext& context);
// Whether a tunnel of the plan may pass under the tile: water, buildings,
// or way that is not the planner's own, with no tunnel there yet.
bool CanTunnelUnder(uint32_t x, uint32_t y, const BuildSearchContext& context);
using SpanTileTest = bool (*)(uint32_t x, uint32_t y, const BuildSearchContext& context);
// Measures a span from (x, y) along the move opposite to back: four ramp
// tiles, the middle tiles, four ramp tiles and the tile after them. The
// length (8 plus the middle tiles) with out set to the rectangle, 0 when no
// span fits.
uint32_t MeasureSpan(uint32_t x, uint32_t y, uint32_t back, SpanTileTest middle, SpanTileTest ramp,
                     const BuildSearchContext& context, SpanSegment& out);
// The newest bridge and tunnel rows (0 when none) that end in the way row
// and are built by the year.
void ChooseSpanRows(uint32_t wayRow, int64_t year, uint32_t& bridgeRow, uint32_t& tunnelRow);

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
