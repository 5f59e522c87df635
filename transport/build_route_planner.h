// The build route planner: finds a buildable path for new road or track
// between two tiles with the pathfinder, prices every tile of it and keeps
// it as the planned route until it is built or replaced. Its state belongs
// to the world (not saved: a plan lives only until it is built).
//
// A plan made for a command must not depend on the machine's speed:
// PlanRouteToCompletion runs the whole search in one call whatever the
// pathfinder's options. PlanRouteWithPathfinder runs one slice under the
// pathfinder's options (the interactive preview), ContinuePlannedRoute the
// next ones; the finished path is the same either way.
#pragma once

#include "transport/construction_rules.h"
#include "transport/pathfinder.h"
#include "world/world.h"

#include <cstdint>
#include <memory>
#include <vector>

class BridgeSpan;

inline constexpr uint32_t kNoDirectionOwner = 4294967295u;

// One tile read for an edit: what lies there and who owns each direction.
struct TileEditRecord {
    uint32_t trackRow = 0;
    uint32_t roadRow = 0;
    // The direction mask of the way being edited.
    uint32_t mask = 0;
    // 0 nothing, 1 track, 2 road, 3 both.
    uint32_t sub = 0;
    uint32_t owner[4] = {kNoDirectionOwner, kNoDirectionOwner, kNoDirectionOwner, kNoDirectionOwner};
    uint32_t x = 0;
    uint32_t y = 0;
};

// A tile of the planned route and the directions its piece gets.
struct PlannedTile {
    uint16_t x = 0;
    uint16_t y = 0;
    uint8_t mask = 0;
};

class BuildRoutePlanner final : public WorldAttachment {
public:
    BuildRoutePlanner();

    // 1 track, 2 road; 0 while nothing is planned.
    uint32_t plannedType = 0;
    uint32_t wayRow = 0;
    // The bridge or tunnel row of a span plan (its ends are pieces of
    // wayRow), 0 for a plain way.
    uint32_t spanRow = 0;
    uint32_t player = 0;
    uint32_t flags = 0;
    // 1 for tentative pieces that a revert takes away again, else 0.
    uint32_t flagWord = 0;
    // Computer players: curve pieces are placed at once rather than through
    // the special-track command.
    uint8_t directPieces = 0;
    // A free track route (flag 8) gets signals around its four-way tiles.
    uint8_t signalSwitch = 0;
    int64_t plannedCost = 0;
    PathPoint from;
    PathPoint to;
    BuildSearchContext context;
    std::unique_ptr<Pathfinder> pathfinder;
    // A span plan's tiles, from the higher coordinate of its axis to the
    // lower, each with the mask of its piece.
    std::vector<PlannedTile> straight;
};

// The current world's planner, made on first use.
BuildRoutePlanner& GetBuildRoutePlanner();

// Stores the player; a change drops the planned route.
void SetRoutePlannerPlayer(uint32_t player);
void SetRoutePlannerFlag(uint32_t value);
void SetRoutePlannerDirectPieces(uint8_t value);
void SetRoutePlannerSignals(uint8_t value);

// Plans a way of the route builder row from one tile to another and runs
// one slice of the search: the cost when the search finished in it, else 0
// (ContinuePlannedRoute goes on). Unless flags hold 8, the goal is moved
// onto the axis of the larger difference. A bridge or tunnel row plans a
// straight line along that axis: a piece of the row's ramp way at each end
// and the span between them. Rows of no route type, and ends off the map,
// on water or on a station (a span plan's) plan nothing.
int64_t PlanRouteWithPathfinder(int32_t fromX, int32_t fromY, int32_t toX, int32_t toY, uint32_t row,
                                uint32_t flags);
// One more slice of a plan's search; the cost once it has finished.
int64_t ContinuePlannedRoute();
// The same plan, searched to its end in this call.
int64_t PlanRouteToCompletion(int32_t fromX, int32_t fromY, int32_t toX, int32_t toY, uint32_t row,
                              uint32_t flags);

// The planned route's tiles from the goal to the start, with the direction
// mask of each piece (towards both neighbours); empty while none is found.
std::vector<PlannedTile> PlannedRouteTiles();
// The bridge or tunnel piece hanging at a tile (the first attachment slot,
// else the second), or null.
BridgeSpan* SpanOnTile(uint32_t x, uint32_t y);
// A bridge or tunnel inside a plain plan: the tiles first .. first +
// length - 1 of PlannedRouteTiles are its chain, the tiles before and after
// them its end pieces.
struct RouteSpan {
    size_t first = 0;
    uint32_t length = 0;
    uint32_t spanRow = 0;
};
// The spans of a plain plan of flags 1 or 2 (none otherwise).
std::vector<RouteSpan> FindRouteSpans(const std::vector<PlannedTile>& tiles);
// Whether the plan's way already runs on a span at the tile along mask.
bool RunsOnExistingSpan(const PlannedTile& tile, uint32_t routeType);
// The track of a rail station's loading area that holds (x, y), with the
// piece beyond each of its ends: a plan that reaches it upgrades the whole
// run to its way at once. False (tiles empty) off such a loading area.
bool LoadingAreaRun(uint32_t x, uint32_t y, std::vector<PathPoint>& tiles, int32_t& owner);
// The price of bringing the run's track to the way row, and with build set
// the run changed. Another company's station costs and changes nothing.
int64_t UpgradeLoadingAreaRun(const std::vector<PathPoint>& tiles, int32_t owner, uint32_t wayRow,
                              uint32_t player, bool build);
// Whether the planned route may still be built as planned.
bool ValidatePlannedRoute();

// Reads a tile into the record for the layer of routeType (1 track, 2 road).
TileEditRecord ReadTileEdit(uint32_t x, uint32_t y, uint32_t routeType);
// The price of adding the mask's directions of the way row to the record,
// changing the record as the build would.
int64_t PieceCost(TileEditRecord& record, uint32_t mask, uint32_t routeType, uint32_t wayRow,
                  uint32_t player);
