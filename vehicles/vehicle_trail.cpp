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
#include <bitset>

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

void Vehicle::AdvanceUnits(uint32_t now) {
    if (GetConnectionType() != kModeTrack || motion_.empty() ||
        (GetState() != kStateMoving && GetState() != kStatePassing))
        return;
    uint32_t last = U32(64);
    if (last == 0) {
        last = now;
        SetU32(64, now);
    }
    // A clock behind the last update moves nothing.
    if (now < last)
        return;
    const uint32_t tileTime = std::max<uint32_t>(U32(100), 1);
    const size_t cars = std::min<size_t>(motion_.size(), kTrail);
    std::bitset<kTrail> marked;
    // From one finished square to the next: between them nothing happens.
    for (;;) {
        uint32_t next = UINT32_MAX;
        for (size_t i = 0; i < cars; ++i)
            next = std::min(next, motion_[i][kCarEnd]);
        if (next > now || next == UINT32_MAX)
            break;
        const uint32_t at = std::max(next, last);
        for (size_t i = 0; i < cars; ++i) {
            auto& car = motion_[i];
            while (car[kCarEnd] <= at) {
                auto* following = i + 1 < cars ? &motion_[i + 1] : nullptr;
                if (car[kCarMode] == 1) {
                    if (!marked[i])
                        car[kCarMode] = 0;
                    if (car[kCarLength] > kQuarterSquares || marked[i]) {
                        if (following && (*following)[kCarMode] == 2) {
                            const uint32_t deciding = std::bit_cast<float>((*following)[kCarProgress]) >=
                                                              std::bit_cast<float>(car[kCarProgress])
                                                          ? (*following)[kCarLength]
                                                          : car[kCarLength];
                            (*following)[kCarMode] = deciding < kQuarterSquares ? 1 : 3;
                            (*following)[kCarX] = car[kCarX];
                            (*following)[kCarY] = car[kCarY];
                        }
                    } else if (following) {
                        marked[i + 1] = true;
                        const bool longNext = (*following)[kCarLength] >= kQuarterSquares;
                        (*following)[kCarMode] = longNext && car[kCarLength] >= kQuarterSquares ? 3 : 1;
                        (*following)[kCarX] = car[kCarX];
                        (*following)[kCarY] = car[kCarY];
                    }
                }
                if (car[kCarMode] == 0) {
                    // Its place on the trail: the one before its own, the
                    // head for a short first car.
                    const size_t place = i > 0 ? i - 1 : 0;
                    car[kCarX] = uint32_t(trail_[place].x);
                    car[kCarY] = uint32_t(trail_[place].y);
                } else if (car[kCarMode] == 3) {
                    car[kCarMode] = 1;
                } else if (car[kCarMode] == 2 && i > 0 && motion_[i - 1][kCarMode] == 0) {
                    car[kCarMode] = 3;
                }
                car[kCarStart] = car[kCarEnd];
                if (car[kCarEnd] > UINT32_MAX - tileTime) {
                    // The clock's end: the car waits there.
                    car[kCarEnd] = UINT32_MAX;
                    break;
                }
                car[kCarEnd] += tileTime;
            }
        }
    }
    SetU32(64, now);
}
