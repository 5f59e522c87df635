// The vehicle's stop queries that change its schedule: taking a demolished
// station out of every vehicle's stops.
#include "vehicles/vehicle_accessors.h"

#include "transport/route_search.h"
#include "transport/station.h"
#include "vehicles/schedule.h"
#include "vehicles/vehicle.h"

void Vehicle::RemoveStationFromSchedule(ObjectHandle station) {
    if (!schedule_)
        return;
    const ObjectHandle current = schedule_->GetStopTarget(GetCurrentStop());
    const ObjectHandle next = schedule_->GetStopTarget(GetNextStop());
    const bool currentWas =
        schedule_->GetStopKind(GetCurrentStop()) == StopRecord::kStation && current == station;
    const bool nextWas = schedule_->GetStopKind(GetNextStop()) == StopRecord::kStation && next == station;
    // Every stop of the station goes, not just the first.
    for (uint32_t before = schedule_->GetStopCount() + 1; schedule_->GetStopCount() < before;) {
        before = schedule_->GetStopCount();
        schedule_->RemoveStation(station);
    }
    if (!currentWas && !nextWas)
        return;
    const uint32_t count = schedule_->GetStopCount();
    if (count < 2)
        SetU32(0, 0);
    else if (GetCurrentStop() + 1 > count)
        SetU32(0, count - 1);
    if (GetConnectionType() != int32_t(kModeAir) || GetReservedSlot() == 0)
        return;
    const uint32_t slot = GetReservedSlot();
    if (auto* s = GetStation(station)) {
        if (s->GetBusySlot() == slot)
            s->SetBusySlot(0);
        if (slot <= 31)
            s->SetLoadAreaReserved(slot, false);
        if (nextWas)
            s->EraseKey(id_);
    }
    SetU32(16, 0);
    SetState(kStateFlyToNewStation);
}

void RemoveStopFromVehicles(ObjectHandle station) {
    for (Vehicle* vehicle : AllVehicles())
        vehicle->RemoveStationFromSchedule(station);
}
