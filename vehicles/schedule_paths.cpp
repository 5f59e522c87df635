// The paths a schedule gives its vehicles: along the stored routes, around
// what blocks them, and the checks that keep the stored routes usable.
#include "gameloop/game_log.h"
#include "transport/route_construction.h"
#include "transport/route_search.h"
#include "transport/station.h"
#include "vehicles/schedule.h"
#include "vehicles/vehicle.h"

#include <algorithm>

namespace {

constexpr uint32_t kMaxLoadPoints = 64;
// The track layer's route type, whose pending construction halts checks.
constexpr uint32_t kTrackRouteType = 1;

bool Reachable(uint32_t cost) {
    return cost > 0 && cost <= VehicleSchedule::kReachableCost;
}

uint32_t ModeOf(const Station& station, uint32_t fallback) {
    return station.GetMode() < 0 ? fallback : uint32_t(station.GetMode());
}

uint32_t PointCount(const Station& station, uint32_t mode) {
    return mode == kModeTrack ? std::min(station.LoadAreaCount(), kMaxLoadPoints) : 1;
}

// The schedule's own tile test: a tile of the stored route behind the
// start is barred, so that a new path never runs back along it.
struct OwnRouteTest {
    const VehicleSchedule* schedule;
    uint32_t segment;
    uint32_t stopX, stopY;
};

uint32_t OwnRouteCost(uint32_t x, uint32_t y, uint32_t, uint32_t, void* context, uint32_t) {
    const auto* test = static_cast<const OwnRouteTest*>(context);
    return test->schedule->IsOnOwnRoute(test->segment, x, y, test->stopX, test->stopY) ? kRouteStepForbidden
                                                                                       : 0;
}

} // namespace

bool VehicleSchedule::IsOnOwnRoute(uint32_t k, uint32_t x, uint32_t y, uint32_t stopX, uint32_t stopY) const {
    const WaypointList* route = GetRoute(k);
    if (!route || (x == stopX && y == stopY))
        return false;
    // Only a stop tile on the route has tiles behind it.
    bool met = false;
    bool stop = false;
    route->VisitTiles([&](uint32_t tx, uint32_t ty, uint8_t, uint8_t, uint32_t) {
        if (stop)
            return;
        if (tx == stopX && ty == stopY)
            stop = true;
        else if (tx == x && ty == y)
            met = true;
    });
    return met && stop;
}

namespace {

// A search of the schedule's vehicle from (fx, fy) to (tx, ty) into list
// (when given); track searches take the tile test of segment k.
uint32_t SearchFor(const VehicleSchedule& schedule, uint32_t mode, uint32_t k, uint32_t fx, uint32_t fy,
                   uint32_t tx, uint32_t ty, WaypointList* list, uint8_t flags) {
    RouteVehicle asking;
    int32_t player = -1;
    if (const Vehicle* v = GetVehicle(schedule.GetVehicleHandle())) {
        asking.vehicleType = v->GetVehicleType();
        player = v->GetOwner();
    }
    const uint32_t count = schedule.GetStationStopCount();
    asking.currentStop = schedule.GetStationIdOfStop(k);
    asking.nextStop = schedule.GetStationIdOfStop(count == 0 ? 0 : (k + 1) % count);
    OwnRouteTest test{&schedule, k, fx, fy};
    const bool tested = mode == kModeTrack;
    return SearchRouteByMode(mode, fx, fy, tx, ty, list, &asking, player, flags,
                             tested ? OwnRouteCost : nullptr, tested ? &test : nullptr);
}

// Takes the last point off the path as the start, else load point `point`
// of the station; false when neither gives one.
bool StartOf(WaypointList& path, const Station* station, uint32_t point, uint32_t& x, uint32_t& y) {
    if (path.Count() > 0) {
        const Waypoint& last = path.Get(path.Count() - 1);
        x = last.x;
        y = last.y;
        path.DropLast(1);
        return true;
    }
    LayoutTile tile;
    if (!station || point == 0 || !station->GetLoadPoint(point, tile))
        return false;
    x = uint32_t(tile.x);
    y = uint32_t(tile.y);
    return true;
}

// Appends route's points from index `from` on.
void AppendFrom(WaypointList& path, const WaypointList& route, uint32_t from) {
    for (uint32_t i = from; i < route.Count(); ++i)
        path.Add(route.Get(i).x, route.Get(i).y);
}

// The index of the route point from which the rest of the route leads on
// from tile (x, y): the point after the stretch holding the tile; -1 when
// the route does not pass it.
int32_t RestAfterTile(const WaypointList& route, uint32_t x, uint32_t y) {
    int32_t at = -1;
    route.VisitTiles([&](uint32_t tx, uint32_t ty, uint8_t, uint8_t, uint32_t i) {
        if (at < 0 && tx == x && ty == y)
            at = int32_t(route.Get(i).x == x && route.Get(i).y == y ? i : i + 1);
    });
    return at;
}

} // namespace

bool VehicleSchedule::PlanVehiclePath(uint32_t a, uint32_t b, WaypointList& path, uint8_t flags,
                                      bool useStored, bool force) {
    const Station* from = GetStationOfStop(a);
    const Station* to = GetStationOfStop(b);
    const int32_t ia = StationStopIndex(a);
    const int32_t ib = StationStopIndex(b);
    if (!from || !to || ia < 0 || ib < 0)
        return false;
    const WaypointList kept = path;
    uint32_t sx = 0, sy = 0;
    if (!StartOf(path, from, GetStopLoadPoint(uint32_t(ia)), sx, sy)) {
        path = kept;
        return false;
    }
    const uint32_t mode = ModeOf(*from, mode_);
    auto searchTo = [&](uint32_t point, WaypointList* into) {
        LayoutTile goal;
        if (point == 0 || !to->GetLoadPoint(point, goal))
            return 0u;
        return SearchFor(*this, mode, a, sx, sy, uint32_t(goal.x), uint32_t(goal.y), into, flags);
    };
    bool found = false;
    if (!keepsRoutes_) {
        // Straight to the cheapest point of the station.
        uint32_t best = 0, bestCost = 0;
        for (uint32_t p = 1; p <= PointCount(*to, mode); ++p) {
            const uint32_t cost = searchTo(p, nullptr);
            if (Reachable(cost) && (best == 0 || cost < bestCost)) {
                best = p;
                bestCost = cost;
            }
        }
        found = best != 0 && Reachable(searchTo(best, &path));
    } else {
        if (a >= routes_.size())
            RebuildRoutes(vehicle_);
        if (a < routes_.size() && (force || (useStored && routes_[a]->Count() == 0))) {
            routes_[a] = std::make_unique<WaypointList>();
            ComputeSegment(a, b, *routes_[a], 0);
        }
        const WaypointList* route = a < routes_.size() ? routes_[a].get() : nullptr;
        if (useStored && mode != kModeTrack && route && route->Count() > 0) {
            // To the nearest point of the route, then along the rest of it.
            uint32_t nearest = 0, distance = UINT32_MAX;
            for (uint32_t i = 0; i < route->Count(); ++i) {
                const Waypoint& w = route->Get(i);
                const uint32_t d = uint32_t(std::abs(int64_t(w.x) - sx) + std::abs(int64_t(w.y) - sy));
                if (d < distance) {
                    distance = d;
                    nearest = i;
                }
            }
            const Waypoint& w = route->Get(nearest);
            found = (distance == 0 && (path.Add(sx, sy), true)) ||
                    Reachable(SearchFor(*this, mode, a, sx, sy, w.x, w.y, &path, flags));
            if (found)
                AppendFrom(path, *route, nearest + 1);
        } else if (!useStored && mode == kModeTrack && route && RestAfterTile(*route, sx, sy) >= 0) {
            path.Add(sx, sy);
            AppendFrom(path, *route, uint32_t(RestAfterTile(*route, sx, sy)));
            found = true;
        } else {
            found = Reachable(searchTo(GetStopLoadPoint(uint32_t(ib)), &path));
        }
    }
    if (!found) {
        path = kept;
        return false;
    }
    path.RemoveDuplicates();
    return path.Count() > 0;
}

bool VehicleSchedule::Repath(uint32_t n, WaypointList& path) {
    const uint32_t count = GetStationStopCount();
    if (count < 2)
        return false;
    const uint32_t next = (n + 1) % count;
    if (PlanVehiclePath(n, next, path, 0, true, false))
        return true;
    const Station* to = GetStationOfStop(next);
    const int32_t at = StationStopIndex(next);
    if (!to || at < 0)
        return false;
    const uint32_t current = GetStopLoadPoint(uint32_t(at));
    const uint32_t mode = ModeOf(*to, mode_);
    for (uint32_t j = 1; j <= PointCount(*to, mode); ++j) {
        if (j == current)
            continue;
        SetStopLoadPoint(uint32_t(at), j);
        if (PlanVehiclePath(n, next, path, 0, true, true))
            return true;
    }
    // None works: the stop keeps its point and its route.
    SetStopLoadPoint(uint32_t(at), current);
    if (keepsRoutes_ && n < routes_.size()) {
        routes_[n] = std::make_unique<WaypointList>();
        ComputeSegment(n, next, *routes_[n], 0);
    }
    return false;
}

bool VehicleSchedule::Detour(uint32_t k, uint32_t x, uint32_t y, WaypointList& path) {
    const uint32_t count = GetStationStopCount();
    const Station* from = GetStationOfStop(k);
    if (count < 2 || !from)
        return false;
    const uint32_t next = (k + 1) % count;
    const uint32_t mode = ModeOf(*from, mode_);
    // A later point of the stored route, the nearest first.
    if (const WaypointList* route = GetRoute(k)) {
        const int32_t rest = RestAfterTile(*route, x, y);
        for (uint32_t i = rest < 0 ? 0 : uint32_t(rest); i < route->Count(); ++i) {
            WaypointList way;
            const uint32_t cost = SearchFor(*this, mode, k, x, y, route->Get(i).x, route->Get(i).y, &way, 0);
            if (cost <= 1 || cost > kRouteStepForbidden || way.Count() == 0)
                continue;
            AppendFrom(way, *route, i + 1);
            way.RemoveDuplicates();
            path = way;
            return true;
        }
    }
    // Another load point of the target station.
    const Station* to = GetStationOfStop(next);
    const int32_t at = StationStopIndex(next);
    if (!to || at < 0)
        return false;
    const uint32_t current = GetStopLoadPoint(uint32_t(at));
    for (uint32_t j = 1; j <= PointCount(*to, mode); ++j) {
        LayoutTile goal;
        if (j == current || !to->GetLoadPoint(j, goal))
            continue;
        WaypointList way;
        if (!Reachable(SearchFor(*this, mode, k, x, y, uint32_t(goal.x), uint32_t(goal.y), &way, 0)) ||
            way.Count() == 0)
            continue;
        SetStopLoadPoint(uint32_t(at), j);
        if (keepsRoutes_ && k < routes_.size()) {
            routes_[k] = std::make_unique<WaypointList>();
            ComputeSegment(k, next, *routes_[k], 0);
        }
        way.RemoveDuplicates();
        path = way;
        return true;
    }
    return false;
}

bool VehicleSchedule::ValidateRoute(uint32_t k) {
    const uint32_t count = GetStationStopCount();
    if (!keepsRoutes_ || k >= count || k >= routes_.size())
        return false;
    if (mode_ == kModeTrack)
        if (const Vehicle* v = ::GetVehicle(vehicle_))
            if (v->GetOwner() >= 0 && RblEntryHasRouteType(uint32_t(v->GetOwner()), kTrackRouteType))
                return false;
    const int32_t at = StationStopIndex(k);
    const uint32_t before = GetStopLoadPoint(uint32_t(at));
    ChooseLoadPoint(k, vehicle_);
    bool holds = GetStopLoadPoint(uint32_t(at)) == before;
    const Station* from = GetStationOfStop(k);
    const uint32_t mode = from ? ModeOf(*from, mode_) : mode_;
    // Every step of the route must still be a usable way; stations answer
    // for their own tiles.
    if (holds && (mode == kModeRoad || mode == kModeTrack)) {
        routes_[k]->VisitTiles([&](uint32_t x, uint32_t y, uint8_t, uint8_t leaving, uint32_t) {
            if (!holds || leaving == 0 || StationAtTile(int32_t(x), int32_t(y)))
                return;
            if ((TileUsableForMode(x, y, mode, 0, 0) & leaving) == 0 &&
                (TileUsableForMode(x, y, mode, leaving, 1) & leaving) == 0 &&
                (TileUsableForMode(x, y, mode, leaving, 2) & leaving) == 0)
                holds = false;
        });
    }
    if (holds)
        return true;
    const uint32_t next = (k + 1) % count;
    routes_[k] = std::make_unique<WaypointList>();
    if (count > 1 && ComputeSegment(k, next, *routes_[k], 0))
        return true;
    routes_[k]->Clear();
    SetStopLoadPoint(uint32_t(StationStopIndex(next)), 0);
    ChooseLoadPoint(next, vehicle_);
    if (count > 1 && ComputeSegment(k, next, *routes_[k], 0))
        return true;
    routes_[k]->Clear();
    return false;
}

bool VehicleSchedule::ValidateRoutesFrom(uint32_t k) {
    const uint32_t count = GetStationStopCount();
    if (count == 0)
        return false;
    bool all = true;
    for (uint32_t i = 0; i <= count; ++i)
        all = ValidateRoute((k + i) % count) && all;
    return all;
}
