#include "vehicles/vehicle_trail.h"

#include "data/generated/vehicle_tables.h"
#include "transport/route_search.h"
#include "transport/signals.h"
#include "transport/station.h"
#include "vehicles/schedule.h"
#include "vehicles/vehicle.h"
#include "vehicles/vehicle_motion.h"
#include "world/world_map.h"

#include <algorithm>
#include <bit>

namespace {

// The heading with which trail tile i was entered, from the tile behind
// it; the stored heading where the two are the same tile.
uint32_t EntryHeading(const std::vector<TrailPoint>& trail, uint32_t i, uint32_t stored) {
    if (i + 1 < trail.size()) {
        const uint32_t d = DirectionBetween(trail[i + 1].x, trail[i + 1].y, trail[i].x, trail[i].y);
        if (d)
            return d;
    }
    return stored;
}

// Whether trail tile i repeats a tile before it.
bool SeenBefore(const std::vector<TrailPoint>& trail, uint32_t i) {
    for (uint32_t k = 0; k < i; ++k)
        if (trail[k].x == trail[i].x && trail[k].y == trail[i].y)
            return true;
    return false;
}

} // namespace

uint32_t Vehicle::GetOccupiedLength() const {
    return std::clamp<uint32_t>(block_[31], 1, kTrail);
}

void Vehicle::SetOccupiedLength(uint32_t tiles) {
    // The trail holds 128 tiles; a longer train is cut to it.
    block_[31] = uint8_t(std::clamp<uint32_t>(tiles, 1, std::min<uint32_t>(kTrail, 255)));
}

bool Vehicle::HoldsLanes() const {
    const int32_t state = GetState();
    return state > kStateWaitsPlacing && state != kStateReadyToBeRemoved && GetConnectionType() != kModeAir;
}

void Vehicle::ClaimLanes() {
    if (!HoldsLanes())
        return;
    const uint32_t mode = uint32_t(GetConnectionType());
    const uint32_t length = std::min<uint32_t>(GetOccupiedLength(), uint32_t(trail_.size()));
    for (uint32_t i = 0; i < length; ++i) {
        if (SeenBefore(trail_, i))
            continue;
        const uint32_t lane = LaneForHeading(mode, EntryHeading(trail_, i, block_[29]));
        const ObjectHandle holder = GetLaneHolder(mode, trail_[i].x, trail_[i].y, lane);
        if (holder == 0 || !GetMovingObject(holder))
            SetLaneHolder(mode, trail_[i].x, trail_[i].y, lane, id_);
    }
}

void Vehicle::ReleaseLanes() {
    const uint32_t mode = uint32_t(GetConnectionType());
    const uint32_t length = std::min<uint32_t>(GetOccupiedLength(), uint32_t(trail_.size()));
    for (uint32_t i = 0; i < length; ++i)
        for (uint32_t lane = 0; lane < 2; ++lane)
            if (GetLaneHolder(mode, trail_[i].x, trail_[i].y, lane) == id_)
                SetLaneHolder(mode, trail_[i].x, trail_[i].y, lane, 0);
}

void Vehicle::MoveHeadTo(int32_t x, int32_t y, uint32_t heading) {
    const uint32_t mode = uint32_t(GetConnectionType());
    const uint32_t length = std::min<uint32_t>(GetOccupiedLength(), uint32_t(trail_.size()));
    // The tail tile leaves the occupied part unless the trail still covers it.
    const TrailPoint tail = trail_[length - 1];
    SetHead(x, y);
    block_[29] = uint8_t(heading);
    if (heading == 1 || heading == 2 || heading == 4 || heading == 8)
        block_[30] = uint8_t(heading);
    bool stillHeld = false;
    for (uint32_t i = 0; i < length && !stillHeld; ++i)
        stillHeld = trail_[i].x == tail.x && trail_[i].y == tail.y;
    if (!stillHeld)
        for (uint32_t lane = 0; lane < 2; ++lane)
            if (GetLaneHolder(mode, tail.x, tail.y, lane) == id_)
                SetLaneHolder(mode, tail.x, tail.y, lane, 0);
    if (HoldsLanes()) {
        const uint32_t lane = LaneForHeading(mode, heading);
        const ObjectHandle holder = GetLaneHolder(mode, x, y, lane);
        if (holder == 0 || !GetMovingObject(holder))
            SetLaneHolder(mode, x, y, lane, id_);
    }
}

uint32_t Vehicle::GetHeadingAt(int32_t x, int32_t y) const {
    const uint32_t length = std::min<uint32_t>(GetOccupiedLength(), uint32_t(trail_.size()));
    for (uint32_t i = 0; i < length; ++i)
        if (trail_[i].x == x && trail_[i].y == y)
            return EntryHeading(trail_, i, block_[29]);
    return 0;
}

bool Vehicle::StartRouteCursor(RouteCursor& cursor) const {
    if (!route_ || route_->Count() == 0)
        return false;
    cursor.x = trail_[0].x;
    cursor.y = trail_[0].y;
    cursor.heading = block_[29];
    cursor.position = std::min(GetRoutePosition(), route_->Count() - 1);
    return true;
}

bool Vehicle::NextRouteTile(RouteCursor& cursor) const {
    if (!route_)
        return false;
    while (cursor.position < route_->Count()) {
        const Waypoint& target = route_->Get(cursor.position);
        if (cursor.x == int32_t(target.x) && cursor.y == int32_t(target.y)) {
            ++cursor.position;
            continue;
        }
        int32_t x = cursor.x, y = cursor.y;
        StepTowards(uint32_t(GetConnectionType()), x, y, int32_t(target.x), int32_t(target.y));
        cursor.heading = DirectionBetween(cursor.x, cursor.y, x, y);
        cursor.x = x;
        cursor.y = y;
        return true;
    }
    return false;
}

Station* Vehicle::GetStationUnderVehicle() const {
    if (GetState() <= kStateWaitsPlacing)
        return nullptr;
    const uint32_t length = std::min<uint32_t>(GetOccupiedLength(), uint32_t(trail_.size()));
    for (uint32_t i = 0; i < length; ++i)
        if (Station* station = StationAtTile(trail_[i].x, trail_[i].y))
            return station;
    return nullptr;
}

void Vehicle::LeaveDepartedStation() {
    if (!schedule_ || GetCurrentStop() >= schedule_->GetStopCount())
        return;
    Station* station = schedule_->GetStopStation(GetCurrentStop());
    if (!station || !station->HasVehicle(id_) || StationAtTile(trail_[0].x, trail_[0].y) == station)
        return;
    // The head has left the stop's ground: its slot there is free again.
    const uint32_t slot = GetReservedSlot();
    if (slot >= 1 && slot <= 31)
        station->SetLoadAreaReserved(slot, false);
    if (slot != 0 && station->GetBusySlot() == slot)
        station->SetBusySlot(0);
    station->EraseKey(id_);
    SetU32(16, 0);
}

void Vehicle::ReleaseSignalBlocks() {
    if (GetConnectionType() != kModeTrack)
        return;
    const WorldMap& map = GetWorldMap();
    // The signal last passed holds the train's block: the first one on
    // the trail from the head back.
    for (uint32_t i = 0; i < trail_.size(); ++i) {
        const TrailPoint& p = trail_[i];
        if (p.x < 0 || p.y < 0 || uint32_t(p.x) >= map.GetWidth() || uint32_t(p.y) >= map.GetHeight())
            continue;
        Signal* signal = GetSignal(map.GetRouteSignal(uint32_t(p.x), uint32_t(p.y)));
        if (!signal || signal->preview)
            continue;
        const uint32_t heading = EntryHeading(trail_, i, block_[29]);
        if (std::has_single_bit(heading))
            signal->Release(heading);
        return;
    }
}
