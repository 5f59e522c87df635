#include "economy/town_predicates.h"

#include "data/generated/route_tables.h"
#include "economy/city.h"
#include "economy/city_plan.h"
#include "world/living_building.h"
#include "world/object_manager.h"
#include "world/random_streams.h"
#include "world/world_map.h"
#include "world/world_services.h"

#include <vector>

namespace {

constexpr int32_t kDx[4] = {0, 1, 0, -1};
constexpr int32_t kDy[4] = {-1, 0, 1, 0};
constexpr uint32_t kMask[4] = {1, 2, 4, 8};

bool InMap(int32_t x, int32_t y) {
    return x >= 0 && y >= 0 && GetWorldMap().InMap(uint32_t(x), uint32_t(y));
}

bool HasRoad(int32_t x, int32_t y) {
    return InMap(x, y) && GetWorldMap().HasRoad(uint32_t(x), uint32_t(y));
}

bool HasTrack(int32_t x, int32_t y) {
    return InMap(x, y) && GetWorldMap().HasTrack(uint32_t(x), uint32_t(y));
}

LivingBuilding* HouseAt(int32_t x, int32_t y) {
    uint32_t id = 0;
    if (!HoldsBuilding(x, y, &id))
        return nullptr;
    // Every building of the house subtype is a LivingBuilding.
    MapObject* building = BuildingFromId(id);
    return building->GetSubtype() == LivingBuilding::kSubtype ? static_cast<LivingBuilding*>(building)
                                                              : nullptr;
}

bool TownRoadAt(int32_t x, int32_t y, const City& town) {
    return HasRoad(x, y) && GetWorldMap().GetRouteByte(uint32_t(x), uint32_t(y)) == uint32_t(town.GetIndex());
}

bool StationNear(int32_t x, int32_t y) {
    const auto& hook = Services().stationAtTile;
    return hook && InMap(x, y) && hook(uint32_t(x), uint32_t(y)) != nullptr;
}

bool AttachedObject(int32_t x, int32_t y) {
    const WorldMap& map = GetWorldMap();
    return map.GetLayer1Object(uint32_t(x), uint32_t(y)) != 0 ||
           map.GetLayer2Object(uint32_t(x), uint32_t(y)) != 0;
}

} // namespace

bool HoldsBuilding(int32_t x, int32_t y, uint32_t* id) {
    if (!InMap(x, y))
        return false;
    const WorldMap& map = GetWorldMap();
    if (map.GetCellKind(uint32_t(x), uint32_t(y)) != kCellFootprint)
        return false;
    const uint32_t building = map.GetBuildingAt(uint32_t(x), uint32_t(y));
    if (building == 0 || !BuildingFromId(building))
        return false;
    if (id)
        *id = building;
    return true;
}

bool FootprintFree(int32_t x, int32_t y) {
    return InMap(x, y) && GetWorldMap().PlaceFootprint(uint32_t(x), uint32_t(y), 0, 1, 1, 1);
}

int32_t InMapPredicate(int32_t, int32_t x, int32_t y, void*) {
    return InMap(x, y) ? 1 : 0;
}

int32_t FootprintTestPredicate(int32_t, int32_t x, int32_t y, void*) {
    return FootprintFree(x, y) ? 1 : 0;
}

int32_t TileFreeForHouse(int32_t, int32_t x, int32_t y, void*) {
    return !HoldsBuilding(x, y) && FootprintFree(x, y) ? 1 : 0;
}

int32_t TileFreeOrOwnHouse(int32_t, int32_t x, int32_t y, void* town) {
    if (!HoldsBuilding(x, y) && FootprintFree(x, y))
        return 1;
    const LivingBuilding* house = HouseAt(x, y);
    return house && house->GetTown() == uint32_t(static_cast<City*>(town)->GetIndex()) ? 1 : 0;
}

int32_t PlanIsOpen(int32_t, int32_t x, int32_t y, void* plan) {
    const CityPlan& p = *static_cast<CityPlan*>(plan);
    if (!p.InPlan(x, y))
        return 0;
    return p.GetValue(x, y) == kPlanOpen ? 1 : 0;
}

int32_t PlanIsLot(int32_t, int32_t x, int32_t y, void* plan) {
    const CityPlan& p = *static_cast<CityPlan*>(plan);
    if (p.InPlan(x, y) && p.GetValue(x, y) == kPlanLot)
        return 1;
    BlockedByPlan() = true;
    return 0;
}

int32_t PlanIsRoad(int32_t, int32_t x, int32_t y, void* plan) {
    const CityPlan& p = *static_cast<CityPlan*>(plan);
    if (p.InPlan(x, y) && p.GetValue(x, y) == kPlanRoad)
        return 1;
    BlockedByPlan() = true;
    return 0;
}

int32_t NotReserved(int32_t, int32_t x, int32_t y, void* town) {
    return static_cast<City*>(town)->GetReservation(x, y) == 0 ? 1 : 0;
}

int32_t NoWaterNear(int32_t, int32_t x, int32_t y, void* n) {
    const intptr_t radius = reinterpret_cast<intptr_t>(n) - 1;
    if (radius < 1)
        return 1;
    const WorldMap& map = GetWorldMap();
    for (int32_t j = y - int32_t(radius); j <= y + int32_t(radius); ++j)
        for (int32_t i = x - int32_t(radius); i <= x + int32_t(radius); ++i)
            if (InMap(i, j) && map.IsWater(uint32_t(i), uint32_t(j)))
                return 0;
    return 1;
}

int32_t SiteFlagClear(int32_t, int32_t x, int32_t y, void*) {
    return InMap(x, y) && GetWorldMap().IsSiteFlagClear(uint32_t(x), uint32_t(y)) ? 1 : 0;
}

int32_t DiagonalRoadNear(int32_t, int32_t x, int32_t y, void* plan) {
    const CityPlan& p = *static_cast<CityPlan*>(plan);
    for (int32_t dy : {-1, 1})
        for (int32_t dx : {-1, 1})
            if (InMap(x + dx, y + dy) && p.InPlan(x + dx, y + dy) &&
                (HasRoad(x + dx, y + dy) || p.GetValue(x + dx, y + dy) == kPlanRoad))
                return 1;
    return 0;
}

int32_t RoadNeighbour(int32_t, int32_t x, int32_t y, void* town) {
    const City& city = *static_cast<City*>(town);
    for (uint32_t d = 0; d < 4; ++d)
        if (TownRoadAt(x + kDx[d], y + kDy[d], city))
            return int32_t(kMask[d]);
    return 0;
}

int32_t RoadNextToSite(int32_t, int32_t x, int32_t y, void* town) {
    const City& city = *static_cast<City*>(town);
    if (x == city.GetCentreX() && y == city.GetCentreY())
        return 1;
    const WorldMap& map = GetWorldMap();
    for (uint32_t d = 0; d < 4; ++d) {
        const int32_t nx = x + kDx[d], ny = y + kDy[d];
        if (!TownRoadAt(nx, ny, city))
            continue;
        const uint32_t sub = map.GetRouteSubKind(uint32_t(nx), uint32_t(ny));
        if (sub == 2 || sub == 3)
            return int32_t(kMask[d]);
    }
    return 0;
}

int32_t RoadAlongsideRect(int32_t, int32_t x, int32_t y, void* rectTown) {
    const RectTownParam& r = *static_cast<RectTownParam*>(rectTown);
    for (int32_t j = 0; j < r.h; ++j)
        for (int32_t i = 0; i < r.w; ++i)
            for (uint32_t d = 0; d < 4; ++d)
                if (TownRoadAt(x + i + kDx[d], y + j + kDy[d], *r.town))
                    return int32_t(kMask[d]);
    return 0;
}

int32_t RectAll(int32_t priority, int32_t x, int32_t y, void* rect) {
    const RectParam& r = *static_cast<RectParam*>(rect);
    for (int32_t j = 0; j < r.h; ++j)
        for (int32_t i = 0; i < r.w; ++i)
            if (r.inner(priority, x + i, y + j, r.innerParam) == 0)
                return 0;
    return 1;
}

int32_t HouseOfLevelBelow(int32_t, int32_t x, int32_t y, void* houseLevel) {
    const HouseLevelParam& p = *static_cast<HouseLevelParam*>(houseLevel);
    const uint8_t below1 = uint8_t(p.level - 1), below2 = uint8_t(p.level - 2);
    if (HoldsBuilding(x, y)) {
        const LivingBuilding* house = HouseAt(x, y);
        return house && house->GetTown() == uint32_t(p.town->GetIndex()) &&
                       (house->GetLevel() == below1 || house->GetLevel() == below2)
                   ? 1
                   : 0;
    }
    const uint8_t r = p.town->GetReservation(x, y);
    return r != 0 && (r == uint8_t(p.level) || r == below1 || r == below2) ? 1 : 0;
}

int32_t NeighboursAllowLevel(int32_t, int32_t x, int32_t y, void* houseLevel) {
    const HouseLevelParam& p = *static_cast<HouseLevelParam*>(houseLevel);
    for (uint32_t d = 0; d < 4; ++d) {
        const int32_t nx = x + kDx[d], ny = y + kDy[d];
        if (!InMap(nx, ny))
            continue;
        if (HoldsBuilding(nx, ny)) {
            const LivingBuilding* house = HouseAt(nx, ny);
            if (house && uint32_t(house->GetLevel()) + 2 < p.level)
                return 0;
            continue;
        }
        if (!HasRoad(nx, ny) && !HasTrack(nx, ny) && (p.town->GetReservation(nx, ny) == 0 || p.level > 2))
            return 0;
    }
    return 1;
}

int32_t OutdatedHouseOfTown(int32_t, int32_t x, int32_t y, void* tileSet) {
    const TileSetParam& p = *static_cast<TileSetParam*>(tileSet);
    const LivingBuilding* house = HouseAt(x, y);
    return house && house->GetTown() == uint32_t(p.town->GetIndex()) && house->GetStyle() != p.tileSet ? 1
                                                                                                       : 0;
}

int32_t RoadOfTownToUpgrade(int32_t, int32_t x, int32_t y, void* town) {
    const City& city = *static_cast<City*>(town);
    if (!HasRoad(x, y) || StationNear(x, y) || AttachedObject(x, y) ||
        GetWorldMap().TouchesTunnelEntrance(uint32_t(x), uint32_t(y)))
        return 0;
    const WorldMap& map = GetWorldMap();
    const uint32_t owner = map.GetRouteByte(uint32_t(x), uint32_t(y));
    if (owner == 0)
        return 1;
    return owner == uint32_t(city.GetIndex()) &&
                   map.GetRouteTypeAt(2, uint32_t(x), uint32_t(y)) != GetTownRoadType()
               ? 1
               : 0;
}

int32_t CanTakeTownRoad(int32_t, int32_t x, int32_t y, void*) {
    if (!InMap(x, y))
        return 0;
    const WorldMap& map = GetWorldMap();
    const uint32_t ux = uint32_t(x), uy = uint32_t(y);
    if (map.HasRoad(ux, uy) && map.GetRouteByte(ux, uy) != 0)
        return 0;
    if (AttachedObject(x, y) || !map.CanBuildRouteAt(ux, uy) || StationNear(x, y) ||
        map.TouchesTunnelEntrance(ux, uy))
        return 0;
    if (!map.HasTrack(ux, uy))
        return 1;
    const uint32_t track = map.GetTrackDirections(ux, uy);
    const RouteBuilderRow* type = RouteBuilderTable::Find(int32_t(map.GetRouteTypeAt(1, ux, uy)));
    if ((track != 5 && track != 10) || !type || !type->CanCrossStreet)
        return 0;
    const uint32_t axis = track == 5 ? 10 : 5;
    uint32_t m = 0;
    for (uint32_t d = 0; d < 4; ++d)
        if ((axis & kMask[d]) && HasRoad(x + kDx[d], y + kDy[d]))
            m |= kMask[d];
    if (m == 0)
        return 0;
    if (m == axis)
        return 1;
    const uint32_t missing = axis & ~m;
    const uint32_t d = DirectionFromMask(missing);
    for (int32_t nx = x + kDx[d], ny = y + kDy[d]; InMap(nx, ny); nx += kDx[d], ny += kDy[d]) {
        if (StationNear(nx, ny))
            return 0;
        if (!map.HasTrack(uint32_t(nx), uint32_t(ny)))
            return map.CanBuildRouteAt(uint32_t(nx), uint32_t(ny)) ? 1 : 0;
        if (map.GetTrackDirections(uint32_t(nx), uint32_t(ny)) != track)
            return 0;
    }
    return 0;
}

int32_t CountToTarget(int32_t priority, int32_t, int32_t, void* count) {
    CountParam& c = *static_cast<CountParam*>(count);
    if (priority != c.priority)
        return 0;
    return ++c.counter == c.target ? 1 : 0;
}

bool PickSite(CitySiteGrid& grid, uint32_t layer, std::span<const Predicate> predicates, bool pruning,
              bool prune, int32_t& x, int32_t& y) {
    uint32_t count = 0;
    const int32_t p = pruning ? grid.FindSitePruning(layer, predicates, x, y, count, false, prune)
                              : grid.FindSite(layer, predicates, x, y, count, false, prune);
    if (p == CitySiteGrid::kNothing || count == 0)
        return false;
    if (count == 1)
        return true;
    CountParam chosen{p, 0, GameRandom() % count + 1};
    std::vector<Predicate> list(predicates.begin(), predicates.end());
    list.push_back({CountToTarget, &chosen});
    uint32_t again = 0;
    const int32_t q = pruning ? grid.FindSitePruning(layer, list, x, y, again, true, prune)
                              : grid.FindSite(layer, list, x, y, again, true, false);
    return q != CitySiteGrid::kNothing;
}
