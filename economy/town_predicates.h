// The tile predicates of the towns' site searches, the records they take,
// and the pick of one site among several of equal priority.
#pragma once

#include "economy/city_site_grid.h"

#include <cstdint>

class City;
class CityPlan;

struct HouseLevelParam {
    City* town = nullptr;
    uint32_t level = 0;
};
struct TileSetParam {
    City* town = nullptr;
    uint8_t tileSet = 0;
};
struct RectParam {
    int32_t w = 0, h = 0;
    TilePredicate inner = nullptr;
    void* innerParam = nullptr;
};
struct RectTownParam {
    int32_t w = 0, h = 0;
    City* town = nullptr;
};
struct CountParam {
    int32_t priority = 0;
    uint32_t counter = 0;
    uint32_t target = 0;
};

// n of NoWaterNear as its parameter.
inline void* NumberParam(intptr_t n) {
    return reinterpret_cast<void*>(n);
}

int32_t InMapPredicate(int32_t priority, int32_t x, int32_t y, void* param);
int32_t FootprintTestPredicate(int32_t priority, int32_t x, int32_t y, void* param);
int32_t TileFreeForHouse(int32_t priority, int32_t x, int32_t y, void* param);
int32_t TileFreeOrOwnHouse(int32_t priority, int32_t x, int32_t y, void* town);
int32_t PlanIsOpen(int32_t priority, int32_t x, int32_t y, void* plan);
int32_t PlanIsLot(int32_t priority, int32_t x, int32_t y, void* plan);
int32_t PlanIsRoad(int32_t priority, int32_t x, int32_t y, void* plan);
int32_t NotReserved(int32_t priority, int32_t x, int32_t y, void* town);
int32_t NoWaterNear(int32_t priority, int32_t x, int32_t y, void* n);
int32_t SiteFlagClear(int32_t priority, int32_t x, int32_t y, void* param);
int32_t DiagonalRoadNear(int32_t priority, int32_t x, int32_t y, void* plan);
int32_t RoadNeighbour(int32_t priority, int32_t x, int32_t y, void* town);
int32_t RoadNextToSite(int32_t priority, int32_t x, int32_t y, void* town);
int32_t RoadAlongsideRect(int32_t priority, int32_t x, int32_t y, void* rectTown);
int32_t RectAll(int32_t priority, int32_t x, int32_t y, void* rect);
int32_t HouseOfLevelBelow(int32_t priority, int32_t x, int32_t y, void* houseLevel);
int32_t NeighboursAllowLevel(int32_t priority, int32_t x, int32_t y, void* houseLevel);
int32_t OutdatedHouseOfTown(int32_t priority, int32_t x, int32_t y, void* tileSet);
int32_t RoadOfTownToUpgrade(int32_t priority, int32_t x, int32_t y, void* town);
int32_t CanTakeTownRoad(int32_t priority, int32_t x, int32_t y, void* param);
int32_t CountToTarget(int32_t priority, int32_t x, int32_t y, void* count);

// Whether the 1 x 1 building footprint test passes on a map tile.
bool FootprintFree(int32_t x, int32_t y);
// Whether a map tile holds a building; its id in id.
bool HoldsBuilding(int32_t x, int32_t y, uint32_t* id = nullptr);

// One site of a search: with several hits at the top priority, one draw of
// the game's generator chooses among them and the search runs once more
// with CountToTarget. The pruning variant when pruning is set. False when
// nothing passes.
bool PickSite(CitySiteGrid& grid, uint32_t layer, std::span<const Predicate> predicates, bool pruning,
              bool prune, int32_t& x, int32_t& y);
