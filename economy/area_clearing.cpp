#include "economy/area_clearing.h"

#include "economy/city.h"
#include "economy/factory.h"
#include "transport/station.h"
#include "transport/station_construction.h"
#include "world/living_building.h"
#include "world/object_manager.h"
#include "world/world.h"

#include <algorithm>
#include <set>

namespace {

struct AreaClearingState : WorldAttachment {
    bool townBuildingDemolished = false;
};

// Rectangles beyond this many tiles a side come from damaged input.
constexpr int32_t kMaxSide = 4096;

// The house on a tile, or null; a tile is usable when it passes the
// footprint test or holds a house.
const LivingBuilding* HouseAt(uint32_t x, uint32_t y) {
    return dynamic_cast<const LivingBuilding*>(BuildingFromId(GetWorldMap().GetBuildingAt(x, y)));
}

bool TileUsable(uint32_t x, uint32_t y) {
    WorldMap& map = GetWorldMap();
    if (!map.InMap(x, y))
        return false;
    if (map.PlaceFootprint(x, y, 0, 1, 1, 1))
        return true;
    if (map.HasRoad(x, y) || map.HasTrack(x, y) || map.IsWater(x, y))
        return false;
    const uint32_t id = map.GetBuildingAt(x, y);
    if (id == 0)
        return false;
    const MapObject* object = BuildingFromId(id);
    // A handle that names no building stands in nobody's way.
    return !object || HouseAt(x, y) != nullptr;
}

int64_t HouseCost(const LivingBuilding& house) {
    return house.GetHouseDemolitionCost();
}

bool RectUsable(int32_t x, int32_t y, int32_t w, int32_t h) {
    return x >= 0 && y >= 0 && w >= 0 && h >= 0 && w <= kMaxSide && h <= kMaxSide;
}

} // namespace

bool IsAreaFree(int32_t x, int32_t y, int32_t w, int32_t h, int32_t& cost) {
    cost = 0;
    if (!RectUsable(x, y, w, h))
        return false;
    std::set<ObjectHandle> houses;
    int64_t total = 0;
    for (int32_t ty = y; ty < y + h; ++ty) {
        for (int32_t tx = x; tx < x + w; ++tx) {
            if (!TileUsable(uint32_t(tx), uint32_t(ty)))
                return false;
            if (const LivingBuilding* house = HouseAt(uint32_t(tx), uint32_t(ty)))
                if (houses.insert(house->GetId()).second)
                    total += HouseCost(*house);
        }
    }
    cost = int32_t(std::min<int64_t>(total, INT32_MAX));
    return true;
}

bool ClearArea(int32_t x, int32_t y, int32_t w, int32_t h, uint32_t, int32_t& cost) {
    int32_t free = 0;
    if (!IsAreaFree(x, y, w, h, free))
        return false;
    int64_t total = cost;
    for (int32_t ty = y; ty < y + h; ++ty) {
        for (int32_t tx = x; tx < x + w; ++tx) {
            const LivingBuilding* house = HouseAt(uint32_t(tx), uint32_t(ty));
            if (!house)
                continue;
            total += HouseCost(*house);
            TownBuildingDemolished() = true;
            DeleteMapObject(house->GetId());
        }
    }
    cost = int32_t(std::clamp<int64_t>(total, INT32_MIN, INT32_MAX));
    return true;
}

bool& TownBuildingDemolished() {
    return CurrentWorld().Attached<AreaClearingState>().townBuildingDemolished;
}

void InstallStationsOnTownLand() {
    InstallStations();
    InstallStationCommands();
    StationHooks& hooks = GetStationHooks();
    hooks.isAreaFree = [](int32_t x, int32_t y, int32_t w, int32_t h, int32_t& cost) {
        return IsAreaFree(x, y, w, h, cost);
    };
    hooks.clearArea = [](int32_t x, int32_t y, int32_t w, int32_t h, int32_t& cost) {
        return ClearArea(x, y, w, h, 0, cost);
    };
    hooks.townAt = [](int32_t x, int32_t y, std::string& name) -> int32_t {
        for (int32_t i = 1; i <= GetCityCount(); ++i) {
            const City* city = GetCity(i);
            if (city && city->Contains(x, y)) {
                name = city->GetName();
                return i;
            }
        }
        return 0;
    };
    hooks.factoryType = [](const MapObject& building) -> int32_t {
        const auto* factory = dynamic_cast<const Factory*>(&building);
        return factory ? factory->GetFactoryTyp() : -1;
    };
}
