// The one entry through which stations and vehicles ask for a route between
// two tiles in a transport mode, and the per-mode rules of which tiles and
// directions a mode may use: road and track through the route planners,
// water through the pathfinder with a cache of finished routes, air as a
// direct line.
#pragma once

#include "transport/route_planner.h"
#include "transport/waypoint_list.h"
#include "world/map_object.h"

#include <cstdint>
#include <memory>

class MapObject;

enum TransportMode : uint32_t {
    kModeRoad = 0,
    kModeTrack = 1,
    kModeWater = 2,
    kModeAir = 3,
};
inline constexpr uint32_t kTransportModeCount = 4;

// A tile callback of the route planners: the cost of leaving (x, y) in the
// leaving direction after arriving in the arrival direction (masks 1, 2, 4,
// 8); kRouteCostImpossible or more forbids the step.
using TileCostFn = RouteCostCallback;

// What the track rules need to know of the vehicle asking.
struct RouteVehicle {
    // Its type's VehicleType column.
    int32_t vehicleType = 0;
    ObjectHandle currentStop = 0;
    ObjectHandle nextStop = 0;
};

// The context of RouteStepCheck.
struct RouteStepContext {
    const RouteVehicle* vehicle = nullptr;
    // The asking player's slot.
    uint8_t playerSlot = 0;
};

// What the last SearchRouteByMode of the current world did: the route's
// cost (the pathfinder's cost for a searched water route, the planner's
// for road and track, |dx| + |dy| for air) and the tiles the search
// expanded (0 when the answer came from the cache).
struct RouteSearchReport {
    uint32_t cost = 0;
    uint64_t expansions = 0;
    bool cached = false;
};
const RouteSearchReport& LastRouteSearch();

// Searches a route in a mode and appends it to the list (when given).
// Answers 0 when there is none, else for road and track the planner's
// cost, for water the number of waypoints, for air |dx| + |dy|.
// Road applies the excluded directions at the destination tile, track at
// the start tile; track also charges the player's and vehicle's step rules
// (player slot -1: none) and the extra callback's cost.
uint32_t SearchRouteByMode(uint32_t mode, uint32_t fromX, uint32_t fromY, uint32_t toX, uint32_t toY,
                           WaypointList* list, const RouteVehicle* vehicle, int32_t playerSlot,
                           uint8_t excludedMask, TileCostFn extraCost, void* extraContext);

// The straight-then-diagonal line of an aircraft: from, the corner where the
// 45-degree leg ends (when the points differ in both axes and the corner is
// not the goal), to. Answers |dx| + |dy| (1 without a list).
uint32_t DirectAirRoute(uint32_t fromX, uint32_t fromY, uint32_t toX, uint32_t toY, WaypointList* list);

// The water route of a pair from the cache, searched and kept on a miss;
// null when there is none. A search that ran out of store is answered as
// no route but not kept.
const WaypointList* CachedWaterRoute(uint32_t fromX, uint32_t fromY, uint32_t toX, uint32_t toY);
// A fresh search over the water-route cells: the start, every tile where
// the course turns, and the goal; null when there is none.
std::unique_ptr<WaypointList> WaterRouteSearch(uint32_t fromX, uint32_t fromY, uint32_t toX, uint32_t toY,
                                               RouteSearchReport* report = nullptr);
void ClearWaterRouteCache();
// The pathfinder of the water searches (one for the process).
class Pathfinder;
Pathfinder& WaterRoutePathfinder();
// Pairs held by the water cache, with or without a route.
size_t WaterRouteCacheSize();
// Whatever changed water-route cells calls this: the cached answers, "no
// route" ones above all, may no longer hold.
void NoteWaterNetworkChanged();

// Makes every navigable tile with open water four tiles in each direction
// and no station at or next to it a water-route cell; empties the cache.
void MarkOpenWaterTiles();

// Whether the mode can use the tile; selector 1 or 2 considers the bridge
// or tunnel in the tile's first or second attached-object slot.
uint32_t TilePassableForMode(uint32_t x, uint32_t y, uint32_t mode, uint32_t wanted, uint32_t selector);
// The directions the mode can use on the tile; 0 = unusable.
uint32_t TileUsableForMode(uint32_t x, uint32_t y, uint32_t mode, uint32_t wanted, uint32_t selector);
// 1 when the first attached slot holds a tunnel with its entrance at the
// tile, 2 when the second does, else 0.
uint32_t FindTunnelEntrance(uint32_t x, uint32_t y);

// The vehicles' cost of leaving a tile in a direction (a RouteStepContext
// as context): ownership, the vehicle's track kind, and the penalties for
// passing a station, turning left at a junction and leaving a stop the
// wrong way.
uint32_t RouteStepCheck(uint32_t x, uint32_t y, uint32_t arrival, uint32_t leaving, void* context,
                        uint32_t mode);

// Node ids the route planners keep in route cells.
uint32_t GetRouteNodeId(uint32_t x, uint32_t y, uint32_t mode);
void SetRouteNodeId(uint32_t x, uint32_t y, uint32_t id, uint32_t mode);
// The network-changed flags of road (0), track (1) and water (2).
bool HasNetworkChanged(uint32_t mode);
void ClearNetworkChanged(uint32_t mode);

// How a station takes part in the track rules. Until stations exist the
// lookups answer "none".
struct StationRouteHooks {
    // The station at or next to the tile, or null.
    MapObject* (*stationNear)(uint32_t x, uint32_t y) = nullptr;
    // Its transport mode.
    int32_t (*stationMode)(const MapObject& station) = nullptr;
    // Whether the station offers a connection at the tile; when it does,
    // the exit rule: the exit direction and whether it is the required
    // (true) or the forbidden (false) one.
    bool (*exitRule)(const MapObject& station, uint32_t x, uint32_t y, uint8_t& exit,
                     bool& required) = nullptr;
};
void SetStationRouteHooks(const StationRouteHooks& hooks);
// The connection mask at (x, y) of a station of the mode standing there; 0
// when there is none.
uint32_t StationConnectionForMode(uint32_t x, uint32_t y, uint32_t mode);
