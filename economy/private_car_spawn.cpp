#include "economy/private_car_spawn.h"

#include "data/generated/town_tables.h"
#include "economy/city.h"
#include "vehicles/private_car.h"
#include "world/living_building.h"
#include "world/object_manager.h"
#include "world/random_streams.h"
#include "world/world_map.h"

#include <vector>

namespace {

// Towns smaller than this get no cars.
constexpr uint32_t kMinimumInhabitants = 21;

bool IsDeadEnd(uint32_t mask) {
    mask &= 15;
    return mask == 1 || mask == 2 || mask == 4 || mask == 8;
}

bool IsHouseOf(const WorldMap& map, int32_t x, int32_t y, uint32_t town) {
    if (x < 0 || y < 0 || !map.InMap(uint32_t(x), uint32_t(y)))
        return false;
    const auto* house =
        dynamic_cast<const LivingBuilding*>(BuildingFromId(map.GetBuildingAt(uint32_t(x), uint32_t(y))));
    return house && house->GetTown() == town;
}

// A straight town road of the town beside one of its houses, with no dead
// end on it or next to it.
bool IsSpawnSite(const WorldMap& map, int32_t x, int32_t y, uint32_t town) {
    if (!map.HasRoad(uint32_t(x), uint32_t(y)) || map.GetRouteByte(uint32_t(x), uint32_t(y)) != town)
        return false;
    const uint32_t mask = map.GetRoadDirections(uint32_t(x), uint32_t(y)) & 15;
    if (mask != 5 && mask != 10)
        return false;
    static constexpr int32_t kSides[4][2] = {{0, -1}, {1, 0}, {0, 1}, {-1, 0}};
    bool house = false;
    for (const auto& d : kSides) {
        const int32_t nx = x + d[0], ny = y + d[1];
        if (nx < 0 || ny < 0 || !map.InMap(uint32_t(nx), uint32_t(ny)))
            continue;
        if (IsDeadEnd(map.GetRoadDirections(uint32_t(nx), uint32_t(ny))))
            return false;
        house = house || IsHouseOf(map, nx, ny, town);
    }
    return house;
}

bool FindSpawnTile(City& city, uint32_t town, int32_t& x, int32_t& y) {
    const WorldMap& map = GetWorldMap();
    std::vector<std::pair<int32_t, int32_t>> candidates;
    const int32_t left = city.GetCentreX() - city.GetWidth() / 2,
                  top = city.GetCentreY() - city.GetHeight() / 2;
    for (int32_t ty = top; ty < top + city.GetHeight(); ++ty)
        for (int32_t tx = left; tx < left + city.GetWidth(); ++tx)
            if (tx >= 0 && ty >= 0 && map.InMap(uint32_t(tx), uint32_t(ty)) && IsSpawnSite(map, tx, ty, town))
                candidates.push_back({tx, ty});
    while (!candidates.empty()) {
        const size_t pick = GameRandom() % candidates.size();
        auto [cx, cy] = candidates[pick];
        if (PrivateCarSpawnTileFree(cx, cy)) {
            x = cx;
            y = cy;
            return true;
        }
        candidates.erase(candidates.begin() + std::ptrdiff_t(pick));
    }
    return false;
}

} // namespace

uint32_t PrivateCarLimit(uint32_t sizeClass) {
    const CityGrowingConfigRow* config = CityGrowingConfigTable::Find(0);
    const float limit = config ? config->CitySizeNrPKWs.Cell(0, sizeClass) : -1.0f;
    // A class without an entry gets no cars rather than any number.
    return limit > 0.0f ? uint32_t(TruncateToInt(limit)) : 0;
}

void SpawnPrivateCars(uint32_t now) {
    if (!BeginPrivateCarPass(now))
        return;
    for (int32_t t = 1; t <= kMaxCities; ++t) {
        City* city = GetCity(t);
        if (!city || city->GetPopulation() < kMinimumInhabitants)
            continue;
        if (PrivateCarCount(uint32_t(t)) >= PrivateCarLimit(city->GetSizeClass()))
            continue;
        int32_t x = 0, y = 0;
        if (FindSpawnTile(*city, uint32_t(t), x, y))
            SpawnPrivateCar(uint32_t(t), x, y);
    }
}
