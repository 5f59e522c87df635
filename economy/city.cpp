#include "economy/city.h"

#include "data/generated/economy_tables.h"
#include "data/generated/route_tables.h"
#include "data/generated/terrain_tables.h"
#include "data/generated/town_tables.h"
#include "economy/city_config.h"
#include "economy/factory.h"
#include "economy/town_predicates.h"
#include "world/catchment.h"
#include "world/game_clock.h"
#include "world/living_building.h"
#include "world/object_manager.h"
#include "world/random_streams.h"
#include "world/special_building.h"
#include "world/static_object_services.h"
#include "world/world_map.h"
#include "world/world_warnings.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

namespace {

constexpr int32_t kMaxTownSide = 255;
constexpr int64_t kGridPeriod = 600000;
constexpr uint32_t kAsphaltRoadRow = 10;
constexpr uint32_t kPlainRoadRow = 8;
constexpr int32_t kDx[4] = {0, 1, 0, -1};
constexpr int32_t kDy[4] = {-1, 0, 1, 0};

// The current world's towns; its world deletes them while the tile map
// that their factories touch is still whole.
struct CityTable final : WorldAttachment {
    std::array<std::unique_ptr<City>, kMaxCities + 1> slots;
    int32_t count = 0;
    int32_t cursor = 0;
    // The last census: total, then levels 1..4.
    std::array<uint32_t, 5> census{};
    // While the towns are pre-grown: the count of town actions that
    // changed anything.
    bool pregrowing = false;
    uint64_t changes = 0;
};

CityTable& Table() {
    return CurrentWorld().Attached<CityTable>();
}

bool InMap(int32_t x, int32_t y) {
    return x >= 0 && y >= 0 && GetWorldMap().InMap(uint32_t(x), uint32_t(y));
}

uint32_t CurrentYear() {
    const GameClock* clock = GetGameClock();
    return clock ? clock->GetCurrentYear() : kFirstYear;
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

void RequestObjectRedraw() {
    if (StaticServices().requestObjectRedraw)
        StaticServices().requestObjectRedraw();
}

// A house variant of a level: one draw over the variants of the tile set,
// none (variant 0) when the tile set has no variants of that level.
uint8_t DrawVariant(uint8_t tileSet, uint32_t level) {
    const int32_t variants = GetLivingBuildingValue(tileSet, 0, level - 1);
    if (variants <= 0)
        return 0;
    return uint8_t(GameRandom() % uint32_t(variants));
}

// Removes the route layer above mode m of a tile: a crossing loses its
// track for a plain road (m = 2).
void ClearRouteLayer(int32_t x, int32_t y, uint32_t m) {
    WorldMap& map = GetWorldMap();
    if (map.GetCellKind(uint32_t(x), uint32_t(y)) == kCellRoute &&
        map.GetRouteSubKind(uint32_t(x), uint32_t(y)) == 3 && m == 2)
        map.SetRouteKindAndClear(uint32_t(x), uint32_t(y), 2);
}

// The growth influence of a building: a special building's or a factory's
// CityGrowingInfluence, as a signed byte.
int32_t GrowthInfluence(MapObject& building) {
    if (auto* special = dynamic_cast<SpecialBuilding*>(&building)) {
        const SpecialBuildingTownRow* row = SpecialBuildingTownTable::Find(special->GetType());
        return row ? int32_t(int8_t(uint8_t(row->CityGrowingInfluence))) : 0;
    }
    if (auto* factory = dynamic_cast<Factory*>(&building)) {
        const FactoryRow* row = FactoryTable::Find(factory->GetTypeIndex());
        return row ? int32_t(int8_t(uint8_t(row->CityGrowingInfluence))) : 0;
    }
    return 0;
}

} // namespace

std::function<bool(int32_t type, int32_t& w, int32_t& h)>& SpecialBuildingFootprint() {
    static std::function<bool(int32_t, int32_t&, int32_t&)> provider;
    return provider;
}

std::array<uint32_t, 5>& CityCensus() {
    return Table().census;
}

uint32_t GetTownRoadType() {
    const CityGrowingConfigRow* config = CityGrowingConfigTable::Find(0);
    const RouteBuilderRow* asphalt = RouteBuilderTable::Find(int32_t(kAsphaltRoadRow));
    const int64_t year = CurrentYear();
    if (config && asphalt && year >= config->AsphaltRoadStartingYear && year >= asphalt->StartYear)
        return kAsphaltRoadRow;
    return kPlainRoadRow;
}

City::City() = default;

City::~City() {
    if (centreFactory_ != 0 && MapObjectFromId(centreFactory_))
        DeleteMapObject(centreFactory_);
}

bool City::Contains(int32_t x, int32_t y) const {
    return centreX_ - width_ / 2 < x && x < centreX_ + width_ / 2 && centreY_ - height_ / 2 < y &&
           y < centreY_ + height_ / 2;
}

bool City::CellOf(int32_t x, int32_t y, uint32_t& column, uint32_t& row) const {
    const int64_t c = int64_t(x) - centreX_ + width_ / 2, r = int64_t(y) - centreY_ + height_ / 2;
    if (c < 0 || r < 0 || c >= width_ || r >= height_)
        return false;
    column = uint32_t(c);
    row = uint32_t(r);
    return true;
}

uint8_t City::GetReservation(int32_t x, int32_t y) const {
    uint32_t column = 0, row = 0;
    if (!CellOf(x, y, column, row) || reservedLots_.size() != size_t(width_) * size_t(height_))
        return 0;
    return reservedLots_[size_t(row) * size_t(width_) + column];
}

void City::SetReservation(int32_t x, int32_t y, uint8_t level) {
    uint32_t column = 0, row = 0;
    if (CellOf(x, y, column, row) && reservedLots_.size() == size_t(width_) * size_t(height_))
        reservedLots_[size_t(row) * size_t(width_) + column] = level;
}

void City::SetName(const std::string& name) {
    name_ = name.substr(0, kMaxCityNameChars);
    name_ = name_.substr(0, strnlen(name_.c_str(), kMaxCityNameChars));
}

void City::SetStyle(int32_t style) {
    style_ = style;
    styleValues_ = {};
    const CityStyleRow* row = CityStyleTable::Find(style);
    if (!row) {
        WorldWarning("towns: town style %d has no CityStyle row", style);
        return;
    }
    const int32_t values[13] = {row->BlockSizeDistributionSet,
                                row->BuildingDistributionSet,
                                row->Shape_TerrainInfluence,
                                row->Shape_BuildingInfluence,
                                row->Shape_CenterInfluence,
                                row->Shape_RoadInfluence,
                                row->Distribution_TerrainInfluence,
                                row->Distribution_BuildingInfluence,
                                row->Distribution_CenterInfluence,
                                row->Distribution_RoadInfluence,
                                row->PlaceReservationPropability,
                                row->XDim,
                                row->YDim};
    for (size_t i = 0; i < 13; ++i)
        styleValues_[i] = uint32_t(values[i]);
    uint32_t bits = 0;
    static_assert(sizeof(bits) == sizeof(row->BaseSpeed));
    std::memcpy(&bits, &row->BaseSpeed, sizeof bits);
    styleValues_[kBaseSpeed] = bits;
    speed_ = std::isfinite(row->BaseSpeed) && row->BaseSpeed >= 0.0f ? row->BaseSpeed : 1.0f;
}

uint8_t City::GetCurrentTileSet() const {
    const CityStyleRow* row = CityStyleTable::Find(style_);
    if (!row || row->TileSet.RowCount() == 0)
        return 0;
    const ValueTable& sets = row->TileSet;
    const int64_t year = CurrentYear();
    int32_t chosen = sets.IntCell(1, 0);
    for (uint32_t i = 1; i < sets.RowCount(); ++i)
        if (sets.IntCell(0, i) <= year)
            chosen = sets.IntCell(1, i);
    return chosen < 0 ? 0 : uint8_t(chosen);
}

uint32_t City::GetGrowthDelay() const {
    int64_t factories = 100;
    for (uint32_t i = 0; i < factoryCounts_.size(); ++i)
        if (factoryCounts_[i] > 0)
            if (const FactoryRow* row = FactoryTable::Find(int32_t(i)))
                factories += int64_t(factoryCounts_[i]) * row->CityGrowingInfluence;
    factories = std::min<int64_t>(factories, 400);
    int64_t specials = 100;
    for (uint32_t j = 0; j < specialBuildingCounts_.size(); ++j)
        if (specialBuildingCounts_[j] > 0)
            if (const SpecialBuildingTownRow* row = SpecialBuildingTownTable::Find(int32_t(j)))
                specials += row->CityGrowingInfluence;
    specials = std::max<int64_t>(specials, 30);
    const CityGrowingConfigRow* config = CityGrowingConfigTable::Find(0);
    const int32_t base = config ? config->CitySizeBaseUpdateDelay.IntCell(0, sizeClass_) : -1;
    // A missing base delay means no growth; a product beyond the signed
    // range saturates instead of wrapping.
    if (base < 0)
        return UINT32_MAX;
    const double d = double(specials) / 100.0 * (double(factories) / 100.0) * double(base);
    if (!(d >= 0.0) || d >= 2147483648.0)
        return UINT32_MAX;
    const double delay = double(uint32_t(int32_t(d))) * double(speed_);
    if (!(delay >= 0.0))
        return 0;
    if (delay >= 4294967295.0)
        return UINT32_MAX;
    return uint32_t(delay);
}

MapObject* City::LinkedObject() const {
    return centreFactory_ ? MapObjectFromId(centreFactory_) : nullptr;
}

void City::SizeTileData() {
    const uint32_t w = uint32_t(width_), h = uint32_t(height_);
    const int32_t left = centreX_ - width_ / 2, top = centreY_ - height_ / 2;
    if (reservedLots_.size() != size_t(w) * h)
        reservedLots_.assign(size_t(w) * h, 0);
    for (CitySiteGrid& grid : grids_) {
        if (grid.GetWidth() != w || grid.GetHeight() != h)
            grid.Resize(w, h);
        grid.Link(uint32_t(index_), left, top);
    }
    if (plan_.GetWidth() != w || plan_.GetHeight() != h)
        plan_.Resize(w, h);
    plan_.Link(uint32_t(index_), left, top);
}

void City::MakeTownRoad(int32_t x, int32_t y, uint32_t mask) {
    WorldMap& map = GetWorldMap();
    const uint32_t ux = uint32_t(x), uy = uint32_t(y);
    ClearRouteLayer(x, y, map.HasTrack(ux, uy) ? 3 : 2);
    map.PlaceTownRoad(ux, uy, mask);
    map.SetRouteType(2, ux, uy, GetTownRoadType());
    map.SetRouteByte(ux, uy, uint32_t(index_));
}

void City::LayCentreCross() {
    WorldMap& map = GetWorldMap();
    MakeTownRoad(centreX_, centreY_, 15);
    struct Arm {
        int32_t dx, dy;
        uint32_t mask;
    };
    const Arm arms[4] = {{-1, 0, 10}, {1, 0, 10}, {0, -1, 5}, {0, 1, 5}};
    // Arms go only where a road may lie: not over water or a building.
    for (const Arm& arm : arms) {
        const int32_t x = centreX_ + arm.dx, y = centreY_ + arm.dy;
        if (InMap(x, y) && map.CanBuildRouteAt(uint32_t(x), uint32_t(y)))
            MakeTownRoad(x, y, arm.mask);
    }
    map.UpdateRoadConnections(uint32_t(centreX_), uint32_t(centreY_));
    for (const Arm& arm : arms) {
        const int32_t x = centreX_ + arm.dx, y = centreY_ + arm.dy;
        if (InMap(x, y) && map.HasRoad(uint32_t(x), uint32_t(y)))
            map.UpdateRoadConnections(uint32_t(x), uint32_t(y));
    }
    map.SetRouteByte(uint32_t(centreX_), uint32_t(centreY_), uint32_t(index_));
}

void City::CreateCentreFactory() {
    auto* factory = dynamic_cast<Factory*>(CreateMapObject(kCategoryBuilding, kFactorySubtype));
    if (!factory) {
        centreFactory_ = 0;
        return;
    }
    factory->SetTypeIndex(kTownCentreFactoryType);
    factory->SetOwner(kNeutralOwner);
    factory->SetPosition(centreX_, centreY_);
    factory->SetExtent(1, 1);
    centreFactory_ = factory->GetId();
}

void City::TakeCensus() {
    std::array<uint32_t, 5>& census = CityCensus();
    census = {};
    reservedByLevel_ = {};
    const uint32_t before = population_;
    population_ = 0;
    for (int32_t y = centreY_ - height_ / 2; y <= centreY_ + height_ / 2; ++y) {
        for (int32_t x = centreX_ - width_ / 2; x <= centreX_ + width_ / 2; ++x) {
            if (!InMap(x, y))
                continue;
            if (HoldsBuilding(x, y)) {
                const LivingBuilding* house = HouseAt(x, y);
                if (!house || house->GetTown() != uint32_t(index_) || house->GetX() != x ||
                    house->GetY() != y)
                    continue;
                const uint32_t level = house->GetLevel();
                if (level < 1 || level > 4)
                    continue;
                ++census[0];
                ++census[level];
                population_ += uint32_t(std::max(house->GetHousePopulation(), 0));
                continue;
            }
            const uint8_t r = GetReservation(x, y);
            if (r >= 1 && r <= 4) {
                ++census[0];
                ++census[r];
                ++reservedByLevel_[r];
            }
        }
    }
    houses_ = census[0];
    sizeClass_ = uint8_t(GetCitySizeClass(population_));
    if (population_ != before)
        RefreshStations();
}

int32_t City::UpgradeHouses() {
    TakeCensus();
    const std::array<uint32_t, 5> census = CityCensus();
    if (census[0] == 0)
        return 0;
    const BuildingSizeSet& targets = GetBuildingSizeSet(styleValues_[kBuildingSet]);
    for (uint32_t level = 4; level >= 1; --level) {
        // A site is a house of one of the two levels below or a lot reserved
        // for this level or those: with none in the census the search would
        // find none.
        uint32_t sources = reservedByLevel_[level];
        for (uint32_t below = level - 1; below >= 1 && below + 2 >= level; --below)
            sources += census[below];
        if (uint64_t(census[level]) * 100 / census[0] <
                targets[std::min<uint32_t>(sizeClass_, 5)][level - 1] &&
            sources > 0 && UpgradeHouse(level)) {
            RestyleHouse();
            return 1;
        }
    }
    return 0;
}

int32_t City::UpgradeHouse(uint32_t level) {
    HouseLevelParam param{this, level};
    const Predicate list[] = {
        {InMapPredicate, nullptr}, {HouseOfLevelBelow, &param}, {NeighboursAllowLevel, &param}};
    int32_t x = 0, y = 0;
    if (!PickSite(grids_[kGridDistribution], 1, list, false, false, x, y))
        return 0;
    const uint8_t tileSet = GetCurrentTileSet();
    if (LivingBuilding* house = HouseAt(x, y)) {
        house->SetLevel(uint8_t(level));
        house->Rebuild(DrawVariant(tileSet, level));
        house->SetStyle(tileSet);
    } else {
        auto* built =
            dynamic_cast<LivingBuilding*>(CreateMapObject(kCategoryBuilding, LivingBuilding::kSubtype));
        if (!built)
            return 0;
        built->Init(uint8_t(index_), tileSet, uint8_t(level), DrawVariant(tileSet, level));
        if (!built->Place(x, y, LivingBuilding::kSubtype, 1, 1, 0)) {
            DeleteMapObject(built->GetId());
            return 0;
        }
    }
    RequestObjectRedraw();
    SetReservation(x, y, 0);
    return 1;
}

int32_t City::BuildHouse() {
    const Predicate list[] = {{InMapPredicate, nullptr}, {PlanIsLot, &plan_},   {TileFreeForHouse, nullptr},
                              {NotReserved, this},       {RoadNeighbour, this}, {NoWaterNear, NumberParam(2)},
                              {SiteFlagClear, nullptr}};
    CitySiteGrid& grid = grids_[kGridDistribution];
    int32_t x = 0, y = 0;
    uint32_t count = 0;
    const int32_t p = grid.FindSitePruning(0, list, x, y, count, false, false);
    std::vector<CitySiteGrid::Hit>& results = grid.GetLayer(0).results;
    if (p == CitySiteGrid::kNothing || count == 0 || results.empty())
        return 0;
    const CitySiteGrid::Hit hit = results[count >= 2 ? GameRandom() % count % results.size() : 0];
    x = int32_t(hit.x);
    y = int32_t(hit.y);
    std::vector<CitySiteGrid::Tile>& bucket = grid.GetLayer(0).buckets[size_t(p)];
    for (size_t k = hit.position < bucket.size() ? hit.position : 0; k < bucket.size(); ++k) {
        if (bucket[k].x == hit.x && bucket[k].y == hit.y) {
            bucket.erase(bucket.begin() + std::ptrdiff_t(k));
            break;
        }
    }
    if (GameRandom() % 100 <= styleValues_[kPlaceReservation]) {
        SetReservation(x, y, 1);
        return 1;
    }
    const uint8_t tileSet = GetCurrentTileSet();
    auto* house = dynamic_cast<LivingBuilding*>(CreateMapObject(kCategoryBuilding, LivingBuilding::kSubtype));
    if (!house)
        return 0;
    house->Init(uint8_t(index_), tileSet, 1, DrawVariant(tileSet, 1));
    if (!house->Place(x, y, LivingBuilding::kSubtype, 1, 1, 0)) {
        DeleteMapObject(house->GetId());
        return 0;
    }
    RestyleHouse();
    RequestObjectRedraw();
    SetReservation(x, y, 0);
    return 1;
}

int32_t City::RestyleHouse() {
    TileSetParam param{this, GetCurrentTileSet()};
    const Predicate list[] = {{InMapPredicate, nullptr}, {OutdatedHouseOfTown, &param}};
    int32_t x = 0, y = 0;
    if (!PickSite(grids_[kGridDistribution], 1, list, false, false, x, y))
        return 0;
    LivingBuilding* house = HouseAt(x, y);
    if (!house)
        return 0;
    house->SetStyle(param.tileSet);
    return 1;
}

int32_t City::TryBuildSpecialBuilding() {
    if (specialInProgress_ != 0)
        return 0;
    const CityGrowingConfigRow* config = CityGrowingConfigTable::Find(0);
    const int32_t threshold = config ? config->SpecialBuildingLevels.IntCell(0, specialLevel_) : -1;
    if (threshold < 0 || int64_t(population_) < threshold)
        return 0;
    std::vector<int32_t> candidates;
    int32_t largest = INT32_MIN;
    for (int32_t j = 0; j < 256; ++j) {
        const SpecialBuildingTownRow* row = SpecialBuildingTownTable::Find(j);
        if (!row || specialBuildingCounts_[size_t(j)] != 0 || !IsSpecialBuildingAllowedInStyle(j, style_) ||
            int64_t(row->RequiredPopulation) > int64_t(population_))
            continue;
        if (row->RequiredPopulation > largest) {
            largest = row->RequiredPopulation;
            candidates.clear();
        }
        if (row->RequiredPopulation == largest)
            candidates.push_back(j);
    }
    if (candidates.empty())
        return 0;
    const int32_t type = candidates[GameRandom() % uint32_t(candidates.size())];
    specialInProgress_ = uint32_t(type) + 1;
    const int32_t placed = PlaceSpecialBuilding(type);
    ++specialLevel_;
    specialInProgress_ = 0;
    return placed;
}

int32_t City::PlaceSpecialBuilding(int32_t type) {
    int32_t w = 2, h = 2;
    if (SpecialBuildingFootprint() && !SpecialBuildingFootprint()(type, w, h))
        return 0;
    if (w < 1 || h < 1 || w > 16 || h > 16)
        return 0;
    RectParam inMap{w, h, InMapPredicate, nullptr};
    RectParam onLots{w, h, PlanIsLot, &plan_};
    RectParam free{w, h, TileFreeOrOwnHouse, this};
    RectTownParam road{w, h, this};
    RectParam dry{w, h, NoWaterNear, NumberParam(2)};
    RectParam clear{w, h, SiteFlagClear, nullptr};
    Predicate list[] = {{RectAll, &inMap},          {RectAll, &onLots}, {RectAll, &free},
                        {RoadAlongsideRect, &road}, {RectAll, &dry},    {RectAll, &clear}};
    CitySiteGrid& grid = grids_[kGridDistribution];
    int32_t x = 0, y = 0;
    if (!PickSite(grid, 2, list, false, false, x, y)) {
        list[1] = {RectAll, &inMap};
        if (!PickSite(grid, 2, list, false, false, x, y))
            return 0;
    }
    for (int32_t j = y; j < y + h; ++j) {
        for (int32_t i = x; i < x + w; ++i) {
            uint32_t id = 0;
            if (HoldsBuilding(i, j, &id))
                DeleteMapObject(id);
        }
    }
    auto* building =
        dynamic_cast<SpecialBuilding*>(CreateMapObject(kCategoryBuilding, SpecialBuilding::kSubtype));
    if (!building)
        return 0;
    building->Init(uint8_t(index_), type);
    if (!building->Place(x, y, SpecialBuilding::kSubtype, w, h, 0)) {
        DeleteMapObject(building->GetId());
        return 0;
    }
    RequestObjectRedraw();
    return 1;
}

void City::UpgradeRoadTile(int32_t x, int32_t y) {
    WorldMap& map = GetWorldMap();
    const uint32_t ux = uint32_t(x), uy = uint32_t(y);
    if (!map.HasRoad(ux, uy))
        return;
    const uint32_t m = map.HasTrack(ux, uy) ? 3 : 2;
    if (map.GetRouteSubKind(ux, uy) > m)
        ClearRouteLayer(x, y, m);
    else if (map.GetRouteTypeAt(2, ux, uy) != GetTownRoadType())
        map.SetRouteType(2, ux, uy, GetTownRoadType());
}

int32_t City::UpgradeRoad() {
    if (GetTownRoadType() != kAsphaltRoadRow || roadUpgradeDone_ != 0)
        return 0;
    CitySiteGrid& grid = grids_[kGridShape];
    if (!grid.IsBuilt(0)) {
        const Predicate list[] = {
            {InMapPredicate, nullptr}, {RoadOfTownToUpgrade, this}, {RoadNextToSite, this}};
        int32_t x = 0, y = 0;
        uint32_t count = 0;
        grid.FindAllSites(0, list, x, y, count, false, false);
    }
    std::vector<CitySiteGrid::Hit>& results = grid.GetLayer(0).results;
    if (results.empty()) {
        roadUpgradeDone_ = 1;
        return 0;
    }
    const CitySiteGrid::Hit hit = results.front();
    results.erase(results.begin());
    UpgradeRoadTile(int32_t(hit.x), int32_t(hit.y));
    if (GetWorldMap().HasRoad(hit.x, hit.y))
        GetWorldMap().SetRouteByte(hit.x, hit.y, uint32_t(index_));
    return 1;
}

int32_t City::BuildRoad() {
    if (UpgradeRoad())
        return 2;
    const Predicate list[] = {{InMapPredicate, nullptr},     {PlanIsRoad, &plan_},
                              {CanTakeTownRoad, nullptr},    {RoadNeighbour, this},
                              {NoWaterNear, NumberParam(2)}, {SiteFlagClear, nullptr}};
    int32_t x = 0, y = 0;
    if (!PickSite(grids_[kGridShape], 1, list, true, true, x, y))
        return 0;
    WorldMap& map = GetWorldMap();
    const uint32_t ux = uint32_t(x), uy = uint32_t(y);
    const bool track = map.HasTrack(ux, uy);
    const uint32_t trackType = map.GetRouteTypeAt(1, ux, uy);
    const uint32_t trackDirections = map.GetTrackDirections(ux, uy);
    MakeTownRoad(x, y, 15);
    map.UpdateRoadConnections(ux, uy);
    if (track) {
        const uint32_t axis = trackDirections != 5 ? 5 : 10;
        map.SetRoadDirections(ux, uy, axis);
        map.SetRouteType(1, ux, uy, trackType);
        // The road goes on across the neighbouring tracks along its axis.
        bool open[4] = {false, false, false, false};
        for (uint32_t d = 0; d < 4; ++d)
            open[d] = (axis & (1u << d)) != 0;
        for (int32_t distance = 1; open[0] || open[1] || open[2] || open[3]; ++distance) {
            for (uint32_t d = 0; d < 4; ++d) {
                if (!open[d])
                    continue;
                const int32_t nx = x + kDx[d] * distance, ny = y + kDy[d] * distance;
                if (!InMap(nx, ny) || !map.CanBuildRouteAt(uint32_t(nx), uint32_t(ny))) {
                    open[d] = false;
                    continue;
                }
                const bool crossing = map.HasTrack(uint32_t(nx), uint32_t(ny));
                const uint32_t ownType = map.GetRouteTypeAt(1, uint32_t(nx), uint32_t(ny));
                const uint32_t ownTrack = map.GetTrackDirections(uint32_t(nx), uint32_t(ny));
                MakeTownRoad(nx, ny, axis);
                map.UpdateRoadConnections(uint32_t(nx), uint32_t(ny));
                UpgradeRoadTile(nx, ny);
                if (crossing) {
                    map.SetRoadDirections(uint32_t(nx), uint32_t(ny), ownTrack != 5 ? 5 : 10);
                    map.SetRouteType(1, uint32_t(nx), uint32_t(ny), ownType);
                } else {
                    open[d] = false;
                }
            }
        }
    }
    RequestObjectRedraw();
    grids_[kGridDistribution].ClearBuilt(3);
    return 1;
}

void City::ComputeBaseGrids() {
    const uint32_t w = uint32_t(width_), h = uint32_t(height_);
    const int32_t left = centreX_ - width_ / 2, top = centreY_ - height_ / 2;
    CitySiteGrid roads, centre, terrain;
    for (CitySiteGrid* g : {&roads, &centre, &terrain}) {
        g->Resize(w, h);
        g->Link(uint32_t(index_), left, top);
    }
    const WorldMap& map = GetWorldMap();
    for (int32_t y = top; y < top + height_; ++y) {
        for (int32_t x = left; x < left + width_; ++x) {
            if (!InMap(x, y))
                continue;
            if (map.HasRoad(uint32_t(x), uint32_t(y)) &&
                map.GetRouteByte(uint32_t(x), uint32_t(y)) == uint32_t(index_))
                roads.SpreadCone(x, y, 100);
            const TerrainRow* row = map.TerrainAt(uint32_t(x), uint32_t(y));
            const int32_t value = row ? (row->IndexAttractivity & 0xFF) : 0;
            if (value != 0)
                terrain.SpreadTerrain(x, y, value);
        }
    }
    centre.SpreadCone(centreX_, centreY_, 100);
    auto weight = [this](StyleValue v) { return int64_t(int32_t(styleValues_[v])); };
    const int64_t shape[3] = {weight(kShapeTerrain), weight(kShapeRoad), weight(kShapeCenter)};
    const int64_t distribution[3] = {weight(kDistributionTerrain), weight(kDistributionRoad),
                                     weight(kDistributionCenter)};
    const CitySiteGrid* sources[3] = {&terrain, &roads, &centre};
    auto blend = [&](CitySiteGrid& target, const int64_t* weights, const char* what) {
        const int64_t sum = weights[0] + weights[1] + weights[2];
        if (sum == 0) {
            WorldWarning("towns: the %s weights of town style %d add up to 0, the grid stays empty", what,
                         style_);
            return;
        }
        for (uint32_t row = 0; row < h; ++row)
            for (uint32_t column = 0; column < w; ++column) {
                int64_t v = 0;
                for (int i = 0; i < 3; ++i)
                    v += int64_t(sources[i]->GetCell(column, row)) * weights[i];
                target.SetCell(column, row, int8_t(uint8_t(v / sum)));
            }
    };
    blend(grids_[kGridShapeBase], shape, "shape");
    blend(grids_[kGridDistributionBase], distribution, "distribution");
    gridState_ = 10;
}

void City::ApplyBuildingInfluence() {
    const uint32_t w = uint32_t(width_), h = uint32_t(height_);
    const int32_t left = centreX_ - width_ / 2, top = centreY_ - height_ / 2;
    CitySiteGrid buildings;
    buildings.Resize(w, h);
    buildings.Link(uint32_t(index_), left, top);
    for (int32_t y = top; y < top + height_; ++y) {
        for (int32_t x = left; x < left + width_; ++x) {
            uint32_t id = 0;
            if (!HoldsBuilding(x, y, &id))
                continue;
            MapObject* building = BuildingFromId(id);
            if (!building || building->GetX() != x || building->GetY() != y)
                continue;
            const int32_t influence = GrowthInfluence(*building);
            if (influence != 0)
                buildings.SpreadAdd(x, y, influence);
        }
    }
    auto weight = [this](StyleValue v) { return int64_t(int32_t(styleValues_[v])); };
    auto blend = [&](CitySiteGrid& target, const CitySiteGrid& base, int64_t baseWeight,
                     int64_t buildingWeight) {
        const int64_t sum = baseWeight + buildingWeight;
        if (sum == 0)
            return;
        for (uint32_t row = 0; row < h; ++row)
            for (uint32_t column = 0; column < w; ++column) {
                const int64_t v = int64_t(buildings.GetCell(column, row)) * buildingWeight +
                                  int64_t(base.GetCell(column, row)) * baseWeight;
                target.SetCell(column, row, int8_t(uint8_t(v / sum)));
            }
    };
    blend(grids_[kGridShape], grids_[kGridShapeBase],
          weight(kShapeTerrain) + weight(kShapeRoad) + weight(kShapeCenter), weight(kShapeBuilding));
    blend(grids_[kGridDistribution], grids_[kGridDistributionBase],
          weight(kDistributionTerrain) + weight(kDistributionRoad) + weight(kDistributionCenter),
          weight(kDistributionBuilding));
    gridState_ = 10;
}

int32_t City::InitPlan(bool repair) {
    if (repair && plan_.Validate(true) == 1)
        return 1;
    plan_.Clear();
    const int32_t result = CityPlanner(*this).PlanAll();
    growthState_ = kGrowUpgradeHouse;
    return result;
}

void City::RefreshGridsAt(int64_t t) {
    if (t > lastGridTime_ + kGridPeriod) {
        ApplyBuildingInfluence();
        lastGridTime_ = t;
    }
}

int32_t City::RunState(bool force) {
    const uint32_t delay = GetGrowthDelay();
    auto grew = [&](uint32_t part) {
        if (!force)
            growthTime_ += int64_t(part);
        growthState_ = kGrowSpecialBuilding;
        return 1;
    };
    switch (growthState_) {
    case kGrowPlanBlock:
        if (CityPlanner(*this).PlanBlocks(false) == 1)
            growthState_ = kGrowSpecialBuilding;
        return 0;
    case kGrowSpecialBuilding:
        TryBuildSpecialBuilding();
        growthState_ = kGrowUpgradeHouse;
        return 0;
    case kGrowCheckPlan:
        growthState_ = plan_.Validate(true) == 1 ? kGrowUpgradeHouse : kGrowPlanBlock;
        return 0;
    case kGrowUpgradeHouse:
        if (UpgradeHouses())
            return grew(delay);
        growthState_ = kGrowBuildHouse;
        return 0;
    case kGrowBuildHouse:
        if (BuildHouse())
            return grew(delay);
        growthState_ = kGrowBuildRoad;
        return 0;
    case kGrowUpgradeRoad:
        if (UpgradeRoad())
            return grew(delay);
        growthState_ = kGrowBuildRoad;
        return 0;
    case kGrowBuildRoad: {
        const int32_t built = BuildRoad();
        if (built != 0)
            return grew(built == 2 ? delay / 15 : delay);
        growthState_ = kGrowSpecialBuilding;
        return 0;
    }
    default:
        return 0;
    }
}

int32_t City::RunStatePregrowing() {
    CityTable& table = Table();
    const uint32_t state = growthState_;
    const bool cycling = state == kGrowSpecialBuilding || state == kGrowUpgradeHouse ||
                         state == kGrowBuildHouse || state == kGrowBuildRoad;
    if (cycling && quietActions_ >= 4 && quietSince_ == table.changes) {
        switch (state) {
        case kGrowSpecialBuilding:
            growthState_ = kGrowUpgradeHouse;
            break;
        case kGrowUpgradeHouse:
            CityCensus() = quietCensus_;
            growthState_ = kGrowBuildHouse;
            break;
        case kGrowBuildHouse:
            growthState_ = kGrowBuildRoad;
            break;
        default:
            growthState_ = kGrowSpecialBuilding;
            break;
        }
        return 0;
    }
    const uint32_t random = GetGameRandomSeed(), special = specialLevel_;
    const uint8_t roadDone = roadUpgradeDone_;
    const uint32_t population = population_;
    const int32_t grew = RunState(false);
    const bool quiet = cycling && grew == 0 && random == GetGameRandomSeed() && special == specialLevel_ &&
                       roadDone == roadUpgradeDone_ && population == population_;
    if (!quiet) {
        quietActions_ = 0;
        ++table.changes;
        return grew;
    }
    if (quietActions_ == 0 || quietSince_ != table.changes) {
        quietActions_ = 0;
        quietSince_ = table.changes;
    }
    ++quietActions_;
    if (state == kGrowUpgradeHouse)
        quietCensus_ = CityCensus();
    return grew;
}

int32_t City::Update(uint32_t t, bool force) {
    if (!force && growthTime_ + int64_t(GetGrowthDelay()) > int64_t(t))
        return 0;
    RefreshGridsAt(int64_t(t));
    return RunState(force);
}

CityArea City::GetBuiltArea() const {
    const WorldMap& map = GetWorldMap();
    if (map.GetWidth() == 0 || map.GetHeight() == 0)
        return {centreX_, centreY_, centreX_, centreY_};
    int32_t left = std::max(centreX_ - width_ / 2, 0), top = std::max(centreY_ - height_ / 2, 0);
    int32_t right = std::min(centreX_ - width_ / 2 + width_, int32_t(map.GetWidth()) - 1);
    int32_t bottom = std::min(centreY_ - height_ / 2 + height_, int32_t(map.GetHeight()) - 1);
    auto house = [this](int32_t x, int32_t y) {
        const LivingBuilding* h = HouseAt(x, y);
        return h && h->GetTown() == uint32_t(index_);
    };
    auto rowHas = [&](int32_t y, int32_t x0, int32_t x1) {
        for (int32_t x = x0; x <= x1; ++x)
            if (house(x, y))
                return true;
        return false;
    };
    auto columnHas = [&](int32_t x, int32_t y0, int32_t y1) {
        for (int32_t y = y0; y <= y1; ++y)
            if (house(x, y))
                return true;
        return false;
    };
    while (top <= bottom && !rowHas(top, left, right))
        ++top;
    // Without any house the area is the centre tile.
    if (top > bottom)
        return {centreX_, centreY_, centreX_, centreY_};
    while (right > left && !columnHas(right, top, bottom))
        --right;
    while (bottom > top && !rowHas(bottom, left, right))
        --bottom;
    while (left < right && !columnHas(left, top, bottom))
        ++left;
    return {left, top, right, bottom};
}

void City::Demolish() {
    WorldMap& map = GetWorldMap();
    std::vector<std::pair<uint32_t, uint32_t>> cleared;
    // The rectangle's part on the map.
    const int32_t top = std::max(centreY_ - height_ / 2, 0), left = std::max(centreX_ - width_ / 2, 0);
    const int32_t bottom = std::min<int64_t>(int64_t(centreY_) + height_ / 2, int64_t(map.GetHeight()) - 1);
    const int32_t right = std::min<int64_t>(int64_t(centreX_) + width_ / 2, int64_t(map.GetWidth()) - 1);
    for (int32_t y = top; y <= bottom; ++y) {
        for (int32_t x = left; x <= right; ++x) {
            if (!InMap(x, y))
                continue;
            const uint32_t ux = uint32_t(x), uy = uint32_t(y);
            uint32_t id = 0;
            if (HoldsBuilding(x, y, &id)) {
                MapObject* building = BuildingFromId(id);
                auto* house = dynamic_cast<LivingBuilding*>(building);
                auto* special = dynamic_cast<SpecialBuilding*>(building);
                if ((house && house->GetTown() == uint32_t(index_)) ||
                    (special && special->GetTown() == uint32_t(index_)))
                    DeleteMapObject(id);
            } else if (map.GetCellKind(ux, uy) == kCellRoute && map.HasRoad(ux, uy) &&
                       !map.HasTrack(ux, uy) && map.GetRouteByte(ux, uy) == uint32_t(index_)) {
                map.ResetCell(ux, uy);
                cleared.push_back({ux, uy});
            }
        }
    }
    // Roads that led into the town keep only the directions that still go
    // somewhere.
    for (auto [x, y] : cleared)
        for (uint32_t d = 0; d < 4; ++d)
            map.UpdateRoadConnections(x + uint32_t(kDirections[d].dx), y + uint32_t(kDirections[d].dy));
}

City* CreateCity(int32_t x, int32_t y, int32_t width, int32_t height, int32_t style) {
    CityTable& table = Table();
    int32_t slot = 1;
    while (slot <= kMaxCities && table.slots[size_t(slot)])
        ++slot;
    if (slot > kMaxCities || !InMap(x, y))
        return nullptr;
    auto city = std::make_unique<City>();
    city->centreX_ = x;
    city->centreY_ = y;
    city->growthState_ = kGrowPlanBlock;
    city->lastGridTime_ = -kGridPeriod;
    city->growthTime_ = -60000;
    city->CreateCentreFactory();
    city->speed_ = 1.0f;
    city->width_ = std::clamp(width % 2 == 0 ? width + 1 : width, 1, kMaxTownSide);
    city->height_ = std::clamp(height % 2 == 0 ? height + 1 : height, 1, kMaxTownSide);
    city->SetStyle(style);
    city->index_ = slot;
    city->SizeTileData();
    City* made = city.get();
    table.slots[size_t(slot)] = std::move(city);
    table.count = std::max(table.count, slot);
    made->LayCentreCross();
    for (int32_t i = 0; i < 1000 && made->UpgradeRoad(); ++i) {
    }
    made->ComputeBaseGrids();
    made->ApplyBuildingInfluence();
    made->growthFactorFlags_ = {};
    made->spareFlag_ = 0;
    made->factoryCounts_ = {};
    made->specialLevel_ = 0;
    made->specialInProgress_ = 0;
    return made;
}

int32_t AddCity(std::unique_ptr<City> city, int32_t index) {
    CityTable& table = Table();
    if (!city)
        return 0;
    if (index == 0) {
        index = 1;
        while (index <= kMaxCities && table.slots[size_t(index)])
            ++index;
    }
    if (index < 1 || index > kMaxCities || table.slots[size_t(index)])
        return 0;
    city->index_ = index;
    table.slots[size_t(index)] = std::move(city);
    table.count = std::max(table.count, index);
    return index;
}

City* GetCity(int32_t index) {
    if (index < 1 || index > kMaxCities)
        return nullptr;
    return Table().slots[size_t(index)].get();
}

int32_t GetCityCount() {
    return Table().count;
}

void ClearCityTable() {
    DeleteAllCities(false);
}

void DeleteCity(int32_t index) {
    if (index >= 1 && index <= kMaxCities)
        Table().slots[size_t(index)].reset();
}

void DeleteAllCities(bool removeFromMap) {
    CityTable& table = Table();
    for (auto& slot : table.slots) {
        if (slot && removeFromMap)
            slot->Demolish();
        slot.reset();
    }
    table.count = 0;
    table.cursor = 0;
}

int32_t NearestTown(int32_t x, int32_t y) {
    int32_t best = 0;
    int64_t bestDistance = INT64_MAX;
    for (int32_t i = 1; i <= GetCityCount(); ++i) {
        const City* city = GetCity(i);
        if (!city)
            continue;
        int64_t d = std::abs(int64_t(x) - city->GetCentreX()) + std::abs(int64_t(y) - city->GetCentreY());
        if (d < bestDistance) {
            bestDistance = d;
            best = i;
        }
    }
    return best;
}

int32_t FindNearestCity(int32_t x, int32_t y) {
    int32_t best = 0;
    int64_t bestDistance = 10000;
    for (int32_t i = 1; i <= kMaxCities; ++i) {
        const City* city = GetCity(i);
        if (!city)
            continue;
        int64_t d = std::abs(int64_t(x) - city->GetCentreX()) + std::abs(int64_t(y) - city->GetCentreY());
        if (d < bestDistance) {
            bestDistance = d;
            best = i;
        }
    }
    return best;
}

uint32_t GetCitySizeClass(uint32_t population) {
    const CityGrowingConfigRow* config = CityGrowingConfigTable::Find(0);
    for (uint32_t i = 0; i < 5; ++i) {
        // A missing limit is no limit: the search ends at this class.
        int32_t limit = config ? config->CityPopulationSizeLimit.IntCell(0, i + 1) : -1;
        if (limit < 0 || int64_t(population) < int64_t(limit))
            return i;
    }
    return 5;
}

void UpdateCities(uint32_t t) {
    CityTable& table = Table();
    if (table.count <= 0)
        return;
    if (table.cursor >= table.count)
        table.cursor = 0;
    if (City* city = table.slots[size_t(table.cursor + 1)].get()) {
        // A town that fell behind catches up, one growth step after another.
        while (city->growthTime_ + int64_t(city->GetGrowthDelay()) <= int64_t(t)) {
            city->RefreshGridsAt(int64_t(t));
            if (!(table.pregrowing ? city->RunStatePregrowing() : city->RunState(false)))
                break;
        }
    }
    table.cursor = (table.cursor + 1) % table.count;
}

uint32_t GetCityCursor() {
    return uint32_t(Table().cursor);
}

bool SetCityCursor(uint32_t cursor) {
    if (cursor >= uint32_t(kMaxCities))
        return false;
    Table().cursor = int32_t(cursor);
    return true;
}

void PregrowCities() {
    SetMapGeneratorFlag(false);
    const GameClock* clock = GetGameClock();
    const uint32_t year = clock ? clock->GetCurrentYear() : kFirstYear;
    const uint32_t years = year > kFirstYear ? year - kFirstYear : 0;
    CityTable& table = Table();
    table.pregrowing = true;
    for (int32_t i = 1; i <= GetCityCount(); ++i)
        if (City* city = GetCity(i))
            city->quietActions_ = 0;
    for (uint32_t done = 0; done < years; ++done) {
        const uint64_t ticks = clock ? clock->GetTicks() : 0;
        const uint32_t t0 =
            uint32_t(std::min<uint64_t>(ticks * 100, UINT32_MAX - 100 * kPregrowCallsPerYear));
        for (uint32_t k = 0; k < kPregrowCallsPerYear; ++k)
            UpdateCities(t0 + 100 * k);
    }
    table.pregrowing = false;
    SetMapGeneratorFlag(true);
    if (years > 0)
        ResetCityTimers();
}

void ResetCityTimers() {
    const int64_t now = int64_t(CurrentGameTimeMs());
    for (int32_t i = 1; i <= GetCityCount(); ++i)
        if (City* city = GetCity(i)) {
            city->SetGrowthTime(now);
            city->SetLastGridTime(now);
        }
}

void ClearCityServiceFlags() {
    for (int32_t i = 1; i <= GetCityCount(); ++i)
        if (City* city = GetCity(i))
            std::fill(city->ServiceFlags(), city->ServiceFlags() + 19, uint8_t(0));
}
