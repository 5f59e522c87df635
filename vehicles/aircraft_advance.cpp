// The air check: an aircraft comes down only when its airport's runway is
// clear and a stand is free; it holds off the airport until then. Other
// aircraft never block it in the air.
#include "transport/route_search.h"
#include "transport/station.h"
#include "vehicles/schedule.h"
#include "vehicles/vehicle.h"

#include <algorithm>

bool Vehicle::CanAdvanceAir(int32_t x, int32_t y, uint32_t heading) {
    (void)heading;
    Station* goal = schedule_ ? schedule_->GetStopStation(GetNextStop()) : nullptr;
    Station* station = StationAtTile(x, y);
    if (!goal || station != goal || GetStationUnderVehicle() == goal)
        return true;
    if (GetReservedSlot() != 0 && goal->HasVehicle(id_))
        return true;
    // The runway (the busy slot) carries one landing at a time.
    if (goal->GetBusySlot() != 0)
        return false;
    const uint32_t wanted = std::max<uint32_t>(schedule_->GetStopLoadPoint(GetNextStop()), 1);
    if (!ReserveGoalSlot(*goal, wanted))
        return false;
    goal->SetBusySlot(uint8_t(GetReservedSlot()));
    return true;
}
