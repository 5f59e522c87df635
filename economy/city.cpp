#include "economy/city.h"

#include "data/generated/terrain_tables.h"
#include "data/generated/town_tables.h"
#include "economy/factory.h"
#include "world/game_clock.h"
#include "world/living_building.h"
#include "world/object_manager.h"
#include "world/special_building.h"
#include "world/world_map.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

namespace {

// A growth step without a CitySizeBaseUpdateDelay entry waits this long.
constexpr uint32_t kDefaultGrowthDelay = 30000;
constexpr uint32_t kMinGrowthDelay = 1000;
constexpr int32_t kMaxTownSide = 255;

// The current world's towns; its world deletes them while the tile map
// that their factories touch is still whole.
struct CityTable final : WorldAttachment {
    std::array<std::unique_ptr<City>, kMaxCities + 1> slots;
    int32_t count = 0;
    int32_t cursor = 0;
};

CityTable& Table() {
    return CurrentWorld().Attached<CityTable>();
}

int32_t Mod(int32_t a, int32_t m) {
    int32_t r = a % m;
    return r < 0 ? r + m : r;
}

int32_t HousePopulation(const LivingBuilding& house) {
    int32_t p = house.GetHousePopulation();
    return p > 0 ? p : 0;
}

// A tile and its rank among the candidates of one kind: nearer the centre
// first, then the first in row-major order.
struct Candidate {
    int32_t x = 0, y = 0;
    int64_t rank = INT64_MAX;
    bool Found() const { return rank != INT64_MAX; }
};

} // namespace

City::City() = default;

City::~City() {
    if (centreFactory_ != 0 && MapObjectFromId(centreFactory_))
        DeleteMapObject(centreFactory_);
}

bool City::Contains(int32_t x, int32_t y) const {
    return centreX_ - width_ / 2 < x && x < centreX_ + width_ / 2 && centreY_ - height_ / 2 < y &&
           y < centreY_ + height_ / 2;
}

void City::SetName(const std::string& name) {
    name_ = name.substr(0, kMaxCityNameChars);
}

void City::SetStyle(int32_t style) {
    style_ = style;
    styleValues_ = {};
    speed_ = 1.0f;
    const CityStyleRow* row = CityStyleTable::Find(style);
    if (!row)
        return;
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
    styleValues_[13] = bits;
    if (std::isfinite(row->BaseSpeed) && row->BaseSpeed > 0.0f)
        speed_ = row->BaseSpeed;
}

uint32_t City::GetGrowthDelay() const {
    const CityGrowingConfigRow* config = CityGrowingConfigTable::Find(0);
    int32_t base = config ? config->CitySizeBaseUpdateDelay.IntCell(0, sizeClass_) : -1;
    if (base <= 0)
        base = int32_t(kDefaultGrowthDelay);
    float delay = float(base) * speed_;
    if (!(delay >= float(kMinGrowthDelay)))
        return kMinGrowthDelay;
    if (delay > 1.0e9f)
        return 1000000000u;
    return uint32_t(delay);
}

MapObject* City::LinkedObject() const {
    return centreFactory_ ? MapObjectFromId(centreFactory_) : nullptr;
}

bool City::IsTownRoad(int32_t x, int32_t y) const {
    const WorldMap& map = GetWorldMap();
    if (x < 0 || y < 0 || !map.InMap(uint32_t(x), uint32_t(y)))
        return false;
    return map.HasRoad(uint32_t(x), uint32_t(y)) &&
           map.GetRouteByte(uint32_t(x), uint32_t(y)) == uint32_t(index_);
}

void City::PlaceRoad(int32_t x, int32_t y, uint32_t directions) {
    WorldMap& map = GetWorldMap();
    map.PlaceTownRoad(uint32_t(x), uint32_t(y), directions);
    map.SetRouteByte(uint32_t(x), uint32_t(y), uint32_t(index_));
}

// Whether a town road may be laid on a tile: routes allowed, nothing built
// and no route there yet, on ground that could take houses (towns do not
// pave rock where no house will ever stand).
bool City::LaysRoad(int32_t x, int32_t y) const {
    const WorldMap& map = GetWorldMap();
    if (x < 0 || y < 0 || !map.InMap(uint32_t(x), uint32_t(y)))
        return false;
    const TerrainRow* terrain = map.TerrainAt(uint32_t(x), uint32_t(y));
    return terrain && terrain->CanBuildBuilding && map.GetCellKind(uint32_t(x), uint32_t(y)) != kCellRoute &&
           map.CanBuildRouteAt(uint32_t(x), uint32_t(y));
}

void City::LayCentreCross() {
    WorldMap& map = GetWorldMap();
    PlaceRoad(centreX_, centreY_, 15);
    struct Arm {
        int32_t dx, dy;
        uint32_t directions;
    };
    const Arm arms[4] = {{-1, 0, 10}, {1, 0, 10}, {0, -1, 5}, {0, 1, 5}};
    for (const Arm& arm : arms)
        if (LaysRoad(centreX_ + arm.dx, centreY_ + arm.dy))
            PlaceRoad(centreX_ + arm.dx, centreY_ + arm.dy, arm.directions);
    map.UpdateRoadConnections(uint32_t(centreX_), uint32_t(centreY_));
    for (const Arm& arm : arms)
        if (IsTownRoad(centreX_ + arm.dx, centreY_ + arm.dy))
            map.UpdateRoadConnections(uint32_t(centreX_ + arm.dx), uint32_t(centreY_ + arm.dy));
}

template <typename Visit>
void City::ForEachHouseTile(Visit visit) const {
    const WorldMap& map = GetWorldMap();
    for (int32_t y = centreY_ - height_ / 2 + 1; y < centreY_ + height_ / 2; ++y) {
        for (int32_t x = centreX_ - width_ / 2 + 1; x < centreX_ + width_ / 2; ++x) {
            if (x < 0 || y < 0 || map.GetCellKind(uint32_t(x), uint32_t(y)) != kCellFootprint)
                continue;
            auto* house =
                dynamic_cast<LivingBuilding*>(BuildingFromId(map.GetBuildingAt(uint32_t(x), uint32_t(y))));
            if (house && house->GetTown() == uint32_t(index_))
                visit(*house, x, y);
        }
    }
}

void City::TakeCensus() {
    houses_ = levelSum_ = population_ = 0;
    ForEachHouseTile([this](LivingBuilding& house, int32_t x, int32_t y) {
        if (house.GetX() != x || house.GetY() != y)
            return; // counted once, at its own tile
        ++houses_;
        levelSum_ += house.GetLevel();
        population_ += uint32_t(HousePopulation(house));
    });
    sizeClass_ = uint8_t(GetCitySizeClass(population_));
}

// A free lot off the streets beside one of the town's roads.
bool City::BuildHouse() {
    WorldMap& map = GetWorldMap();
    Candidate best;
    for (int32_t y = centreY_ - height_ / 2 + 1; y < centreY_ + height_ / 2; ++y) {
        for (int32_t x = centreX_ - width_ / 2 + 1; x < centreX_ + width_ / 2; ++x) {
            int64_t rank = int64_t(std::abs(x - centreX_) + std::abs(y - centreY_));
            if (rank >= best.rank || x < 0 || y < 0)
                continue;
            if (Mod(x - centreX_, kStreetSpacing) == 0 || Mod(y - centreY_, kStreetSpacing) == 0)
                continue;
            if (!IsTownRoad(x - 1, y) && !IsTownRoad(x + 1, y) && !IsTownRoad(x, y - 1) &&
                !IsTownRoad(x, y + 1))
                continue;
            // The same test as the footprint placement below.
            if (!map.IsAreaBuildable(uint32_t(x), uint32_t(y), 1, 1, 0))
                continue;
            best = {x, y, rank};
        }
    }
    if (!best.Found())
        return false;
    auto* house = dynamic_cast<LivingBuilding*>(CreateMapObject(kCategoryBuilding, LivingBuilding::kSubtype));
    if (!house)
        return false;
    int32_t houseStyle = LivingBuildingTable::Find(style_) ? style_ : 0;
    house->Init(uint8_t(index_), uint8_t(houseStyle), 1, 0);
    if (!house->Place(best.x, best.y, LivingBuilding::kSubtype, 1, 1, 0)) {
        DeleteMapObject(house->GetId());
        return false;
    }
    ++houses_;
    ++levelSum_;
    population_ += uint32_t(HousePopulation(*house));
    return true;
}

// The lowest house nearest the centre goes up a level.
bool City::UpgradeHouse() {
    LivingBuilding* best = nullptr;
    int64_t bestRank = INT64_MAX;
    ForEachHouseTile([&](LivingBuilding& house, int32_t x, int32_t y) {
        if (house.GetLevel() >= kMaxHouseLevel)
            return;
        int64_t rank = int64_t(house.GetLevel()) * 100000 + std::abs(x - centreX_) + std::abs(y - centreY_);
        if (rank < bestRank) {
            bestRank = rank;
            best = &house;
        }
    });
    if (!best)
        return false;
    int32_t before = HousePopulation(*best);
    best->SetLevel(uint8_t(best->GetLevel() + 1));
    ++levelSum_;
    population_ += uint32_t(HousePopulation(*best) - before);
    return true;
}

// The street grid grows by one tile next to the town's roads.
bool City::BuildRoad() {
    Candidate best;
    for (int32_t y = centreY_ - height_ / 2 + 1; y < centreY_ + height_ / 2; ++y) {
        for (int32_t x = centreX_ - width_ / 2 + 1; x < centreX_ + width_ / 2; ++x) {
            int64_t rank = int64_t(std::abs(x - centreX_) + std::abs(y - centreY_));
            if (rank >= best.rank)
                continue;
            bool column = Mod(x - centreX_, kStreetSpacing) == 0,
                 row = Mod(y - centreY_, kStreetSpacing) == 0;
            if (!column && !row)
                continue;
            bool joins = (column && (IsTownRoad(x, y - 1) || IsTownRoad(x, y + 1))) ||
                         (row && (IsTownRoad(x - 1, y) || IsTownRoad(x + 1, y)));
            if (!joins || !LaysRoad(x, y))
                continue;
            best = {x, y, rank};
        }
    }
    if (!best.Found())
        return false;
    PlaceRoad(best.x, best.y, 15);
    GetWorldMap().UpdateRoadConnections(uint32_t(best.x), uint32_t(best.y));
    return true;
}

int32_t City::Update(uint32_t t, bool force) {
    if (!force && growthTime_ + int64_t(GetGrowthDelay()) > int64_t(t))
        return 0;
    TakeCensus();
    // Two of three steps raise a house while one can be raised, so a town
    // fills its lots with grown houses rather than with cottages.
    bool grew = levelSum_ % 3 != 0 && UpgradeHouse();
    grew = grew || BuildHouse() || BuildRoad() || UpgradeHouse();
    sizeClass_ = uint8_t(GetCitySizeClass(population_));
    if (!force)
        growthTime_ = int64_t(t);
    return grew ? 1 : 0;
}

void City::Remove() {
    WorldMap& map = GetWorldMap();
    std::vector<std::pair<uint32_t, uint32_t>> cleared;
    for (int32_t y = centreY_ - height_ / 2; y <= centreY_ + height_ / 2; ++y) {
        for (int32_t x = centreX_ - width_ / 2; x <= centreX_ + width_ / 2; ++x) {
            if (x < 0 || y < 0 || !map.InMap(uint32_t(x), uint32_t(y)))
                continue;
            uint32_t ux = uint32_t(x), uy = uint32_t(y);
            if (map.GetCellKind(ux, uy) == kCellFootprint) {
                MapObject* building = BuildingFromId(map.GetBuildingAt(ux, uy));
                auto* house = dynamic_cast<LivingBuilding*>(building);
                auto* special = dynamic_cast<SpecialBuilding*>(building);
                if ((house && house->GetTown() == uint32_t(index_)) ||
                    (special && special->GetTown() == uint32_t(index_)))
                    DeleteMapObject(building->GetId());
            } else if (map.GetCellKind(ux, uy) == kCellRoute && map.GetTrackDirections(ux, uy) == 0 &&
                       map.GetRouteByte(ux, uy) == uint32_t(index_)) {
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
    const WorldMap& map = GetWorldMap();
    if (slot > kMaxCities || x < 0 || y < 0 || !map.InMap(uint32_t(x), uint32_t(y)))
        return nullptr;
    auto city = std::make_unique<City>();
    city->centreX_ = x;
    city->centreY_ = y;
    city->width_ = std::clamp(width | 1, 1, kMaxTownSide);
    city->height_ = std::clamp(height | 1, 1, kMaxTownSide);
    city->lastGridTime_ = -600000;
    city->growthTime_ = -60000;
    city->index_ = slot;
    city->SetStyle(style);
    if (auto* factory = dynamic_cast<Factory*>(CreateMapObject(kCategoryBuilding, kFactorySubtype))) {
        factory->SetTypeIndex(kTownCentreFactoryType);
        factory->SetOwner(kNeutralOwner);
        factory->SetPosition(x, y);
        factory->SetExtent(1, 1);
        city->centreFactory_ = factory->GetId();
    }
    City* made = city.get();
    table.slots[size_t(slot)] = std::move(city);
    table.count = std::max(table.count, slot);
    made->LayCentreCross();
    made->TakeCensus();
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
            slot->Remove();
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

uint32_t GetCitySizeClass(uint32_t population) {
    const CityGrowingConfigRow* config = CityGrowingConfigTable::Find(0);
    for (uint32_t i = 0; i < 5; ++i) {
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
    if (City* city = table.slots[size_t(table.cursor + 1)].get())
        city->Update(t, false);
    table.cursor = (table.cursor + 1) % table.count;
}

void PregrowCities() {
    SetMapGeneratorFlag(false);
    const GameClock* clock = GetGameClock();
    uint32_t year = clock ? clock->GetCurrentYear() : kFirstYear;
    uint32_t years = year > kFirstYear ? std::min(year - kFirstYear, kMaxPregrowYears) : 0;
    for (uint32_t done = 0; done < years; ++done)
        for (int32_t i = 1; i <= GetCityCount(); ++i)
            if (City* city = GetCity(i))
                for (uint32_t k = 0; k < kPregrowStepsPerYear && city->Update(0, true); ++k) {
                }
    SetMapGeneratorFlag(true);
    if (years > 0)
        ResetCityTimers();
}

void ResetCityTimers() {
    int64_t now = int64_t(CurrentGameTimeMs());
    for (int32_t i = 1; i <= GetCityCount(); ++i)
        if (City* city = GetCity(i))
            city->SetGrowthTime(now);
}
