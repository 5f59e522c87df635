// Load points of a station rated against the whole schedule: where a
// station to be added to a schedule is best served from.
#include "data/generated/vehicle_tables.h"
#include "transport/route_search.h"
#include "transport/station.h"
#include "vehicles/schedule.h"
#include "vehicles/vehicle.h"

#include <algorithm>

namespace {

constexpr uint32_t kMaxPoints = 64;

uint32_t PointCount(const Station& station, uint32_t mode) {
    return mode == kModeTrack ? std::min(station.LoadAreaCount(), kMaxPoints) : 1;
}

} // namespace

uint32_t VehicleSchedule::RouteCostFromStation(const Station& station, uint32_t j,
                                               ObjectHandle vehicle) const {
    LayoutTile start;
    if (!station.GetLoadPoint(j, start))
        return 0;
    const Vehicle* v = ::GetVehicle(vehicle);
    if (v && !station.SuitsVehicle(j, v->GetVehicleType()))
        return 0;
    const uint32_t mode = station.GetMode() < 0 ? mode_ : uint32_t(station.GetMode());
    uint64_t sum = 0;
    for (uint32_t m = 0; m < GetStationStopCount(); ++m) {
        const Station* to = GetStationOfStop(m);
        if (!to || to == &station)
            continue;
        uint32_t best = 0;
        for (uint32_t p = 1; p <= PointCount(*to, mode); ++p) {
            LayoutTile goal;
            if (!to->GetLoadPoint(p, goal) || (v && !to->SuitsVehicle(p, v->GetVehicleType())))
                continue;
            const uint32_t cost =
                SearchRouteByMode(mode, uint32_t(start.x), uint32_t(start.y), uint32_t(goal.x),
                                  uint32_t(goal.y), nullptr, nullptr, -1, 0, nullptr, nullptr);
            if (cost > 0 && cost <= kReachableCost && (best == 0 || cost < best))
                best = cost;
        }
        if (best == 0)
            return 0;
        sum += best;
    }
    return uint32_t(std::min<uint64_t>(sum, UINT32_MAX));
}

bool VehicleSchedule::ChooseLoadPointForStation(const Station& station, uint32_t& point,
                                                ObjectHandle vehicle) const {
    const uint32_t mode = station.GetMode() < 0 ? mode_ : uint32_t(station.GetMode());
    const uint32_t count = PointCount(station, mode);
    uint32_t best = 0;
    uint32_t bestCost = 0;
    bool givenWorks = false;
    for (uint32_t j = 1; j <= count; ++j) {
        const uint32_t cost = RouteCostFromStation(station, j, vehicle);
        if (cost == 0)
            continue;
        givenWorks = givenWorks || j == point;
        if (best == 0 || cost < bestCost) {
            best = j;
            bestCost = cost;
        }
    }
    if (best == 0)
        return false;
    if (!givenWorks)
        point = best;
    return true;
}
