#include "transport/route_search.h"

#include "data/generated/route_tables.h"
#include "data/generated/vehicle_tables.h"
#include "transport/path_costs.h"
#include "transport/pathfinder.h"
#include "transport/transport_log.h"
#include "world/bridge_span.h"
#include "world/cell_rows.h"
#include "world/mountain.h"
#include "world/object_manager.h"
#include "world/player.h"
#include "world/special_track.h"
#include "world/world.h"
#include "world/world_services.h"

#include <algorithm>
#include <bit>
#include <map>

namespace {

// The water cache's key: the packed to-point above the packed from-point,
// each x in the low and y in the high 16 bits.
uint64_t WaterKey(uint32_t fromX, uint32_t fromY, uint32_t toX, uint32_t toY) {
    const uint64_t from = (fromX & 0xFFFFu) | ((fromY & 0xFFFFu) << 16);
    const uint64_t to = (toX & 0xFFFFu) | ((toY & 0xFFFFu) << 16);
    return (to << 32) | from;
}

// The per-world state of the route searches.
struct RouteSearchState : WorldAttachment {
    // Null routes are pairs without one.
    struct WaterEntry {
        std::unique_ptr<WaypointList> route;
        uint32_t cost = 0;
    };
    std::map<uint64_t, WaterEntry> waterCache;
    RouteSearchReport last;
};

RouteSearchState& State() {
    return CurrentWorld().Attached<RouteSearchState>();
}

StationRouteHooks gStationHooks;

bool WaterStepCheck(const PathStep& to, const PathStep* from, void*) {
    const WorldMap& map = GetWorldMap();
    if (map.GetCellKind(to.x, to.y) != kCellWaterway)
        return false;
    if (!from || (from->x == to.x || from->y == to.y))
        return true;
    if (map.GetLayer1Object(to.x, to.y) != 0 || map.GetLayer1Object(from->x, from->y) != 0)
        return false;
    return map.GetBuildingAt(to.x, to.y) == 0;
}

} // namespace

// The water search runs to its end in one call, so one instance serves
// every world of the process.
Pathfinder& WaterRoutePathfinder() {
    static Pathfinder finder;
    static const bool configured = [] {
        ConfigureWaterPathfinder(finder);
        finder.SetStepCheck(WaterStepCheck);
        return true;
    }();
    (void)configured;
    return finder;
}

namespace {

const SpanPiece* SpanInSlot(uint32_t x, uint32_t y, uint32_t selector) {
    const WorldMap& map = GetWorldMap();
    const uint32_t id = selector == 1   ? map.GetLayer1Object(x, y)
                        : selector == 2 ? map.GetLayer2Object(x, y)
                                        : 0;
    return id ? dynamic_cast<const SpanPiece*>(MapObjectFromId(id)) : nullptr;
}

// The span rules of road and track: -1 when the selected slot holds no span
// (the cell decides), else the answer.
int32_t SpanRule(uint32_t x, uint32_t y, uint32_t wanted, uint32_t selector) {
    const SpanPiece* span = SpanInSlot(x, y, selector);
    if (!span)
        return -1;
    // A span being built or torn down (flag 0 or 1) carries nothing.
    if (const auto* bridge = dynamic_cast<const BridgeSpan*>(span); bridge && (bridge->GetFlags() & 3) != 0)
        return 0;
    const uint32_t orientation = span->GetOrientation();
    if (wanted & orientation)
        return int32_t(orientation);
    return -1;
}

bool HasRoadType(const WorldMap& map, uint32_t x, uint32_t y) {
    return map.GetRouteTypeAt(2, x, y) != 0 || map.GetRouteSubKind(x, y) == 8;
}

// The 4-bit direction field of a layer under construction, when its 5-bit
// field is set and flag B allows it; 0 otherwise.
uint32_t PendingDirections(const WorldMap& map, uint32_t layer, uint32_t x, uint32_t y) {
    const WorldCell* cell = map.FindCell(x, y);
    if (!cell || GetSavedRouteType(*cell, layer) == 0 || !map.GetRouteFlagB(layer, x, y))
        return 0;
    const int32_t field = GetSavedDirections(*cell, layer);
    return field > 0 ? uint32_t(field) : 0;
}

uint32_t DirectionIndex(uint8_t mask) {
    switch (mask) {
    case 1:
        return 0;
    case 2:
        return 1;
    case 4:
        return 2;
    case 8:
        return 3;
    default:
        return 4;
    }
}

int32_t Penalty(int32_t VehicleConstantsRow::*column) {
    const VehicleConstantsRow* row = VehicleConstantsTable::Find(0);
    return row ? row->*column : 0;
}

uint32_t PenaltyCost(int32_t VehicleConstantsRow::*column) {
    const int32_t value = Penalty(column);
    return value <= 0 ? 0 : std::min<uint32_t>(uint32_t(value), kRouteCostImpossible);
}

bool VehicleMayUse(int32_t vehicleType, uint32_t routeType) {
    const RouteBuilderRow* row = RouteBuilderTable::Find(int32_t(routeType));
    switch (vehicleType) {
    case 5:
    case 6:
        return row && row->CanCrossTrack;
    case 7:
    case 8:
        return row && row->OverheadLine;
    case 9:
        return row && row->IsMonoRail;
    case 10:
        return row && row->IsSupraConductor;
    case 17:
        return row && row->IsHorseTrack;
    default:
        return true;
    }
}

// The route type a vehicle arriving in the arrival direction runs on: a
// tunnel's with its entrance here along that direction, else the track's.
uint32_t RouteTypeUnderVehicle(uint32_t x, uint32_t y, uint8_t arrival) {
    for (uint32_t selector = 1; selector <= 2; ++selector) {
        const SpanPiece* span = SpanInSlot(x, y, selector);
        if (span && span->IsTunnel() && span->IsTunnelEntranceAt(int32_t(x), int32_t(y)) &&
            (span->GetOrientation() & arrival))
            return uint32_t(span->GetRouteType());
    }
    return GetWorldMap().GetRouteTypeAt(1, x, y);
}

bool IsStop(const RouteVehicle* vehicle, const MapObject& station) {
    return vehicle && (vehicle->currentStop == station.GetId() || vehicle->nextStop == station.GetId());
}

struct ExcludedFilter {
    uint32_t x = 0;
    uint32_t y = 0;
    uint8_t mask = 0;
    TileCostFn next = nullptr;
    void* nextContext = nullptr;
};

uint32_t ExcludedDirectionFilter(uint32_t x, uint32_t y, uint32_t arrival, uint32_t leaving, void* context,
                                 uint32_t mode) {
    const auto& filter = *static_cast<const ExcludedFilter*>(context);
    if (x == filter.x && y == filter.y && (leaving & filter.mask))
        return kRouteCostImpossible;
    return filter.next ? filter.next(x, y, arrival, leaving, filter.nextContext, mode) : 0;
}

struct ExtraCostCombiner {
    TileCostFn extra = nullptr;
    void* extraContext = nullptr;
    TileCostFn next = nullptr;
    void* nextContext = nullptr;
};

// The extra cost is a 16-bit amount; a forbidden step stays forbidden
// rather than wrapping into a cheap one.
uint32_t CombineExtraCost(uint32_t x, uint32_t y, uint32_t arrival, uint32_t leaving, void* context,
                          uint32_t mode) {
    const auto& combiner = *static_cast<const ExtraCostCombiner*>(context);
    const uint32_t extra = combiner.extra(x, y, arrival, leaving, combiner.extraContext, mode);
    uint32_t cost = extra >= kRouteCostImpossible ? kRouteCostImpossible : (extra & 0xFFFFu);
    if (combiner.next)
        cost = AddRouteCosts(cost, combiner.next(x, y, arrival, leaving, combiner.nextContext, mode));
    return cost;
}

uint32_t WaterSearch(uint32_t fromX, uint32_t fromY, uint32_t toX, uint32_t toY, WaypointList* list) {
    RouteSearchState& state = State();
    WorldMap& map = GetWorldMap();
    // A changed water network (a station laid kind-4 cells, a loaded map)
    // makes every kept answer suspect.
    if (map.GetNetworkFlag3()) {
        state.waterCache.clear();
        map.ClearNetworkFlag3();
    }
    const uint64_t key = WaterKey(fromX, fromY, toX, toY);
    const WaypointList* route = nullptr;
    if (auto it = state.waterCache.find(key); it != state.waterCache.end()) {
        route = it->second.route.get();
        state.last = RouteSearchReport{it->second.cost, 0, true};
    } else {
        RouteSearchReport report;
        std::unique_ptr<WaypointList> found = WaterRouteSearch(fromX, fromY, toX, toY, &report);
        state.last = report;
        route = found.get();
        // Running out of store says nothing about the map: not kept.
        if (!found && WaterRoutePathfinder().StoreFull())
            return 0;
        state.waterCache.emplace(key, RouteSearchState::WaterEntry{std::move(found), report.cost});
    }
    if (!route)
        return 0;
    if (list)
        list->Append(*route);
    return route->Count();
}

} // namespace

const RouteSearchReport& LastRouteSearch() {
    return State().last;
}

uint32_t SearchRouteByMode(uint32_t mode, uint32_t fromX, uint32_t fromY, uint32_t toX, uint32_t toY,
                           WaypointList* list, const RouteVehicle* vehicle, int32_t playerSlot,
                           uint8_t excludedMask, TileCostFn extraCost, void* extraContext) {
    RouteSearchState& state = State();
    state.last = RouteSearchReport{};
    switch (mode) {
    case kModeRoad: {
        ExcludedFilter filter{toX, toY, excludedMask, nullptr, nullptr};
        RoutePlanner& planner = EnsureRoutePlanner(kRouteModeRoad);
        planner.SetExcludedDirections(excludedMask, toX, toY);
        const uint32_t cost =
            planner.FindRoute(toX, toY, fromX, fromY, list, excludedMask ? ExcludedDirectionFilter : nullptr,
                              excludedMask ? &filter : nullptr);
        state.last.cost = cost;
        return cost;
    }
    case kModeTrack: {
        RouteStepContext stepContext{vehicle, uint8_t(playerSlot < 0 ? 0 : playerSlot)};
        TileCostFn callback = playerSlot >= 0 ? RouteStepCheck : nullptr;
        void* context = playerSlot >= 0 ? &stepContext : nullptr;
        ExcludedFilter filter{fromX, fromY, excludedMask, callback, context};
        if (excludedMask) {
            callback = ExcludedDirectionFilter;
            context = &filter;
        }
        ExtraCostCombiner combiner{extraCost, extraContext, callback, context};
        if (extraCost) {
            callback = CombineExtraCost;
            context = &combiner;
        }
        RoutePlanner& planner = EnsureRoutePlanner(kRouteModeTrack);
        planner.SetExcludedDirections(excludedMask, fromX, fromY);
        const uint32_t cost = planner.FindRoute(toX, toY, fromX, fromY, list, callback, context);
        state.last.cost = cost;
        return cost;
    }
    case kModeWater:
        return WaterSearch(fromX, fromY, toX, toY, list);
    case kModeAir: {
        const uint32_t cost = DirectAirRoute(fromX, fromY, toX, toY, list);
        state.last.cost = cost;
        return cost;
    }
    default:
        return 0;
    }
}

uint32_t DirectAirRoute(uint32_t fromX, uint32_t fromY, uint32_t toX, uint32_t toY, WaypointList* list) {
    if (!list)
        return 1;
    const int64_t dx = int64_t(toX) - fromX;
    const int64_t dy = int64_t(toY) - fromY;
    const int64_t adx = dx < 0 ? -dx : dx;
    const int64_t ady = dy < 0 ? -dy : dy;
    const uint32_t first = list->Count();
    list->Add(fromX, fromY);
    if (dx != 0 && dy != 0) {
        const int64_t d = std::min(adx, ady);
        const uint32_t cx = uint32_t(int64_t(fromX) + (toX > fromX ? d : -d));
        const uint32_t cy = uint32_t(int64_t(fromY) + (toY > fromY ? d : -d));
        if (cx != toX || cy != toY)
            list->Add(cx, cy);
    }
    list->Add(toX, toY);
    list->SetValue(first, 0);
    list->SetValue(list->Count() - 1, 0);
    return uint32_t(adx + ady);
}

std::unique_ptr<WaypointList> WaterRouteSearch(uint32_t fromX, uint32_t fromY, uint32_t toX, uint32_t toY,
                                               RouteSearchReport* report) {
    const WorldMap& map = GetWorldMap();
    if (map.GetWidth() == 0 || map.GetHeight() == 0)
        return nullptr;
    Pathfinder& finder = WaterRoutePathfinder();
    const PathRect rect{0, 0, int32_t(map.GetWidth()) - 1, int32_t(map.GetHeight()) - 1};
    const int32_t setup = finder.Setup(PathPoint{int32_t(fromX), int32_t(fromY)},
                                       PathPoint{int32_t(toX), int32_t(toY)}, rect, 8);
    const int32_t result = setup == Pathfinder::kReady ? finder.SearchToCompletion() : setup;
    if (report) {
        report->expansions = finder.Expansions();
        report->cached = false;
    }
    if (result == Pathfinder::kNoPath && finder.StoreFull())
        TransportWarning("water route (%u, %u) to (%u, %u): the search ran out of store", fromX, fromY, toX,
                         toY);
    if (result != Pathfinder::kGoalReached)
        return nullptr;
    const std::vector<PathStep>& path = finder.GetPath();
    if (path.empty())
        return nullptr;
    auto list = std::make_unique<WaypointList>();
    uint8_t lastDirection = 0;
    for (size_t i = path.size(); i-- > 1;) {
        const PathStep& step = path[i];
        const PathStep& next = path[i - 1];
        const uint8_t direction = DirectionBetween(step.x, step.y, next.x, next.y);
        if (i == path.size() - 1 || direction != lastDirection)
            list->Add(step.x, step.y);
        lastDirection = direction;
    }
    list->Add(path.front().x, path.front().y);
    if (report)
        report->cost = path.front().g;
    return list;
}

const WaypointList* CachedWaterRoute(uint32_t fromX, uint32_t fromY, uint32_t toX, uint32_t toY) {
    if (WaterSearch(fromX, fromY, toX, toY, nullptr) == 0)
        return nullptr;
    auto it = State().waterCache.find(WaterKey(fromX, fromY, toX, toY));
    return it == State().waterCache.end() ? nullptr : it->second.route.get();
}

void ClearWaterRouteCache() {
    State().waterCache.clear();
}

size_t WaterRouteCacheSize() {
    return State().waterCache.size();
}

void NoteWaterNetworkChanged() {
    ClearWaterRouteCache();
}

void MarkOpenWaterTiles() {
    ClearWaterRouteCache();
    WorldMap& map = GetWorldMap();
    for (uint32_t x = 0; x < map.GetWidth(); ++x) {
        for (uint32_t y = 0; y < map.GetHeight(); ++y) {
            if (!map.IsNavigable(x, y) || map.GetCellKind(x, y) == kCellWaterway)
                continue;
            if (gStationHooks.stationNear && gStationHooks.stationNear(x, y))
                continue;
            if (IsOpenWater(int32_t(x), int32_t(y)))
                map.SetRouteKind(x, y, 4);
        }
    }
}

uint32_t TilePassableForMode(uint32_t x, uint32_t y, uint32_t mode, uint32_t wanted, uint32_t selector) {
    const WorldMap& map = GetWorldMap();
    if (!map.InMap(x, y))
        return 0;
    switch (mode) {
    case kModeRoad: {
        if (selector == 1 || selector == 2)
            if (const int32_t span = SpanRule(x, y, wanted, selector); span >= 0)
                return uint32_t(span);
        if (!HasRoadType(map, x, y))
            return 0;
        if (map.GetRouteFlagA(2, x, y)) {
            const WorldCell* cell = map.FindCell(x, y);
            const bool flagB = map.GetRouteFlagB(2, x, y);
            if (cell && GetSavedRouteType(*cell, 2) != 0 && flagB)
                return map.HasRoad(x, y) ? 1 : 0;
            if (flagB)
                return 0;
            const int32_t field = cell ? GetSavedDirections(*cell, 2) : 0;
            return field > 0 ? uint32_t(field) : 0;
        }
        return map.HasRoad(x, y) ? 1 : 0;
    }
    case kModeTrack: {
        if (selector == 0 && map.IsSpecialTrackAt(x, y))
            return 1;
        if (selector == 1 || selector == 2)
            if (const int32_t span = SpanRule(x, y, wanted, selector); span >= 0)
                return uint32_t(span);
        if (map.GetRouteTypeAt(1, x, y) == 0)
            return 0;
        if (map.GetRouteFlagA(1, x, y)) {
            const WorldCell* cell = map.FindCell(x, y);
            if (!cell || GetSavedRouteType(*cell, 1) == 0 || !map.GetRouteFlagB(1, x, y))
                return 0;
        }
        return map.HasTrack(x, y) ? 1 : 0;
    }
    case kModeWater:
        return map.GetCellKind(x, y) == kCellWaterway ? 1 : 0;
    case kModeAir:
        return 1;
    default:
        return 0;
    }
}

uint32_t TileUsableForMode(uint32_t x, uint32_t y, uint32_t mode, uint32_t wanted, uint32_t selector) {
    const WorldMap& map = GetWorldMap();
    if (!map.InMap(x, y))
        return 0;
    switch (mode) {
    case kModeRoad: {
        if (selector == 1 || selector == 2)
            if (const int32_t span = SpanRule(x, y, wanted, selector); span >= 0)
                return uint32_t(span);
        if (!HasRoadType(map, x, y))
            return 0;
        if (map.GetRouteFlagA(2, x, y))
            return PendingDirections(map, 2, x, y);
        return map.GetRoadDirections(x, y) & 0xFF;
    }
    case kModeTrack: {
        if (selector == 1 || selector == 2)
            if (const int32_t span = SpanRule(x, y, wanted, selector); span >= 0)
                return uint32_t(span);
        // Switches and crossings report their directions once they are
        // pieces of their own; until then their cells decide.
        if (map.GetRouteTypeAt(1, x, y) == 0)
            return 0;
        if (map.GetRouteFlagA(1, x, y))
            return PendingDirections(map, 1, x, y);
        return map.GetTrackDirections(x, y) & 0xFF;
    }
    case kModeWater: {
        if (map.GetCellKind(x, y) != kCellWaterway)
            return 0;
        static constexpr int32_t kDx[4] = {0, 1, 0, -1};
        static constexpr int32_t kDy[4] = {-1, 0, 1, 0};
        uint32_t mask = 0;
        for (uint32_t d = 0; d < 4; ++d) {
            const uint32_t nx = uint32_t(int64_t(x) + kDx[d]);
            const uint32_t ny = uint32_t(int64_t(y) + kDy[d]);
            if (map.InMap(nx, ny) && map.GetCellKind(nx, ny) == kCellWaterway)
                mask |= 1u << d;
        }
        return mask;
    }
    case kModeAir:
        return 15;
    default:
        return 0;
    }
}

uint32_t FindTunnelEntrance(uint32_t x, uint32_t y) {
    for (uint32_t selector = 1; selector <= 2; ++selector) {
        const SpanPiece* span = SpanInSlot(x, y, selector);
        if (span && span->IsTunnel() && span->IsTunnelEntranceAt(int32_t(x), int32_t(y)))
            return selector;
    }
    return 0;
}

uint32_t RouteStepCheck(uint32_t x, uint32_t y, uint32_t arrival, uint32_t leaving, void* context,
                        uint32_t mode) {
    const auto* step = static_cast<const RouteStepContext*>(context);
    const RouteVehicle* vehicle = step ? step->vehicle : nullptr;
    const uint32_t usable = TileUsableForMode(x, y, mode, leaving, FindTunnelEntrance(x, y));
    if (usable == 0)
        return kRouteCostImpossible;

    const WorldMap& map = GetWorldMap();
    int32_t owner = map.GetEdgeHeight(x, y, leaving, false);
    if (const SpecialTrackBase* track = map.FindSpecialTrack(x, y))
        owner = track->GetOwner();
    if (step && owner >= 0 && owner != int32_t(step->playerSlot) && GetPlayer(uint32_t(owner)))
        return kRouteCostImpossible;

    if (vehicle && !VehicleMayUse(vehicle->vehicleType, RouteTypeUnderVehicle(x, y, arrival)))
        return kRouteCostImpossible;

    MapObject* station = gStationHooks.stationNear ? gStationHooks.stationNear(x, y) : nullptr;
    if (std::popcount(usable) >= 3) {
        if (station)
            return IsStop(vehicle, *station)
                       ? 0
                       : PenaltyCost(&VehicleConstantsRow::RoutingPassThroughStationPenalty);
        const uint32_t index = DirectionIndex(arrival);
        uint8_t reference = arrival;
        if (index < 4) {
            const uint8_t left = uint8_t(1u << ((index + 3) % 4));
            if (usable & left)
                reference = left;
        }
        return leaving == reference ? PenaltyCost(&VehicleConstantsRow::RoutingTurnLeftPenalty) : 0;
    }
    if (station && gStationHooks.stationMode && gStationHooks.stationMode(*station) == int32_t(kModeTrack)) {
        if (!IsStop(vehicle, *station))
            return PenaltyCost(&VehicleConstantsRow::RoutingPassThroughStationPenalty);
        uint8_t exit = 0;
        bool required = false;
        if (!gStationHooks.exitRule || !gStationHooks.exitRule(*station, x, y, exit, required))
            return 0;
        return (leaving == exit) == required
                   ? 0
                   : PenaltyCost(&VehicleConstantsRow::RoutingWrongStationExitPenalty);
    }
    return 0;
}

uint32_t GetRouteNodeId(uint32_t x, uint32_t y, uint32_t) {
    return GetWorldMap().GetTileNodeId(x, y);
}

void SetRouteNodeId(uint32_t x, uint32_t y, uint32_t id, uint32_t) {
    GetWorldMap().SetTileNodeId(x, y, id);
}

bool HasNetworkChanged(uint32_t mode) {
    const WorldMap& map = GetWorldMap();
    switch (mode) {
    case kModeRoad:
        return map.RoadNetworkChanged();
    case kModeTrack:
        return map.TrackNetworkChanged();
    case kModeWater:
        return map.GetNetworkFlag3() != 0;
    default:
        return false;
    }
}

void ClearNetworkChanged(uint32_t mode) {
    WorldMap& map = GetWorldMap();
    switch (mode) {
    case kModeRoad:
        map.ClearRoadNetworkChanged();
        break;
    case kModeTrack:
        map.ClearTrackNetworkChanged();
        break;
    case kModeWater:
        map.ClearNetworkFlag3();
        break;
    default:
        break;
    }
}

void SetStationRouteHooks(const StationRouteHooks& hooks) {
    gStationHooks = hooks;
}

uint32_t StationConnectionForMode(uint32_t x, uint32_t y, uint32_t mode) {
    if (!gStationHooks.stationNear || !gStationHooks.stationMode || !Services().stationConnectionMask)
        return 0;
    MapObject* station = gStationHooks.stationNear(x, y);
    if (!station || gStationHooks.stationMode(*station) != int32_t(mode))
        return 0;
    return Services().stationConnectionMask(station, x, y);
}
