#include "vehicles/vehicle_advance.h"

#include "data/generated/vehicle_tables.h"
#include "transport/route_search.h"
#include "transport/signals.h"
#include "transport/station.h"
#include "vehicles/schedule.h"
#include "vehicles/vehicle.h"
#include "vehicles/vehicle_motion.h"
#include "world/game_clock.h"
#include "world/world_map.h"

#include <algorithm>
#include <bit>

namespace {

// Load areas with a reservation bit.
constexpr uint32_t kMaxReservedArea = 31;

bool OnMap(int32_t x, int32_t y) {
    const WorldMap& map = GetWorldMap();
    return x >= 0 && y >= 0 && uint32_t(x) < map.GetWidth() && uint32_t(y) < map.GetHeight();
}

// Whether the crossing at (x, y) is closed to road traffic now.
bool CrossingClosed(int32_t x, int32_t y) {
    uint32_t until = 0;
    return GetWorldMap().LookupCrossing(uint32_t(x), uint32_t(y), until) &&
           int32_t(until - CurrentGameTimeMs()) >= 0;
}

// Whether a moving object other than the vehicle holds a lane on a tile of
// the station's load area n: a train standing there though the area has
// no reservation bit (numbers above 31 have none).
bool LoadAreaHeldByOther(const Station& station, uint32_t n, uint32_t mode, ObjectHandle self) {
    LayoutRect rect;
    if (!station.GetLoadAreaRect(n, rect))
        return false;
    for (int32_t y = rect.y; y < rect.y + rect.h; ++y)
        for (int32_t x = rect.x; x < rect.x + rect.w; ++x) {
            if (!OnMap(x, y))
                continue;
            for (uint32_t lane = 0; lane < 2; ++lane) {
                const ObjectHandle holder = GetLaneHolder(mode, x, y, lane);
                if (holder != 0 && holder != self && GetMovingObject(holder))
                    return true;
            }
        }
    return false;
}

// The special-track piece the vehicle's trail holds at the tile, 0 for none.
uint32_t TrailObjectAt(const Vehicle& v, int32_t x, int32_t y) {
    const auto& trail = v.Trail();
    const auto& objects = v.TrailObjects();
    for (size_t i = 0; i < trail.size() && i < objects.size() && i < v.GetOccupiedLength(); ++i)
        if (trail[i].x == x && trail[i].y == y)
            return objects[i];
    return 0;
}

// A train coming in along its platform runs on to the platform's far end,
// so that its cars stand on the platform behind it.
void ExtendToPlatformEnd(const Station& station, uint32_t area, WaypointList* route) {
    LayoutRect rect;
    LayoutTile point;
    if (!route || route->Count() < 2 || !station.GetLoadAreaRect(area, rect) ||
        !station.GetLoadPoint(area, point))
        return;
    const Waypoint& last = route->Get(route->Count() - 1);
    const Waypoint& before = route->Get(route->Count() - 2);
    if (int32_t(last.x) != point.x || int32_t(last.y) != point.y)
        return;
    const uint32_t d = DirectionBetween(int32_t(before.x), int32_t(before.y), point.x, point.y);
    int32_t ex = point.x, ey = point.y;
    if (rect.h > rect.w && (d == 1 || d == 4))
        ey = d == 4 ? rect.y + rect.h - 1 : rect.y;
    else if (rect.w > rect.h && (d == 2 || d == 8))
        ex = d == 2 ? rect.x + rect.w - 1 : rect.x;
    if (ex != point.x || ey != point.y)
        route->Add(uint32_t(ex), uint32_t(ey));
}

} // namespace

bool PassRailOccupant(Vehicle& train, MovingObject& occupant, int32_t x, int32_t y) {
    if (occupant.GetMovingKind() == kMovingKindCar)
        return true;
    auto* other = occupant.GetMovingKind() == kMovingKindVehicle ? static_cast<Vehicle*>(&occupant) : nullptr;
    if (!other)
        return true;
    const int32_t state = other->GetState();
    if (state == kStateBroken)
        return false;
    if (state == kStatePassing || state == kStateWaitsPassing)
        return true;
    const bool rail = other->GetConnectionType() == kModeTrack;
    if (rail && TrailObjectAt(*other, x, y) != TrailObjectAt(train, x, y))
        return true;
    if (state == kStateMoving)
        other->SetState(kStatePassing);
    else if (state == kStateBlockedOnTrack)
        other->SetState(kStateWaitsPassing);
    if (rail)
        train.SetState(kStatePassing);
    return true;
}

bool Vehicle::CanAdvanceTo(int32_t x, int32_t y, uint32_t heading) {
    SetBlocker(0);
    if (!OnMap(x, y))
        return false;
    switch (GetConnectionType()) {
    case kModeRoad:
        return CanAdvanceRoad(x, y, heading);
    case kModeTrack:
        return CanAdvanceRail(x, y, heading);
    case kModeWater:
        return CanAdvanceWater(x, y, heading);
    case kModeAir:
        return CanAdvanceAir(x, y, heading);
    default:
        return true;
    }
}

bool Vehicle::RouteToLoadArea(Station& station, uint32_t area) {
    LayoutTile point;
    if (!station.GetLoadPoint(area, point))
        return false;
    if (route_ && route_->Count() > 0) {
        const Waypoint& last = route_->Get(route_->Count() - 1);
        if (int32_t(last.x) == point.x && int32_t(last.y) == point.y)
            return true;
    }
    auto route = std::make_unique<WaypointList>(10);
    RouteVehicle asking;
    asking.vehicleType = GetVehicleType();
    asking.nextStop = station.GetId();
    const uint32_t cost = SearchRouteByMode(uint32_t(GetConnectionType()), uint32_t(trail_[0].x),
                                            uint32_t(trail_[0].y), uint32_t(point.x), uint32_t(point.y),
                                            route.get(), &asking, owner_, 0, nullptr, nullptr);
    if (cost == 0 || route->Count() == 0)
        return false;
    route->RemoveDuplicates();
    route_ = std::move(route);
    SetRoutePosition(route_->Count() > 1 ? 1 : 0);
    return true;
}

bool Vehicle::ReserveGoalSlot(Station& station, uint32_t area) {
    if (GetReservedSlot() != 0 && station.HasVehicle(id_))
        return true;
    const uint32_t count = station.LoadAreaCount();
    const bool air = GetConnectionType() == kModeAir;
    auto usable = [&](uint32_t n) {
        return n >= 1 && n <= count && !station.IsLoadAreaReserved(n) &&
               !(air && station.GetBusySlot() == n) &&
               (air || !LoadAreaHeldByOther(station, n, uint32_t(GetConnectionType()), id_));
    };
    // The stop's own area when it is free, else the first free one that
    // the vehicle can reach. An occupied area is never taken.
    uint32_t chosen = 0;
    if (usable(area) && RouteToLoadArea(station, area))
        chosen = area;
    for (uint32_t n = 1; chosen == 0 && n <= std::min(count, kMaxReservedArea); ++n)
        if (n != area && usable(n) && RouteToLoadArea(station, n))
            chosen = n;
    if (chosen == 0)
        return false;
    if (chosen <= kMaxReservedArea)
        station.SetLoadAreaReserved(chosen, true);
    station.AddKey(id_);
    SetReservedSlot(chosen);
    return true;
}

bool Vehicle::CanAdvanceRoad(int32_t x, int32_t y, uint32_t heading) {
    Station* station = StationAtTile(x, y);
    Station* goal = schedule_ ? schedule_->GetStopStation(GetNextStop()) : nullptr;
    if (station && station->GetMode() == kModeRoad) {
        const bool atEnd = route_ && GetRoutePosition() < route_->Count() &&
                           route_->Get(GetRoutePosition()).x == uint32_t(x) &&
                           route_->Get(GetRoutePosition()).y == uint32_t(y) &&
                           GetRoutePosition() + 1 >= route_->Count();
        const bool standing = GetStationUnderVehicle() == station;
        if (station != goal && !atEnd) {
            // Passing through a station that is not the goal.
            uint32_t n = 0;
            if (station->FindLoadAreaContaining(x, y, n) && !standing)
                return true;
            SetBlocker(FindVehicleAt(x, y, heading));
            return GetBlockerId() == 0;
        }
        if (!standing) {
            // Arrival: a free bay of the goal first, then a clear way in.
            const uint32_t wanted =
                schedule_ ? std::max<uint32_t>(schedule_->GetStopLoadPoint(GetNextStop()), 1) : 1;
            if (!ReserveGoalSlot(*station, wanted))
                return false;
            SetBlocker(CheckWayAhead(1));
            return GetBlockerId() == 0;
        }
        uint32_t n = 0;
        if (station->FindLoadAreaContaining(x, y, n))
            return true;
        SetBlocker(FindVehicleAt(x, y, heading));
        return GetBlockerId() == 0;
    }
    const WorldMap& map = GetWorldMap();
    if (map.IsTrackRoadCrossing(uint32_t(x), uint32_t(y)) &&
        !map.IsTrackRoadCrossing(uint32_t(trail_[0].x), uint32_t(trail_[0].y))) {
        // A row of crossings is entered only when all are open and the tile
        // behind them is clear.
        RouteCursor cursor;
        if (StartRouteCursor(cursor) && NextRouteTile(cursor)) {
            for (;;) {
                if (!NextRouteTile(cursor))
                    return false;
                if (!OnMap(cursor.x, cursor.y))
                    break;
                if (!map.IsTrackRoadCrossing(uint32_t(cursor.x), uint32_t(cursor.y))) {
                    if (FindVehicleAt(cursor.x, cursor.y, cursor.heading))
                        return false;
                    break;
                }
                if (CrossingClosed(cursor.x, cursor.y))
                    return false;
            }
        }
    }
    if (CrossingClosed(x, y))
        return false;
    ObjectHandle blocker = CheckWayAhead(1);
    if (blocker == id_)
        blocker = 0;
    SetBlocker(blocker);
    return blocker == 0;
}

bool Vehicle::CanAdvanceRail(int32_t x, int32_t y, uint32_t heading) {
    Station* station = StationAtTile(x, y);
    Station* goal = schedule_ ? schedule_->GetStopStation(GetNextStop()) : nullptr;
    if (station && station->GetMode() == kModeTrack) {
        const bool standing = GetStationUnderVehicle() == station;
        if (station == goal) {
            if (!(standing && GetReservedSlot() != 0 && station->HasVehicle(id_))) {
                uint32_t n = station->FindLoadAreaAtOrEnd(x, y);
                if (n == 0 && schedule_)
                    n = std::max<uint32_t>(schedule_->GetStopLoadPoint(GetNextStop()), 1);
                if (!ReserveGoalSlot(*station, n)) {
                    SetBlocker(FindVehicleAt(x, y, heading));
                    return false;
                }
                ExtendToPlatformEnd(*station, GetReservedSlot(), route_.get());
            }
        } else {
            // Passing through: a held platform tile blocks.
            SetBlocker(FindVehicleAt(x, y, heading));
            if (GetBlockerId() != 0)
                return false;
        }
    } else {
        // Any train ahead on plain track blocks.
        SetBlocker(CheckWayAhead(1));
        if (GetBlockerId() != 0)
            return false;
    }
    // The occupants of the tile, on either lane: each is passed or blocks.
    for (uint32_t lane = 0; lane < 2; ++lane) {
        const ObjectHandle holder = GetLaneHolder(kModeTrack, x, y, lane);
        MovingObject* occupant = holder != 0 && holder != id_ ? GetMovingObject(holder) : nullptr;
        if (occupant && !PassRailOccupant(*this, *occupant, x, y)) {
            SetBlocker(holder);
            return false;
        }
    }
    // The signal on the tile is passed last: its block is reserved only
    // when the train surely moves, and the block behind is then left.
    const WorldMap& map = GetWorldMap();
    if (Signal* signal = GetSignal(map.GetRouteSignal(uint32_t(x), uint32_t(y)))) {
        if (!signal->preview && std::has_single_bit(heading)) {
            if (!signal->Reserve(heading))
                return false;
            ReleaseSignalBlocks();
        }
    }
    return true;
}

bool Vehicle::CanAdvanceWater(int32_t x, int32_t y, uint32_t heading) {
    Station* station = StationAtTile(x, y);
    Station* goal = schedule_ ? schedule_->GetStopStation(GetNextStop()) : nullptr;
    if (station && station == goal && GetStationUnderVehicle() != station) {
        // A harbour bay is taken before the ship comes in.
        const uint32_t wanted =
            schedule_ ? std::max<uint32_t>(schedule_->GetStopLoadPoint(GetNextStop()), 1) : 1;
        if (!ReserveGoalSlot(*station, wanted))
            return false;
    }
    SetBlocker(FindVehicleAt(x, y, heading));
    return GetBlockerId() == 0;
}

void Vehicle::CloseCrossingsAhead() {
    if (GetConnectionType() != kModeTrack)
        return;
    uint32_t d = U32(24) > U32(20) ? U32(24) - U32(20) : std::max<uint32_t>(U32(100), 1);
    if (const VehicleConstantsRow* constants = VehicleConstantsTable::Find(0))
        if (constants->MinimumSpeed > 0)
            d = std::min(d, uint32_t(constants->MinimumSpeed));
    WorldMap& map = GetWorldMap();
    const uint32_t now = CurrentGameTimeMs();
    map.RegisterCrossing(uint32_t(trail_[0].x), uint32_t(trail_[0].y), now + d);
    RouteCursor cursor;
    if (!StartRouteCursor(cursor))
        return;
    for (uint32_t k = 1; k <= kCrossingSquaresAhead && NextRouteTile(cursor); ++k)
        if (OnMap(cursor.x, cursor.y))
            map.RegisterCrossing(uint32_t(cursor.x), uint32_t(cursor.y), now + (k + 1) * d);
}
