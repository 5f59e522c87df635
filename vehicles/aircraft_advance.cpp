// The air check: an aircraft comes down only when its airport's runway is
// clear and a stand is promised to it; until then it flies the airport's
// holding circuit. The runway (the station's busy slot) carries one landing
// or take-off at a time; the station's vehicle set is the queue of aircraft
// promised a stand. Airships and helicopters go straight onto a free pad
// and keep apart from other aircraft.
#include "vehicles/aircraft_routes.h"

#include "transport/route_search.h"
#include "transport/station.h"
#include "transport/station_layout.h"
#include "vehicles/schedule.h"
#include "vehicles/vehicle.h"
#include "world/game_clock.h"
#include "world/world_map.h"

#include <algorithm>

namespace {

// Load areas with a reservation bit.
constexpr uint32_t kMaxReservedArea = 31;
// A holding aircraft's way is cut back to the circuit once it is this long.
constexpr uint32_t kMaxHoldingWay = 40;

void ClampToMap(int32_t& x, int32_t& y) {
    const WorldMap& map = GetWorldMap();
    const int32_t w = int32_t(map.GetWidth()), h = int32_t(map.GetHeight());
    x = std::clamp(x, 0, std::max(w - 1, 0));
    y = std::clamp(y, 0, std::max(h - 1, 0));
}

void SetReserved(Station& station, uint32_t area, bool reserved) {
    if (area >= 1 && area <= kMaxReservedArea)
        station.SetLoadAreaReserved(area, reserved);
}

} // namespace

bool IsPadAircraftType(int32_t vehicleType) {
    return vehicleType == kAirshipType || vehicleType == kHelicopterType;
}

bool AppendAirportRoute(const Station& station, uint32_t n, WaypointList& list) {
    WaypointList route;
    if (!AppendLayoutRoute(station.GetKind(), n, station.GetRotation(), station.GetOriginX(),
                           station.GetOriginY(), route))
        return false;
    // Circuits and approaches of an airport at the map's edge stay on it.
    for (uint32_t i = 0; i < route.Count(); ++i) {
        const Waypoint& p = route.Get(i);
        int32_t x = int32_t(p.x), y = int32_t(p.y);
        ClampToMap(x, y);
        list.Add(uint32_t(x), uint32_t(y));
        list.SetValue(list.Count() - 1, p.value);
        list.SetDirection(list.Count() - 1, p.direction);
    }
    return true;
}

bool GetAirportApproach(const Station& station, int32_t& x, int32_t& y) {
    WaypointList first;
    if (AppendAirportRoute(station, kAirportFirstStandRoute, first) && first.Count() > 0) {
        x = int32_t(first.Get(0).x);
        y = int32_t(first.Get(0).y);
        return true;
    }
    // A layout without landing routes: straight to its first load point.
    LayoutTile tile;
    if (!station.GetLoadPoint(1, tile))
        return false;
    x = tile.x;
    y = tile.y;
    ClampToMap(x, y);
    return true;
}

bool Vehicle::PlanAirRoute(bool fromStop) {
    if (!schedule_ || GetCurrentStop() >= schedule_->GetStopCount())
        return false;
    Station* next = schedule_->GetStopStation(GetNextStop());
    Station* current = schedule_->GetStopStation(GetCurrentStop());
    int32_t goalX = 0, goalY = 0;
    if (!next || next == current || !GetAirportApproach(*next, goalX, goalY))
        return false;
    auto route = std::make_unique<WaypointList>(10);
    // Leaving a stand: the taxi and take-off of that stand, when it starts
    // where the aircraft stands.
    const uint32_t slot = GetReservedSlot();
    if (fromStop && current && slot >= 1 && slot <= 64) {
        WaypointList exit;
        if (AppendAirportRoute(*current, slot + kAirportExitRouteOffset, exit) && exit.Count() > 0 &&
            exit.Get(0).x == uint32_t(trail_[0].x) && exit.Get(0).y == uint32_t(trail_[0].y))
            route->Append(exit);
    }
    if (route->Count() == 0)
        route->Add(uint32_t(trail_[0].x), uint32_t(trail_[0].y));
    const Waypoint& from = route->Get(route->Count() - 1);
    WaypointList flight;
    if (DirectAirRoute(from.x, from.y, uint32_t(goalX), uint32_t(goalY), &flight) == 0)
        return false;
    for (uint32_t i = 1; i < flight.Count(); ++i)
        route->Add(flight.Get(i).x, flight.Get(i).y);
    route_ = std::move(route);
    // The head's place on the way; the step moves on from it.
    SetRoutePosition(0);
    return true;
}

Station* Vehicle::AirSlotStation() const {
    if (!schedule_)
        return nullptr;
    Station* current = schedule_->GetStopStation(GetCurrentStop());
    Station* next = schedule_->GetStopStation(GetNextStop());
    // On the ground of the stop it was last at, the stand is there. Away
    // from it, the stand was promised at the next airport once the way ends
    // there (the landing route is on); otherwise the aircraft left its stop
    // without giving up the stand.
    if (current && StationAtTile(trail_[0].x, trail_[0].y) == current)
        return current;
    if (next && route_ && route_->Count() > 0) {
        const Waypoint& last = route_->Get(route_->Count() - 1);
        if (StationAtTile(int32_t(last.x), int32_t(last.y)) == next)
            return next;
    }
    return current;
}

void Vehicle::ReleaseAirSlot() {
    const uint32_t slot = GetReservedSlot();
    if (slot != 0) {
        if (Station* station = AirSlotStation()) {
            SetReserved(*station, slot, false);
            if (station->GetBusySlot() == slot)
                station->SetBusySlot(0);
        }
    }
    SetReservedSlot(0);
    // Its queue place at the airport it flies to.
    if (schedule_)
        for (uint32_t stop : {GetNextStop(), GetCurrentStop()})
            if (Station* station = schedule_->GetStopStation(stop))
                station->EraseKey(id_);
}

bool Vehicle::CanAdvanceAir(int32_t x, int32_t y, uint32_t heading) {
    (void)heading;
    const bool pad = IsPadAircraftType(GetVehicleType());
    const uint32_t n = route_ ? route_->Count() : 0;
    const uint32_t p = GetRoutePosition();
    const uint32_t value = p < n ? route_->GetValue(p) : 0;
    SetU32(40, value);
    const bool atWaypoint = p < n && route_->Get(p).x == uint32_t(x) && route_->Get(p).y == uint32_t(y);
    Station* next = schedule_ ? schedule_->GetStopStation(GetNextStop()) : nullptr;
    Station* current = schedule_ ? schedule_->GetStopStation(GetCurrentStop()) : nullptr;
    const uint32_t slot = GetReservedSlot();

    // Landing: off the runway three waypoints before the stand.
    if (n >= 3 && p == n - 3 && !pad && slot != 0 && value == 2 && atWaypoint && next &&
        StationAtTile(x, y) == next && next->GetBusySlot() == slot)
        next->SetBusySlot(0);

    if (n > 0 && p == n - 1) {
        // About to reach the end of the way to the next airport.
        Station* here = StationAtTile(x, y);
        if (slot == 0 && atWaypoint && next && (pad ? here == next : here != next)) {
            uint32_t stand = 0;
            if (pad || next->GetBusySlot() == 0)
                stand = next->FindFreeLoadArea(true);
            if (!pad) {
                // A place in the queue while stands outnumber the queue.
                if (next->CountFreeLoadAreas(true) > next->GetVehicles().size())
                    next->AddKey(id_);
                else if (!next->HasVehicle(id_))
                    stand = 0;
            }
            if (!pad && (next->GetBusySlot() != 0 || stand == 0)) {
                // Hold: once more round the circuit back to this point.
                WaypointList circuit;
                if (!AppendAirportRoute(*next, kAirportHoldingRoute, circuit))
                    return false;
                if (U32(8) == 0xFFFFFFFFu)
                    SetU32(8, CurrentGameTimeMs());
                if (n > kMaxHoldingWay) {
                    auto shorter = std::make_unique<WaypointList>(10);
                    const Waypoint& end = route_->Get(p);
                    shorter->Add(end.x, end.y);
                    shorter->SetValue(0, end.value);
                    shorter->SetDirection(0, end.direction);
                    route_ = std::move(shorter);
                    SetRoutePosition(0);
                }
                route_->Append(circuit);
                return true;
            }
            if (stand == 0)
                return false;
            // Claim the stand and the runway, and fly the way down to it.
            next->EraseKey(id_);
            next->SetBusySlot(uint8_t(stand));
            SetReserved(*next, stand, true);
            SetReservedSlot(stand);
            route_->DropLast(1);
            if (!AppendAirportRoute(*next, stand - 1, *route_)) {
                LayoutTile point;
                if (next->GetLoadPoint(stand, point))
                    route_->Add(uint32_t(point.x), uint32_t(point.y));
            }
            SetRoutePosition(std::min(p + 1, route_->Count() - 1));
            SetU32(40, route_->GetValue(GetRoutePosition()));
        }
    } else if (!pad) {
        if (p == 1 && value == 2 && current) {
            // Onto the runway of the airport it leaves.
            if (current->GetBusySlot() != 0 && current->GetBusySlot() != slot)
                return false;
            current->SetBusySlot(uint8_t(slot));
            SetReserved(*current, slot, false);
            SetU32(8, 0xFFFFFFFFu);
            return true;
        }
        const bool leftRunway = p > 0 && p < n && value == 0 && route_->GetValue(p - 1) == 2;
        Station* ground = StationAtTile(trail_[0].x, trail_[0].y);
        if (slot != 0 && leftRunway && ground) {
            if (ground->GetBusySlot() == slot)
                ground->SetBusySlot(0);
            SetReserved(*ground, slot, false);
            SetReservedSlot(0);
        } else if (slot != 0 && value == 0 && !ground && AirSlotStation() == current && current) {
            // Off the airport's ground without the runway's end marked on
            // the way: nothing is held there any longer.
            if (current->GetBusySlot() == slot)
                current->SetBusySlot(0);
            SetReserved(*current, slot, false);
            SetReservedSlot(0);
        }
    } else if (slot != 0 && p == 1) {
        // A pad aircraft lifts off: pad and slot are free again.
        if (Station* ground = StationAtTile(trail_[0].x, trail_[0].y)) {
            if (ground->GetBusySlot() == slot)
                ground->SetBusySlot(0);
            SetReserved(*ground, slot, false);
        }
        SetU32(8, 0xFFFFFFFFu);
        SetReservedSlot(0);
    }

    // Airships keep apart from every other aircraft.
    if (GetVehicleType() == kAirshipType)
        for (Vehicle* other : AllVehicles()) {
            if (other == this || other->GetState() <= kStateDead || other->GetConnectionType() != kModeAir)
                continue;
            int32_t ox = 0, oy = 0;
            other->GetHeadPosition(ox, oy);
            if (ox == x && oy == y) {
                SetBlocker(other->GetId());
                return false;
            }
        }
    return true;
}
