#include "vehicles/vehicle_motion.h"

#include "data/generated/vehicle_tables.h"
#include "gameloop/game_log.h"
#include "transport/route_search.h"
#include "transport/station.h"
#include "transport/station_layout.h"
#include "vehicles/aircraft_routes.h"
#include "vehicles/schedule.h"
#include "vehicles/vehicle.h"
#include "world/game_clock.h"
#include "world/world_map.h"

#include <algorithm>

namespace {

// At most this many steps per wake-up, so that zero step times from the
// data cannot hold the loop.
constexpr uint32_t kMaxStepsPerUpdate = 64;
// A search above this cost is no way (road and rail).
constexpr uint32_t kMaxRouteCost = 50000;
// Layout routes: ROUTE n - 1 enters loading area n, ROUTE n + 63 leaves it.
constexpr uint32_t kExitRouteOffset = 63;

StopServiceHook& ServiceHook() {
    static StopServiceHook hook;
    return hook;
}

int32_t Sign(int32_t v) {
    return v > 0 ? 1 : v < 0 ? -1 : 0;
}

} // namespace

void SetStopServiceHook(StopServiceHook hook) {
    ServiceHook() = std::move(hook);
}

uint32_t DirectionBetween(int32_t fromX, int32_t fromY, int32_t toX, int32_t toY) {
    uint32_t mask = 0;
    if (toY < fromY)
        mask |= 1;
    if (toX > fromX)
        mask |= 2;
    if (toY > fromY)
        mask |= 4;
    if (toX < fromX)
        mask |= 8;
    return mask;
}

void StepTowards(uint32_t mode, int32_t& x, int32_t& y, int32_t tx, int32_t ty) {
    const int32_t dx = Sign(tx - x), dy = Sign(ty - y);
    if (mode <= kModeTrack && dx != 0 && dy != 0) {
        x += dx;
        return;
    }
    x += dx;
    y += dy;
}

void Vehicle::ScheduleStep(uint32_t delay) {
    const uint32_t wake = U32(24);
    SetWake(wake, wake + delay);
}

void Vehicle::Update(uint32_t now) {
    const int32_t state = GetState();
    if (state <= kStateDead || state == kStateReadyToBeRemoved)
        return;
    for (uint32_t steps = 0; steps < kMaxStepsPerUpdate && U32(24) <= now; ++steps) {
        const int32_t current = GetState();
        if (current == kStateWaitsPlacing) {
            if (!Place())
                ScheduleStep(kVehicleRetryMs);
            return;
        }
        if (current == kStateBroken) {
            // Broken for good: it is scrapped and leaves the map.
            ReleaseForRemoval();
            SetState(kStateReadyToBeRemoved);
            return;
        }
        if (current <= kStateDead || current == kStateReadyToBeRemoved)
            return;
        if (U32(24) > 0)
            AdvanceUnits(U32(24) - 1);
        Step();
    }
    // Still behind after the cap: the next wake is now, not in the past.
    if (U32(24) < now)
        SetWake(U32(20), now);
    AdvanceUnits(now);
}

void Vehicle::Step() {
    SetBlocker(0);
    if (GetConnectionType() == kModeAir && GetState() == kStateFlyToNewStation) {
        FlyToNextStation();
        // A new course or a breakdown ends the step; the next wake-up goes on.
        return;
    }
    if (!schedule_ || schedule_->LacksStations(true)) {
        SetState(kStateBlockedOnTrack);
        ScheduleStep(kVehicleNoWayMs);
        return;
    }
    switch (GetState()) {
    case kStateMoving:
    case kStatePassing:
        Movement(false);
        return;
    case kStateArrives:
    case kStateUnloading:
    case kStateLoading:
    case kStateBlockedAtStation:
    case kStateWaitingInStation:
        StationStep();
        return;
    case kStateTankingWater:
        SetState(kStateMoving);
        Movement(true);
        return;
    case kStateTankingWaterInStation:
        SetState(kStateReadyToGo);
        ScheduleStep(0);
        return;
    default:
        Movement(true);
        return;
    }
}

void Vehicle::Movement(bool fromSecondPart) {
    if (GetState() == kStateMoving && CheckBreakdown())
        return;
    const uint32_t mode = uint32_t(GetConnectionType());
    const bool departing = GetState() != kStateMoving && GetState() != kStatePassing;
    if (!route_ || route_->Count() == 0) {
        // A vehicle without a way (a new schedule, a loaded game) plans one
        // from where it stands.
        if (!PlanRouteToNextStop(GetStationUnderVehicle() != nullptr)) {
            SetState(kStateBlockedOnTrack);
            ScheduleStep(kVehicleNoWayMs);
            return;
        }
    }
    uint32_t position = std::min(GetRoutePosition(), route_->Count() - 1);
    const Waypoint* target = &route_->Get(position);
    if (!fromSecondPart || (trail_[0].x == int32_t(target->x) && trail_[0].y == int32_t(target->y))) {
        while (trail_[0].x == int32_t(target->x) && trail_[0].y == int32_t(target->y)) {
            ++position;
            if (position >= route_->Count()) {
                SetRoutePosition(route_->Count() - 1);
                SetState(kStateArrives);
                // An aircraft down on its stand frees the runway.
                if (mode == kModeAir && schedule_) {
                    Station* station = schedule_->GetStopStation(GetNextStop());
                    if (station && GetReservedSlot() != 0 && station->GetBusySlot() == GetReservedSlot())
                        station->SetBusySlot(0);
                }
                ScheduleStep(kVehicleRetryMs);
                return;
            }
            target = &route_->Get(position);
        }
        SetRoutePosition(position);
        SetU32(40, target->value);
    }
    if (GetState() == kStateWaitsPassing || GetState() == kStatePassing)
        SetState(kStatePassing);
    else
        SetState(kStateMoving);
    int32_t x = trail_[0].x, y = trail_[0].y;
    StepTowards(mode, x, y, int32_t(target->x), int32_t(target->y));
    const uint32_t heading = DirectionBetween(trail_[0].x, trail_[0].y, x, y);
    const VehicleRow* row = Row();
    const uint32_t tileTime =
        row && row->TravelTimeMsPerSquare > 0 ? uint32_t(row->TravelTimeMsPerSquare) : kVehicleRetryMs;
    if (!CanAdvanceTo(x, y, heading)) {
        SetState(GetState() == kStatePassing ? kStateWaitsPassing : kStateBlockedOnTrack);
        ScheduleStep(kVehicleBlockedMs);
        SetU32(100, 2 * tileTime);
        return;
    }
    MoveHeadTo(x, y, heading);
    LeaveDepartedStation();
    if (mode == kModeTrack)
        CloseCrossingsAhead();
    uint32_t time = tileTime;
    if (const VehicleConstantsRow* constants = VehicleConstantsTable::Find(0))
        if (constants->MinimumSpeed > 0)
            time = std::min(time, uint32_t(constants->MinimumSpeed));
    time = std::max<uint32_t>(time, 1);
    SetU32(76, U32(76) + 1);
    SetU32(100, time);
    SetU32(244, time);
    ScheduleStep(time);
    TimeCarsForStep(time, departing);
}

void Vehicle::StationStep() {
    const uint32_t mode = uint32_t(GetConnectionType());
    if (GetState() == kStateArrives) {
        // The stop is reached: the next one becomes current, with the
        // books opened and a repair where the station offers it.
        OnArrival();
        route_.reset();
        // The train for the new stop, its cars laid on the platform.
        if (mode == kModeTrack)
            BuildMotionRecords();
    }
    if (GetState() == kStateArrives || GetState() == kStateBlockedAtStation) {
        if (!GetStationUnderVehicle()) {
            SetState(kStateBlockedAtStation);
            ScheduleStep(kVehicleNoWayMs);
            return;
        }
        SetState(kStateUnloading);
        if (!ServiceHook()) {
            // The first car is served after the loading wait.
            ScheduleStep(kVehicleServiceMs);
            return;
        }
    }
    if (GetState() == kStateWaitingInStation)
        SetState(kStateUnloading);
    uint32_t answer = 0;
    if (ServiceHook()) {
        answer = ServiceHook()(*this);
    } else {
        // The stop service: one car per call, each followed by a wait.
        const int32_t before = GetState();
        const uint32_t served = ServeStop(GetCurrentStop());
        ComputeTrainWeight();
        // Unloading done: the loading takes its own wait.
        const bool waits =
            (before == kStateUnloading && GetState() == kStateLoading) || served == kServeCarServed ||
            served == kServeNotReady ||
            (served == kServeWaitsForCargo && schedule_ && schedule_->GetWaitOption1(GetCurrentStop()) != 0);
        if (waits) {
            ScheduleStep(kVehicleServiceMs);
            return;
        }
    }
    if (answer == 3)
        return;
    if (answer == 1 || answer == 2) {
        if (GetState() == kStateUnloading)
            SetState(kStateLoading);
        ScheduleStep(kVehicleServiceMs);
        return;
    }
    // Nothing left to serve: off to the next stop.
    SetState(kStateReadyToGo);
    route_.reset();
    ScheduleStep(0);
}

void Vehicle::FlyToNextStation() {
    ReleaseStationSlot();
    const uint32_t count = schedule_ ? schedule_->GetStopCount() : 0;
    for (uint32_t i = 0; i < count + 2; ++i) {
        SetU32(0, count ? (GetCurrentStop() + 1) % count : 0);
        Station* station = count ? schedule_->GetStopStation(GetNextStop()) : nullptr;
        if (!station)
            continue;
        int32_t ex = 0, ey = 0;
        if (!GetAirportApproach(*station, ex, ey))
            continue;
        auto route = std::make_unique<WaypointList>();
        if (SearchRouteByMode(kModeAir, uint32_t(trail_[0].x), uint32_t(trail_[0].y), uint32_t(ex),
                              uint32_t(ey), route.get(), nullptr, owner_, 0, nullptr, nullptr) == 0)
            continue;
        route_ = std::move(route);
        SetRoutePosition(1);
        SetState(kStateReadyToGo);
        ScheduleStep(0);
        return;
    }
    SetState(kStateBroken);
}

bool Vehicle::Place() {
    SizeVectors();
    if (!schedule_ || GetCurrentStop() >= schedule_->GetStopCount())
        return false;
    Station* station = schedule_->GetStopStation(GetCurrentStop());
    if (!station)
        return false;
    const uint32_t mode = uint32_t(GetConnectionType());
    uint32_t area = 0;
    if (mode == kModeTrack) {
        area = std::max<uint32_t>(schedule_->GetStopLoadPoint(GetCurrentStop()), 1);
        if (area > station->LoadAreaCount() || station->IsLoadAreaReserved(area))
            area = 0;
    } else {
        area = station->FindFreeLoadArea(mode == kModeAir);
    }
    LayoutTile point;
    if (area == 0 || !station->GetLoadPoint(area, point))
        return false;
    // The slot's tile must be free of others.
    if (mode != kModeAir) {
        for (uint32_t lane = 0; lane < 2; ++lane) {
            const ObjectHandle holder = GetLaneHolder(mode, point.x, point.y, lane);
            if (holder && holder != id_ && GetMovingObject(holder))
                return false;
        }
    }
    if (area <= 31)
        station->SetLoadAreaReserved(area, true);
    // An airport's vehicle set is its landing queue.
    if (mode != kModeAir)
        station->AddKey(id_);
    SetReservedSlot(area);
    for (TrailPoint& p : trail_)
        p = {point.x, point.y};
    std::fill(trailObjects_.begin(), trailObjects_.end(), 0);
    std::fill(trailFlags_.begin(), trailFlags_.end(), 0);
    SetPosition(point.x, point.y);
    if (GetOccupiedLength() == 0)
        SetOccupiedLength(1);
    ClaimLanes();
    route_.reset();
    SetRoutePosition(1);
    SetState(kStateLoading);
    const uint32_t now = CurrentGameTimeMs();
    SetWake(now, mode == kModeAir ? now : now + 1);
    SetU32(244, U32(24) - U32(20));
    SetU32(104, now);
    SetU32(64, now);
    return true;
}

bool Vehicle::PlanRouteToNextStop(bool fromStop) {
    if (!schedule_ || GetCurrentStop() >= schedule_->GetStopCount())
        return false;
    const uint32_t nextStop = GetNextStop();
    Station* next = schedule_->GetStopStation(nextStop);
    Station* current = schedule_->GetStopStation(GetCurrentStop());
    if (!next || next == current)
        return false;
    const uint32_t mode = uint32_t(GetConnectionType());
    if (mode == kModeAir)
        return PlanAirRoute(fromStop);
    LayoutTile goal;
    const uint32_t area = std::max<uint32_t>(schedule_->GetStopLoadPoint(nextStop), 1);
    if (!next->GetLoadPoint(area, goal) && !next->GetLoadPoint(1, goal))
        return false;
    auto route = std::make_unique<WaypointList>(10);
    int32_t fromX = trail_[0].x, fromY = trail_[0].y;
    // Leaving a stop by its slot's exit route, when the layout has one. No
    // slot held, no exit route: area 0 has none (63 would enter area 64).
    const uint32_t slot = GetReservedSlot();
    if (fromStop && current && slot >= 1 && slot <= 64 && mode != kModeAir) {
        WaypointList exit;
        if (AppendLayoutRoute(current->GetKind(), slot + kExitRouteOffset, current->GetRotation(),
                              current->GetOriginX(), current->GetOriginY(), exit) &&
            exit.Count() > 0 && exit.Get(0).x == uint32_t(fromX) && exit.Get(0).y == uint32_t(fromY)) {
            for (uint32_t i = 0; i + 1 < exit.Count(); ++i)
                route->Add(exit.Get(i).x, exit.Get(i).y);
            fromX = int32_t(exit.Get(exit.Count() - 1).x);
            fromY = int32_t(exit.Get(exit.Count() - 1).y);
        }
    }
    RouteVehicle asking;
    asking.vehicleType = GetVehicleType();
    asking.nextStop = next->GetId();
    const uint32_t cost =
        SearchRouteByMode(mode, uint32_t(fromX), uint32_t(fromY), uint32_t(goal.x), uint32_t(goal.y),
                          route.get(), &asking, owner_, 0, nullptr, nullptr);
    if (cost == 0 || (cost > kMaxRouteCost && mode <= kModeTrack) || route->Count() == 0)
        return false;
    route->RemoveDuplicates();
    route_ = std::move(route);
    // From where it stands: the head's place on the way.
    uint32_t position = 1;
    for (uint32_t i = 0; i < route_->Count(); ++i)
        if (route_->Get(i).x == uint32_t(trail_[0].x) && route_->Get(i).y == uint32_t(trail_[0].y)) {
            position = i;
            break;
        }
    SetRoutePosition(std::min(position, route_->Count() - 1));
    return true;
}
