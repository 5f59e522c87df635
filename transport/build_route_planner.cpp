#include "transport/build_route_planner.h"

#include "data/generated/route_tables.h"
#include "transport/station.h"
#include "transport/transport_log.h"
#include "transport/waypoint_list.h"
#include "world/bridge_span.h"
#include "world/game_clock.h"
#include "world/prices.h"
#include "world/world_map.h"

#include <algorithm>
#include <cstdlib>

namespace {

const RouteBuilderRow* PlainWayRow(uint32_t row) {
    const RouteBuilderRow* r = RouteBuilderTable::Find(int32_t(row));
    if (!r || r->IsBridge != 0 || (r->RouteType != 1 && r->RouteType != 2))
        return nullptr;
    return r;
}

int64_t PriceOf(uint32_t row) {
    return GetRouteConstructionCost(int32_t(row));
}

// The price of a span plan: the two end pieces and the span between them.
int64_t PriceSpanPlan(BuildRoutePlanner& planner) {
    const std::vector<PlannedTile>& tiles = planner.straight;
    int64_t cost = 0;
    for (const PlannedTile* tile : {&tiles.front(), &tiles.back()}) {
        TileEditRecord record = ReadTileEdit(tile->x, tile->y, planner.plannedType);
        cost += PieceCost(record, tile->mask, planner.plannedType, planner.wayRow, planner.player);
    }
    if (tiles.size() >= 4)
        cost += GetBridgeSpanCost(tiles[1].x, tiles[1].y, tiles[tiles.size() - 2].x,
                                  tiles[tiles.size() - 2].y, int32_t(planner.spanRow));
    return cost;
}

// Plans a bridge or tunnel of the row: a straight line along the axis of
// the larger difference; false when nothing can be planned.
bool PlanSpan(BuildRoutePlanner& planner, const RouteBuilderRow& span, int32_t fromX, int32_t fromY,
              int32_t toX, int32_t toY, uint32_t row, uint32_t flags) {
    // The ramp row may itself be drawn as a span piece; its pieces at the
    // ends are laid as way of its route type.
    const RouteBuilderRow* ramp = span.RampIndex > 0 ? RouteBuilderTable::Find(span.RampIndex) : nullptr;
    if (!ramp || ramp->RouteType != span.RouteType) {
        TransportWarning("route planner: span row %u ends in no way of its route type", row);
        return false;
    }
    if (fromX != toX && fromY != toY) {
        if (std::abs(toY - fromY) < std::abs(toX - fromX))
            toY = fromY;
        else
            toX = fromX;
    }
    const WorldMap& map = GetWorldMap();
    for (const PathPoint end : {PathPoint{fromX, fromY}, PathPoint{toX, toY}}) {
        const uint32_t x = uint32_t(end.x), y = uint32_t(end.y);
        const TerrainRow* terrain = map.TerrainAt(x, y);
        if (StationAtTile(end.x, end.y) || map.GetCellKind(x, y) == kCellWaterway || !terrain ||
            terrain->IsWater)
            return false;
    }
    planner.flags = flags;
    planner.from = {fromX, fromY};
    planner.to = {toX, toY};
    planner.wayRow = uint32_t(span.RampIndex);
    planner.spanRow = row;
    planner.plannedType = uint32_t(span.RouteType);
    BuildSearchContext& context = planner.context;
    context.start = planner.from;
    context.goal = planner.to;
    context.wayRow = planner.wayRow;
    context.routeType = planner.plannedType;
    context.flags = flags;
    context.player = int32_t(planner.player);
    context.spanRow = row;
    const bool alongX = fromX != toX;
    const int32_t high = alongX ? std::max(fromX, toX) : std::max(fromY, toY);
    const int32_t low = alongX ? std::min(fromX, toX) : std::min(fromY, toY);
    for (int32_t c = high; c >= low; --c) {
        // Each end piece faces the span.
        const uint32_t mask = c == low && c != high ? (alongX ? 2u : 4u) : (alongX ? 8u : 1u);
        planner.straight.push_back(
            {uint16_t(alongX ? c : fromX), uint16_t(alongX ? fromY : c), uint8_t(mask)});
    }
    // Two ramps of four tiles, a tile between them and an end piece each
    // side: anything shorter could never be built.
    if (planner.straight.size() < 11) {
        planner.straight.clear();
        planner.spanRow = 0;
        planner.plannedType = 0;
        return false;
    }
    return true;
}

// Prices the finished search's path; the planned route's cost.
int64_t PriceFinishedPlan(BuildRoutePlanner& planner) {
    planner.plannedCost = 0;
    if (planner.spanRow != 0) {
        planner.plannedCost = planner.plannedType != 0 ? PriceSpanPlan(planner) : 0;
        return planner.plannedCost;
    }
    if (planner.pathfinder->GetState() != Pathfinder::kGoalReached)
        return 0;
    const std::vector<PlannedTile> tiles = PlannedRouteTiles();
    const std::vector<RouteSpan> spans = FindRouteSpans(tiles);
    int64_t cost = 0;
    size_t next = 0;
    std::vector<PathPoint> runs;
    for (size_t i = 0; i < tiles.size(); ++i) {
        if (std::find(runs.begin(), runs.end(), PathPoint{tiles[i].x, tiles[i].y}) != runs.end())
            continue;
        if (next < spans.size() && spans[next].first == i) {
            const RouteSpan& span = spans[next++];
            const PlannedTile& last = tiles[i + span.length - 1];
            cost += GetBridgeSpanCost(tiles[i].x, tiles[i].y, last.x, last.y, int32_t(span.spanRow));
            i += span.length - 1;
            continue;
        }
        if (RunsOnExistingSpan(tiles[i], planner.plannedType))
            continue;
        std::vector<PathPoint> run;
        int32_t owner = -1;
        if (planner.plannedType == 1 && LoadingAreaRun(tiles[i].x, tiles[i].y, run, owner)) {
            cost += UpgradeLoadingAreaRun(run, owner, planner.wayRow, planner.player, false);
            runs.insert(runs.end(), run.begin(), run.end());
            continue;
        }
        TileEditRecord record = ReadTileEdit(tiles[i].x, tiles[i].y, planner.plannedType);
        cost += PieceCost(record, tiles[i].mask, planner.plannedType, planner.wayRow, planner.player);
    }
    planner.plannedCost = cost;
    return cost;
}

// Sets up the search of a plan; false when nothing can be planned.
bool SetUpPlan(BuildRoutePlanner& planner, int32_t fromX, int32_t fromY, int32_t toX, int32_t toY,
               uint32_t row, uint32_t flags) {
    planner.plannedCost = 0;
    planner.plannedType = 0;
    planner.spanRow = 0;
    planner.straight.clear();
    planner.context.spanRow = 0;
    const WorldMap& map = GetWorldMap();
    if (fromX < 0 || fromY < 0 || toX < 0 || toY < 0 || !map.InMap(uint32_t(fromX), uint32_t(fromY)) ||
        !map.InMap(uint32_t(toX), uint32_t(toY)))
        return false;
    const RouteBuilderRow* span = RouteBuilderTable::Find(int32_t(row));
    if (span && SpanKindOf(row) != 0 && (span->RouteType == 1 || span->RouteType == 2))
        return PlanSpan(planner, *span, fromX, fromY, toX, toY, row, flags);
    const RouteBuilderRow* way = PlainWayRow(row);
    if (!way) {
        TransportWarning("route planner: row %u is no plain road or track", row);
        return false;
    }
    planner.flags = flags;
    // A drag is laid along the axis of its larger difference.
    if ((flags & 8) == 0 && fromX != toX && fromY != toY) {
        if (std::abs(toY - fromY) < std::abs(toX - fromX))
            toY = fromY;
        else
            toX = fromX;
    }
    planner.from = {fromX, fromY};
    planner.to = {toX, toY};
    BuildSearchContext& context = planner.context;
    context.window = {0, 0, int32_t(map.GetWidth()) - 1, int32_t(map.GetHeight()) - 1};
    context.start = planner.from;
    context.goal = planner.to;
    context.wayRow = row;
    context.routeType = uint32_t(way->RouteType);
    context.flags = flags;
    context.player = int32_t(planner.player);
    context.spanRow = 0;
    context.lastSpanLength = 0;
    context.segments.clear();
    Pathfinder& pathfinder = *planner.pathfinder;
    pathfinder.ClearPath();
    pathfinder.SetContext(&context);
    pathfinder.SetStepCost(TurnStepCost);
    if (pathfinder.Setup(planner.from, planner.to, context.window, 4) != Pathfinder::kReady)
        return false;
    planner.wayRow = row;
    planner.plannedType = context.routeType;
    return true;
}

} // namespace

BuildRoutePlanner::BuildRoutePlanner() : pathfinder(std::make_unique<Pathfinder>()) {
    pathfinder->SetStepCheck(RouteStepAllowed).SetStepCost(TurnStepCost).SetHeuristic(ManhattanDistance);
    ConfigureConstructionPathfinder(*pathfinder);
    pathfinder->SetContext(&context);
}

BuildRoutePlanner& GetBuildRoutePlanner() {
    return CurrentWorld().Attached<BuildRoutePlanner>();
}

void SetRoutePlannerPlayer(uint32_t player) {
    BuildRoutePlanner& planner = GetBuildRoutePlanner();
    if (planner.player != player) {
        planner.player = player;
        planner.plannedType = 0;
    }
}

void SetRoutePlannerFlag(uint32_t value) {
    GetBuildRoutePlanner().flagWord = value;
}

void SetRoutePlannerDirectPieces(uint8_t value) {
    GetBuildRoutePlanner().directPieces = value;
}

void SetRoutePlannerSignals(uint8_t value) {
    GetBuildRoutePlanner().signalSwitch = value;
}

int64_t PlanRouteWithPathfinder(int32_t fromX, int32_t fromY, int32_t toX, int32_t toY, uint32_t row,
                                uint32_t flags) {
    BuildRoutePlanner& planner = GetBuildRoutePlanner();
    if (!SetUpPlan(planner, fromX, fromY, toX, toY, row, flags))
        return 0;
    if (planner.spanRow == 0)
        planner.pathfinder->Search(false);
    return PriceFinishedPlan(planner);
}

int64_t ContinuePlannedRoute() {
    BuildRoutePlanner& planner = GetBuildRoutePlanner();
    if (planner.plannedType == 0)
        return 0;
    if (planner.spanRow == 0 && (planner.pathfinder->GetState() == Pathfinder::kSearching ||
                                 planner.pathfinder->GetState() == Pathfinder::kReady))
        planner.pathfinder->Search(false);
    return PriceFinishedPlan(planner);
}

int64_t PlanRouteToCompletion(int32_t fromX, int32_t fromY, int32_t toX, int32_t toY, uint32_t row,
                              uint32_t flags) {
    BuildRoutePlanner& planner = GetBuildRoutePlanner();
    if (!SetUpPlan(planner, fromX, fromY, toX, toY, row, flags))
        return 0;
    if (planner.spanRow == 0)
        planner.pathfinder->SearchToCompletion();
    return PriceFinishedPlan(planner);
}

std::vector<PlannedTile> PlannedRouteTiles() {
    BuildRoutePlanner& planner = GetBuildRoutePlanner();
    std::vector<PlannedTile> tiles;
    if (planner.plannedType != 0 && planner.spanRow != 0)
        return planner.straight;
    if (planner.plannedType == 0 || planner.pathfinder->GetState() != Pathfinder::kGoalReached)
        return tiles;
    const std::vector<PathStep>& path = planner.pathfinder->GetPath();
    tiles.reserve(path.size());
    // Each piece joins the tile before it and the tile after it, so that the
    // new way is one connected line.
    for (size_t i = 0; i < path.size(); ++i) {
        uint32_t mask = path[i].back & 15u;
        if (i > 0)
            mask |= ReverseDirection(uint8_t(path[i - 1].back & 15u));
        if (path.size() == 1)
            mask = 15;
        tiles.push_back({path[i].x, path[i].y, uint8_t(mask)});
    }
    return tiles;
}

namespace {

// Whether one entry of a span plan may be built: the ramps on free
// ground, the end pieces facing the span over a tile that allows them, the
// middle under the span row's rules.
bool SpanEntryAllowed(const BuildRoutePlanner& planner, size_t i, uint32_t back) {
    const PlannedTile& tile = planner.straight[i];
    const size_t n = planner.straight.size();
    if ((i >= 1 && i <= 4) || (i + 5 >= n && i + 2 <= n))
        return IsFreeGround(tile.x, tile.y);
    const WorldMap& map = GetWorldMap();
    if (i == 0 || i + 1 == n) {
        if (map.GetCellKind(tile.x, tile.y) == kCellFootprint ||
            !TunnelEntranceAllowsStep(tile.x, tile.y, back, planner.plannedType))
            return false;
        const uint32_t existing = map.GetCellKind(tile.x, tile.y) == kCellRoute
                                      ? map.GetRouteDirections(planner.plannedType, tile.x, tile.y)
                                      : 0;
        if (existing != 0 && existing != ReverseDirection(uint8_t(back)))
            return false;
        // The end pieces are plain way.
        BuildSearchContext plain = planner.context;
        plain.spanRow = 0;
        return RouteTileAllowed(tile.x, tile.y, back, plain);
    }
    return RouteTileAllowed(tile.x, tile.y, back, planner.context);
}

// A span plan is checked whatever the flag word: no search has looked at
// its tiles.
bool ValidateSpanPlan(const BuildRoutePlanner& planner) {
    const std::vector<PlannedTile>& tiles = planner.straight;
    const size_t n = tiles.size();
    if (n < 11)
        return false;
    const PlannedTile& second = tiles[1];
    const PlannedTile& last = tiles[n - 2];
    if (GetBridgeSpanCost(second.x, second.y, last.x, last.y, int32_t(planner.spanRow)) == 0)
        return false;
    if (BridgeSpan* existing = SpanOnTile(second.x, second.y))
        return existing->CanRetypeChain(second.x, second.y, last.x, last.y, int32_t(planner.spanRow));
    const bool alongX = tiles[0].y == tiles[n - 1].y;
    for (size_t i = 0; i < n; ++i) {
        const uint32_t back = i + 1 == n ? (alongX ? 2u : 4u) : (alongX ? 8u : 1u);
        if (!SpanEntryAllowed(planner, i, back))
            return false;
    }
    return true;
}

} // namespace

std::vector<RouteSpan> FindRouteSpans(const std::vector<PlannedTile>& tiles) {
    std::vector<RouteSpan> spans;
    const BuildRoutePlanner& planner = GetBuildRoutePlanner();
    const BuildSearchContext& context = planner.context;
    if (planner.spanRow != 0 || (planner.flags & (kPlanBridges | kPlanTunnels)) == 0 || tiles.size() < 11)
        return spans;
    uint32_t bridgeRow = 0, tunnelRow = 0;
    const World& world = CurrentWorld();
    ChooseSpanRows(planner.wayRow, world.clock ? world.clock->GetCurrentYear() : 0, bridgeRow, tunnelRow);
    BuildSearchContext bridge = context, tunnel = context;
    bridge.spanRow = bridgeRow;
    tunnel.spanRow = tunnelRow;
    const auto ramp = [](uint32_t x, uint32_t y, const BuildSearchContext&) { return IsFreeGround(x, y); };
    for (size_t i = 1; i + 4 < tiles.size(); ++i) {
        const PlannedTile& at = tiles[i];
        const PlannedTile& fourOn = tiles[i + 4];
        if (fourOn.x != at.x && fourOn.y != at.y)
            continue;
        const uint8_t back = DirectionBetween(tiles[i + 1].x, tiles[i + 1].y, at.x, at.y);
        const BuildSearchContext* chosen = nullptr;
        SpanTileTest middle = nullptr;
        if ((planner.flags & kPlanBridges) && bridgeRow != 0 && CanBridgeOver(fourOn.x, fourOn.y, bridge)) {
            chosen = &bridge;
            middle = CanBridgeOver;
        } else if ((planner.flags & kPlanTunnels) && tunnelRow != 0 &&
                   CanTunnelUnder(fourOn.x, fourOn.y, tunnel)) {
            chosen = &tunnel;
            middle = CanTunnelUnder;
        }
        if (!middle || back == 0)
            continue;
        SpanSegment segment;
        const uint32_t length = MeasureSpan(at.x, at.y, back, middle, ramp, *chosen, segment);
        const RouteBuilderRow* row = RouteBuilderTable::Find(int32_t(chosen->spanRow));
        if (length == 0 || !row || (row->MaxLength > 0 && length > uint32_t(row->MaxLength)) ||
            i + length >= tiles.size())
            continue;
        // The route must run straight over the whole span and its far end.
        bool straight = true;
        for (size_t k = 1; k <= length && straight; ++k)
            straight = DirectionBetween(tiles[i + k].x, tiles[i + k].y, tiles[i + k - 1].x,
                                        tiles[i + k - 1].y) == back;
        if (!straight)
            continue;
        spans.push_back({i, length, chosen->spanRow});
        i += length;
    }
    return spans;
}

bool LoadingAreaRun(uint32_t x, uint32_t y, std::vector<PathPoint>& tiles, int32_t& owner) {
    tiles.clear();
    const Station* station = StationAtTile(int32_t(x), int32_t(y));
    if (!station || station->GetMode() != kModeTrack)
        return false;
    const WorldMap& map = GetWorldMap();
    const bool alongY = station->GetRotationIndex() % 2 == 0;
    for (uint32_t n = 1; n <= station->LoadAreaCount(); ++n) {
        LayoutRect rect;
        if (!station->GetLoadAreaRect(n, rect) || rect.w <= 0 || rect.h <= 0)
            continue;
        // The platform's track and the pieces beyond its ends that are the
        // station's.
        const PathPoint before = alongY ? PathPoint{rect.x, rect.y - 1} : PathPoint{rect.x - 1, rect.y};
        const PathPoint after =
            alongY ? PathPoint{rect.x, rect.y + rect.h} : PathPoint{rect.x + rect.w, rect.y};
        const auto add = [&](int32_t tx, int32_t ty, bool end) {
            if (tx < 0 || ty < 0 || !map.InMap(uint32_t(tx), uint32_t(ty)) ||
                !map.HasTrack(uint32_t(tx), uint32_t(ty)))
                return;
            if (end && map.GetCellBuilding(uint32_t(tx), uint32_t(ty)) != station->GetId())
                return;
            tiles.push_back({tx, ty});
        };
        add(before.x, before.y, true);
        for (int32_t ty = rect.y; ty < rect.y + rect.h; ++ty)
            for (int32_t tx = rect.x; tx < rect.x + rect.w; ++tx)
                add(tx, ty, false);
        add(after.x, after.y, true);
        if (std::find(tiles.begin(), tiles.end(), PathPoint{int32_t(x), int32_t(y)}) != tiles.end()) {
            owner = station->GetOwner();
            return true;
        }
        tiles.clear();
    }
    return false;
}

int64_t UpgradeLoadingAreaRun(const std::vector<PathPoint>& tiles, int32_t owner, uint32_t wayRow,
                              uint32_t player, bool build) {
    if (owner != int32_t(player))
        return 0;
    WorldMap& map = GetWorldMap();
    int64_t cost = 0;
    for (const PathPoint& tile : tiles) {
        const uint32_t x = uint32_t(tile.x), y = uint32_t(tile.y);
        const uint32_t existing = map.GetRouteTypeAt(1, x, y);
        if (existing == wayRow || !CanUpgradeRouteType(existing, wayRow))
            continue;
        const int64_t price = existing == 0 ? PriceOf(wayRow) : PriceOf(wayRow) - PriceOf(existing);
        cost += price > 0 ? price : 0;
        if (build)
            map.SetRouteType(1, x, y, wayRow);
    }
    return cost;
}

bool RunsOnExistingSpan(const PlannedTile& tile, uint32_t routeType) {
    const WorldMap& map = GetWorldMap();
    const BridgeSpan* span =
        map.InMap(tile.x, tile.y) ? GetBridgeSpan(map.GetLayer1Object(tile.x, tile.y)) : nullptr;
    if (!span)
        return false;
    const RouteBuilderRow* row = RouteBuilderTable::Find(span->GetRouteType());
    return row && uint32_t(row->RouteType) == routeType &&
           (span->GetOrientation() & StraightThrough(tile.mask)) == StraightThrough(tile.mask);
}

BridgeSpan* SpanOnTile(uint32_t x, uint32_t y) {
    const WorldMap& map = GetWorldMap();
    if (!map.InMap(x, y))
        return nullptr;
    BridgeSpan* span = GetBridgeSpan(map.GetLayer1Object(x, y));
    return span ? span : GetBridgeSpan(map.GetLayer2Object(x, y));
}

bool ValidatePlannedRoute() {
    BuildRoutePlanner& planner = GetBuildRoutePlanner();
    if (planner.plannedType == 0)
        return false;
    if (planner.spanRow != 0)
        return ValidateSpanPlan(planner);
    Pathfinder& pathfinder = *planner.pathfinder;
    if (pathfinder.GetState() != Pathfinder::kGoalReached || pathfinder.GetPath().empty())
        return false;
    if (!(pathfinder.GetStart() == planner.from) || !(pathfinder.GetGoal() == planner.to))
        return false;
    if (planner.flagWord == 0)
        return true;
    // The map may have changed since the plan: every step must still pass.
    return pathfinder.ValidatePath() == Pathfinder::kGoalReached;
}

TileEditRecord ReadTileEdit(uint32_t x, uint32_t y, uint32_t routeType) {
    const WorldMap& map = GetWorldMap();
    TileEditRecord record;
    record.x = x;
    record.y = y;
    if (map.GetCellKind(x, y) != kCellRoute)
        return record;
    const uint32_t sub = map.GetRouteSubKind(x, y);
    record.sub = sub <= 3 ? sub : 0;
    record.trackRow = map.GetRouteTypeAt(1, x, y);
    record.roadRow = map.GetRouteTypeAt(2, x, y);
    record.mask = map.GetRouteDirections(routeType == 1 ? 1 : 2, x, y);
    for (uint32_t d = 0; d < 4; ++d) {
        const int32_t owner = map.GetEdgeHeight(x, y, 1u << d, true);
        record.owner[d] = owner < 0 ? kNoDirectionOwner : uint32_t(owner);
    }
    return record;
}

int64_t PieceCost(TileEditRecord& record, uint32_t mask, uint32_t routeType, uint32_t wayRow,
                  uint32_t player) {
    const bool track = routeType == 1;
    const uint32_t own = track ? 1u : 2u;
    const uint32_t other = track ? 2u : 1u;
    uint32_t& ownRow = track ? record.trackRow : record.roadRow;
    const uint32_t combined = (record.mask | mask) & 15u;
    int64_t cost = 0;
    if (record.sub == 0) {
        cost = PriceOf(wayRow);
        record.sub = own;
        ownRow = wayRow;
        record.mask = combined;
    } else if (record.sub == own) {
        if (ownRow == 0) {
            cost = PriceOf(wayRow);
        } else if (ownRow != wayRow) {
            if (!CanUpgradeRouteType(ownRow, wayRow))
                return 0;
            cost = PriceOf(wayRow) - PriceOf(ownRow);
            if (cost < 0)
                cost = 0;
        }
        ownRow = wayRow;
        record.mask = combined;
    } else if (record.sub == other) {
        // A level crossing: the new way runs across the old one.
        cost = PriceOf(wayRow);
        record.sub = 3;
        ownRow = wayRow;
        record.mask = combined;
    } else {
        // Both ways already lie here.
        ownRow = wayRow;
        record.mask = combined;
    }
    for (uint32_t d = 0; d < 4; ++d)
        if ((mask & (1u << d)) && record.owner[d] == kNoDirectionOwner)
            record.owner[d] = player;
    return cost;
}
