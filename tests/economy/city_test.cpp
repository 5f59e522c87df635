// Towns: founding, the town table, growth by the plan to the size limits,
// the growth delay, removal from the map, the nearest-town and size-class lookups, and the towns' section
// of a saved game.
#include "data/generated/vehicle_tables.h"
#include "economy/private_car_spawn.h"
#include "files/chunk_stream.h"
#include "files/memory_stream.h"
#include "gameloop/mission_goals.h"
#include "platform/endian.h"
#include "tests/economy/town_fixture.h"
#include "tests/world/economy_fixture.h"
#include "vehicles/private_car.h"
#include "world/living_building.h"
#include "world/static_object_services.h"
#include "world/world_map.h"
#include "world/world_warnings.h"

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <initializer_list>
#include <set>

namespace {

using CityTest = TownTest;

uint32_t RoadsOfTown(int32_t index) {
    uint32_t n = 0;
    for (uint32_t y = 0; y < GetWorldMap().GetHeight(); ++y)
        for (uint32_t x = 0; x < GetWorldMap().GetWidth(); ++x)
            n += GetWorldMap().HasRoad(x, y) && GetWorldMap().GetRouteByte(x, y) == uint32_t(index) ? 1 : 0;
    return n;
}

std::vector<LivingBuilding*> Houses() {
    std::vector<MapObject*> objects;
    GetMapObjects(objects, kSelectCategory | kSelectSubtype, kCategoryBuilding, LivingBuilding::kSubtype, 0);
    std::vector<LivingBuilding*> houses;
    for (MapObject* object : objects)
        houses.push_back(dynamic_cast<LivingBuilding*>(object));
    return houses;
}

TEST_F(CityTest, ANewTownHasItsCentreCrossAndItsOwnFactory) {
    City* city = CreateCity(20, 30, 6, 8, 0);
    ASSERT_NE(city, nullptr);
    EXPECT_EQ(city->GetIndex(), 1);
    EXPECT_EQ(GetCity(1), city);
    EXPECT_EQ(GetCity(0), nullptr);
    // Even sides are raised to odd ones, so the centre is the middle.
    EXPECT_EQ(city->GetWidth(), 7);
    EXPECT_EQ(city->GetHeight(), 9);
    EXPECT_EQ(Map().GetRoadDirections(20, 30), 15u);
    // The arms' connections are recomputed: each leads to the centre.
    EXPECT_EQ(Map().GetRoadDirections(19, 30), 2u);
    EXPECT_EQ(Map().GetRoadDirections(20, 31), 1u);
    EXPECT_EQ(RoadsOfTown(1), 5u);

    auto* factory = dynamic_cast<Factory*>(BuildingFromId(city->GetCentreFactoryId()));
    ASSERT_NE(factory, nullptr);
    EXPECT_EQ(factory->GetTypeIndex(), kTownCentreFactoryType);
    EXPECT_EQ(factory->GetFactoryTyp(), kTownCentreFactoryKind);
    EXPECT_EQ(factory->GetOwner(), kNeutralOwner);
    EXPECT_EQ(factory->GetX(), 20);
    // The town's houses take their highlight from it.
    EXPECT_EQ(StaticServices().townLinkedObject(1), factory);
}

TEST_F(CityTest, ATownOnTheMapEdgeLaysOnlyTheArmsInsideIt) {
    City* city = CreateCity(0, 10, 5, 5, 0);
    ASSERT_NE(city, nullptr);
    EXPECT_EQ(RoadsOfTown(city->GetIndex()), 4u);
    EXPECT_EQ(CreateCity(64, 10, 5, 5, 0), nullptr);
}

TEST_F(CityTest, SlotsOfDeletedTownsAreReusedAndTheCountStays) {
    for (int32_t i = 0; i < 5; ++i)
        ASSERT_NE(CreateCity(5 + 10 * i, 5, 3, 3, 0), nullptr);
    uint32_t factoryOf3 = GetCity(3)->GetCentreFactoryId();
    DeleteCity(3);
    EXPECT_EQ(GetCityCount(), 5);
    EXPECT_EQ(GetCity(3), nullptr);
    EXPECT_EQ(MapObjectFromId(factoryOf3), nullptr);
    City* next = CreateCity(5, 40, 3, 3, 0);
    ASSERT_NE(next, nullptr);
    EXPECT_EQ(next->GetIndex(), 3);

    ClearCityTable();
    EXPECT_EQ(GetCityCount(), 0);
}

TEST_F(CityTest, TheTableHoldsAHundredTowns) {
    for (int32_t i = 0; i < kMaxCities; ++i)
        ASSERT_NE(CreateCity(i % 60, i / 60 * 30, 1, 1, 0), nullptr) << i;
    EXPECT_EQ(CreateCity(40, 40, 1, 1, 0), nullptr);
    EXPECT_EQ(GetCityCount(), kMaxCities);
}

TEST_F(CityTest, TownsGrowByTheirPlanToEverySizeLimit) {
    City* city = Found(32, 32, 31, 31);
    ASSERT_NE(city, nullptr);
    ASSERT_TRUE(city->GetPlan().IsPlanned());
    EXPECT_EQ(city->GetGrowthState(), uint32_t(kGrowUpgradeHouse));
    uint32_t lots = 0;
    for (int32_t y = 17; y <= 47; ++y)
        for (int32_t x = 17; x <= 47; ++x)
            lots += city->GetPlan().GetValue(x, y) == kPlanLot ? 1 : 0;
    ASSERT_GT(lots, 100u) << "the planner lays blocks around the centre cross";
    for (uint32_t limit : {50u, 200u, 400u}) {
        Grow(*city, limit);
        ASSERT_GE(city->GetPopulation(), limit);
        EXPECT_EQ(city->GetSizeClass(), GetCitySizeClass(city->GetPopulation()));
    }
    // Every house stands on a planned lot beside a road of the town, every
    // road the town built on a planned street.
    uint32_t people = 0;
    for (LivingBuilding* house : Houses()) {
        const int32_t x = house->GetX(), y = house->GetY();
        ASSERT_TRUE(city->Contains(x, y));
        EXPECT_EQ(city->GetPlan().GetValue(x, y), kPlanLot) << x << "," << y;
        EXPECT_GE(house->GetLevel(), 1u);
        EXPECT_LE(house->GetLevel(), 4u);
        people += uint32_t(house->GetHousePopulation());
    }
    for (uint32_t y = 17; y <= 47; ++y)
        for (uint32_t x = 17; x <= 47; ++x)
            if (Map().HasRoad(x, y) && std::abs(int32_t(x) - 32) + std::abs(int32_t(y) - 32) > 1) {
                EXPECT_EQ(city->GetPlan().GetValue(int32_t(x), int32_t(y)), kPlanRoad) << x << "," << y;
            }
    // The population is the census of the houses.
    EXPECT_EQ(city->GetPopulation(), people);
    city->TakeCensus();
    EXPECT_EQ(city->GetPopulation(), people);
    EXPECT_EQ(CityCensus()[0], city->GetHouseCount());
    // Houses were raised: the targets ask for a share of higher levels.
    EXPECT_GT(CityCensus()[2] + CityCensus()[3], 0u);
}

TEST_F(CityTest, DemolishingATownTakesItsHousesAndRoadsOnly) {
    City* other = Found(5, 5, 3, 3);
    City* city = Found(32, 32, 15, 15);
    Grow(*city, 150);
    ASSERT_GT(Houses().size(), 5u);
    const int32_t index = city->GetIndex();
    city->Demolish();
    DeleteCity(index);
    EXPECT_TRUE(Houses().empty());
    EXPECT_EQ(RoadsOfTown(index), 0u);
    EXPECT_EQ(RoadsOfTown(other->GetIndex()), 5u);
    for (uint32_t y = 20; y < 45; ++y)
        for (uint32_t x = 20; x < 45; ++x)
            EXPECT_EQ(Map().GetCellKind(x, y), uint32_t(kCellPlain)) << x << "," << y;
}

TEST_F(CityTest, ATownWithoutRoomStopsGrowing) {
    SetMap(64, 64, kWater);
    for (uint32_t y = 30; y < 33; ++y)
        for (uint32_t x = 30; x < 33; ++x)
            Map().CellAt(x, y)->SetTerrainIndex(kLand);
    City* city = Found(31, 31, 31, 31);
    ASSERT_NE(city, nullptr);
    // Every lot touches the water, so no house may stand there.
    EXPECT_EQ(Grow(*city, 1000), 0u);
    EXPECT_EQ(city->GetPopulation(), 0u);
}

TEST_F(CityTest, GrowthStepsArePaidForWithTheGrowthDelay) {
    City* city = Found(32, 32, 15, 15);
    const uint32_t delay = city->GetGrowthDelay();
    ASSERT_EQ(delay, 1000u);
    // A fresh town is due at once; each growth step adds one delay.
    const uint32_t t = 100000;
    int32_t steps = 0;
    for (int i = 0; i < 20 && steps == 0; ++i)
        steps += city->Update(t, false);
    ASSERT_EQ(steps, 1);
    EXPECT_EQ(city->GetGrowthTime(), -60000 + int64_t(delay));
    // Not yet due: nothing happens, whatever the state.
    EXPECT_EQ(city->Update(uint32_t(city->GetGrowthTime() + delay - 1), false), 0);
    // The loop's update makes at most one growth step per call for a town
    // that fell behind, then the special-building check ends the call.
    const int64_t before = city->GetGrowthTime();
    for (int i = 0; i < 6; ++i)
        UpdateCities(t);
    EXPECT_GT(city->GetGrowthTime(), before);
    EXPECT_LE(city->GetGrowthTime(), before + 6 * int64_t(delay));
}

TEST_F(CityTest, TheGrowthDelayFollowsItsFactorsAndSaturates) {
    City* city = Found(32, 32, 15, 15);
    EXPECT_EQ(city->GetGrowthDelay(), 1000u);
    SpecialBuildingTownTable::Clear();
    SpecialBuildingTownTable::GetOrCreateRow(0)->CityGrowingInfluence = 50;
    city->SpecialBuildingCounts()[0] = 3; // each type counts once
    EXPECT_EQ(city->GetGrowthDelay(), 1500u);
    SpecialBuildingTownTable::GetOrCreateRow(0)->CityGrowingInfluence = -500;
    EXPECT_EQ(city->GetGrowthDelay(), 300u); // the factor is at least 30
    // A base delay beyond the signed range, or none at all, saturates.
    CityGrowingConfigTable::GetOrCreateRow(0)->CitySizeBaseUpdateDelay.SetCell(0, 0, 2.0e9f);
    SpecialBuildingTownTable::GetOrCreateRow(0)->CityGrowingInfluence = 50;
    EXPECT_EQ(city->GetGrowthDelay(), UINT32_MAX);
    CityGrowingConfigTable::GetOrCreateRow(0)->CitySizeBaseUpdateDelay.Resize(1, 0);
    EXPECT_EQ(city->GetGrowthDelay(), UINT32_MAX);
    SpecialBuildingTownTable::Clear();
}

TEST_F(CityTest, ZeroWeightsLeaveTheGridsEmptyInsteadOfDividingByZero) {
    CityStyleRow* style = CityStyleTable::GetOrCreateRow(0);
    style->Shape_TerrainInfluence = style->Shape_BuildingInfluence = style->Shape_CenterInfluence =
        style->Shape_RoadInfluence = 0;
    City* city = Found(32, 32, 15, 15);
    ASSERT_NE(city, nullptr);
    for (uint32_t row = 0; row < 15; ++row)
        for (uint32_t column = 0; column < 15; ++column)
            EXPECT_EQ(city->GetShapeBaseGrid().GetCell(column, row), 0);
    Grow(*city, 100);
}

TEST_F(CityTest, BuiltAreaAndNearestCity) {
    City* city = Found(32, 32, 21, 21);
    // Without houses the area is the centre tile.
    CityArea none = city->GetBuiltArea();
    EXPECT_EQ(none.left, 32);
    EXPECT_EQ(none.bottom, 32);
    Grow(*city, 100);
    CityArea area = city->GetBuiltArea();
    for (LivingBuilding* house : Houses()) {
        EXPECT_GE(house->GetX(), area.left);
        EXPECT_LE(house->GetX(), area.right);
        EXPECT_GE(house->GetY(), area.top);
        EXPECT_LE(house->GetY(), area.bottom);
    }
    EXPECT_EQ(FindNearestCity(0, 0), city->GetIndex());
    EXPECT_EQ(FindNearestCity(-20000, 0), 0);
}

TEST_F(CityTest, NearestTownIsByManhattanDistanceAndTheLowerIndexOfEquals) {
    EXPECT_EQ(NearestTown(10, 10), 0);
    CreateCity(10, 10, 3, 3, 0);
    CreateCity(20, 10, 3, 3, 0);
    CreateCity(15, 20, 3, 3, 0);
    struct Case {
        int32_t x, y, town;
    } cases[] = {{15, 10, 1}, {16, 10, 2}, {15, 16, 3}, {-50, -50, 1}, {12, 14, 1}};
    for (const Case& c : cases)
        EXPECT_EQ(NearestTown(c.x, c.y), c.town) << c.x << "," << c.y;
}

TEST_F(CityTest, SizeClassesFollowTheLimits) {
    struct Case {
        uint32_t population, sizeClass;
    } cases[] = {{0, 0}, {49, 0}, {50, 1}, {399, 2}, {400, 3}, {4999, 4}, {5000, 5}, {4000000000u, 5}};
    for (const Case& c : cases)
        EXPECT_EQ(GetCitySizeClass(c.population), c.sizeClass) << c.population;
    // A missing limit ends the search at its class.
    CityGrowingConfigTable::GetOrCreateRow(0)->CityPopulationSizeLimit.Resize(1, 3);
    CityGrowingConfigTable::GetOrCreateRow(0)->CityPopulationSizeLimit.SetCell(0, 1, 50);
    CityGrowingConfigTable::GetOrCreateRow(0)->CityPopulationSizeLimit.SetCell(0, 2, 200);
    EXPECT_EQ(GetCitySizeClass(100000), 2u);
}

// The towns' section through a stream of its own.
std::vector<uint8_t> SaveSection() {
    return economy_fixture::StoreSection([] { EXPECT_TRUE(SaveCities()); }, ChunkTag("city"));
}

bool LoadSection(const std::vector<uint8_t>& bytes) {
    std::string text;
    uint32_t version = 0;
    if (!BeginSaveStream(OpenMemoryReadStream(std::span(bytes)), text, version))
        return false;
    uint32_t tag = 0;
    BeginChunk(tag);
    bool ok = LoadCities();
    EndChunk();
    CloseStream();
    return ok;
}

std::vector<uint8_t> CraftedSection(const std::function<void()>& body) {
    return economy_fixture::StoreSection(body, ChunkTag("city"));
}

void Words(std::initializer_list<uint32_t> words) {
    for (uint32_t w : words) {
        uint8_t b[4];
        plat::StoreLE32(b, w);
        TransferInChunk(b, 4);
    }
}

TEST_F(CityTest, TownsReloadAtTheirIndexes) {
    for (int32_t i = 0; i < 5; ++i)
        CreateCity(6 + 12 * i, 20, 11, 11, 0);
    for (int32_t i : {1, 3, 4})
        DeleteCity(i);
    GetCity(2)->SetName("Ormsby Vale");
    GetCity(5)->InitPlan(false);
    Grow(*GetCity(5), 60);
    const uint32_t population = GetCity(5)->GetPopulation();
    const uint32_t factory = GetCity(5)->GetCentreFactoryId();
    std::vector<uint8_t> saved = SaveSection();

    // The load replaces the towns in the table; the factories stay.
    CreateCity(40, 50, 3, 3, 0);
    ASSERT_TRUE(LoadSection(saved));
    EXPECT_EQ(GetCityCount(), 5);
    for (int32_t i : {1, 3, 4})
        EXPECT_EQ(GetCity(i), nullptr);
    ASSERT_NE(GetCity(2), nullptr);
    ASSERT_NE(GetCity(5), nullptr);
    EXPECT_EQ(GetCity(2)->GetName(), "Ormsby Vale");
    EXPECT_EQ(GetCity(5)->GetCentreX(), 54);
    EXPECT_EQ(GetCity(5)->GetPopulation(), population);
    EXPECT_EQ(GetCity(5)->GetCentreFactoryId(), factory);
    EXPECT_EQ(SaveSection(), saved);
}

TEST_F(CityTest, DamagedTownSectionsAreRefused) {
    struct Case {
        const char* what;
        std::function<void()> body;
        bool loads;
    } cases[] = {
        {"empty: a save from before towns", [] {}, true},
        {"no towns",
         [] {
             Words({0, 0, 0, 0, 0, 0, 0, 4});
         },
         true},
        {"count beyond the table",
         [] {
             Words({0, 0, 0, 0, 0, 101, 0, 4});
         },
         false},
        {"index 0",
         [] {
             Words({0, 0, 0, 0, 0, 1, 1, 4, 0});
         },
         false},
        {"index 101",
         [] {
             Words({0, 0, 0, 0, 0, 1, 1, 4, 101});
         },
         false},
        {"repeated index",
         [] {
             Words({0, 0, 0, 0, 0, 2, 2, 4, 3, 3});
         },
         false},
        {"count and list differ",
         [] {
             Words({0, 0, 0, 0, 0, 2, 1, 4, 3});
         },
         false},
        {"cut short",
         [] {
             Words({0, 0, 0});
         },
         false},
    };
    for (const Case& c : cases) {
        CreateCity(10, 10, 3, 3, 0);
        EXPECT_EQ(LoadSection(CraftedSection(c.body)), c.loads) << c.what;
        DeleteAllCities();
    }
}

TEST_F(CityTest, ATownRecordThatDoesNotHoldTogetherIsRefused) {
    CreateCity(10, 10, 5, 5, 0);
    const std::vector<uint8_t> saved = SaveSection();
    const uint8_t tag[4] = {'1', 't', 'i', 'c'};
    auto at = std::search(saved.begin(), saved.end(), tag, tag + 4);
    ASSERT_NE(at, saved.end());
    // Offsets in the 568-byte block: centre x 0, centre y 4, width 8.
    const size_t block = size_t(at - saved.begin()) + 8 + 4;
    ASSERT_EQ(plat::LoadLE32(saved.data() + block + 8), 5u);
    const uint32_t mapWidth = GetWorldMap().GetWidth(), mapHeight = GetWorldMap().GetHeight();
    struct Case {
        const char* what;
        size_t offset;
        uint32_t value;
        bool loads;
    } cases[] = {
        {"an even width", 8, 6, false},
        {"the centre on the last column", 0, mapWidth - 1, true},
        {"the centre one past the last column", 0, mapWidth, false},
        {"the centre one past the last row", 4, mapHeight, false},
        {"the centre near 2^31", 0, 0x7FFFFFF0, false},
        {"a negative centre", 4, 0xFFFFFFFF, false},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> damaged = saved;
        plat::StoreLE32(damaged.data() + block + c.offset, c.value);
        EXPECT_EQ(LoadSection(damaged), c.loads) << c.what;
        DeleteAllCities();
    }
}

// Finds a tag's chunk in a saved section; the offset of its payload.
size_t PayloadOf(const std::vector<uint8_t>& bytes, const char* tag, size_t from = 0) {
    const uint8_t stored[4] = {uint8_t(tag[3]), uint8_t(tag[2]), uint8_t(tag[1]), uint8_t(tag[0])};
    auto at = std::search(bytes.begin() + std::ptrdiff_t(from), bytes.end(), stored, stored + 4);
    return at == bytes.end() ? 0 : size_t(at - bytes.begin()) + 8;
}

TEST_F(CityTest, DamagedTownChunksAreRepairedOrRefusedWithALogLine) {
    City* city = Found(20, 20, 15, 15);
    city->SetName("Tarn");
    Grow(*city, 100);
    city->SetReservation(22, 22, 2);
    const std::vector<uint8_t> saved = SaveSection();
    const size_t block = PayloadOf(saved, "cit1") + 4, lots = PayloadOf(saved, "cit2"),
                 grids = PayloadOf(saved, "cit3"), factory = PayloadOf(saved, "cit4") + 4,
                 layers = PayloadOf(saved, "cit5");
    ASSERT_TRUE(block > 4 && lots && grids && factory > 4 && layers);
    const size_t grid = PayloadOf(saved, "data", grids) + 4;
    struct Case {
        const char* what;
        size_t offset;
        uint32_t value;
        bool loads;
        std::function<void(City&)> check;
    } cases[] = {
        {"a centre factory id that names nothing", factory, 0x0008FFFF, true,
         [](City& town) {
             auto* centre = dynamic_cast<Factory*>(BuildingFromId(town.GetCentreFactoryId()));
             ASSERT_NE(centre, nullptr);
             EXPECT_EQ(centre->GetTypeIndex(), kTownCentreFactoryType);
         }},
        {"a reserved lot of level 9", lots + 8 + 5 * 15 + 5, 0x09090909, true,
         [](City& town) { EXPECT_EQ(town.GetReservation(22, 22), 0); }},
        {"a name without its end", block + 56, 0x41414141, true,
         [](City& town) { EXPECT_LE(town.GetName().size(), kMaxCityNameChars); }},
        {"a grid of another width", grid, 17, false, nullptr},
        {"a search layer with more tiles than the town", layers + 1 + 8, 0xFFFF, true,
         [](City& town) { EXPECT_FALSE(town.GetGrid(kGridShapeBase).IsBuilt(0)); }},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> damaged = saved;
        for (int k = 0; k < 4; ++k)
            damaged[c.offset + size_t(k)] = uint8_t(c.value >> (8 * k));
        if (std::string(c.what) == "a name without its end")
            std::fill(damaged.begin() + std::ptrdiff_t(c.offset),
                      damaged.begin() + std::ptrdiff_t(c.offset) + 64, 'A');
        const uint32_t warnings = WorldWarningCount();
        EXPECT_EQ(LoadSection(damaged), c.loads) << c.what;
        // A name is cut at 63 characters without a word; damage is logged.
        if (std::string(c.what) != "a name without its end") {
            EXPECT_GT(WorldWarningCount(), warnings) << c.what;
        }
        if (c.loads && c.check) {
            ASSERT_NE(GetCity(1), nullptr) << c.what;
            c.check(*GetCity(1));
        }
    }
    // The undamaged section loads without a word and saves the same.
    const uint32_t warnings = WorldWarningCount();
    ASSERT_TRUE(LoadSection(saved));
    EXPECT_EQ(WorldWarningCount(), warnings);
    EXPECT_EQ(SaveSection(), saved);
}

} // namespace

namespace {

TEST_F(CityTest, TheTownConnectedGoalReadsTheCompanysServiceFlags) {
    EXPECT_EQ(world_.TownConnected(kAllTowns), std::optional<bool>(true)) << "no towns at all";
    City* first = Found(20, 20, 10, 10);
    City* second = Found(45, 45, 10, 10);
    ASSERT_TRUE(first && second);
    const uint32_t a = uint32_t(first->GetIndex()), b = uint32_t(second->GetIndex());
    EXPECT_EQ(world_.TownConnected(a), std::optional<bool>(false));
    first->ServiceFlags()[1] = 1; // another company's mark
    EXPECT_EQ(world_.TownConnected(a), std::optional<bool>(false));
    first->ServiceFlags()[0] = 1;
    EXPECT_EQ(world_.TownConnected(a), std::optional<bool>(true));
    EXPECT_EQ(world_.TownConnected(b), std::optional<bool>(false));
    EXPECT_EQ(world_.TownConnected(kAllTowns), std::optional<bool>(false));
    second->ServiceFlags()[0] = 1;
    EXPECT_EQ(world_.TownConnected(kAllTowns), std::optional<bool>(true));
    for (uint32_t missing : {0u, 99u, 101u, 5000u})
        EXPECT_EQ(world_.TownConnected(missing), std::optional<bool>(false)) << missing;
    ClearCityServiceFlags();
    EXPECT_EQ(world_.TownConnected(a), std::optional<bool>(false));
}

} // namespace

namespace {

TEST_F(CityTest, TownsGetCarsOnTheirRoadsUpToTheirSizeClassesLimit) {
    PrivateCarTable::Clear();
    PrivateCarRow* type = PrivateCarTable::GetOrCreateRow(0);
    type->ConnectionType = kPrivateCarConnectionType;
    type->RegionCode = int32_t(CurrentRegion());
    type->YearOfDiscard = 100000;
    ValueTable& limits = CityGrowingConfigTable::GetOrCreateRow(0)->CitySizeNrPKWs;
    limits.Resize(1, 3); // classes 0 to 2 only
    limits.SetCell(0, 0, 1);
    limits.SetCell(0, 1, 2);
    limits.SetCell(0, 2, 2);
    City* big = Found(20, 20, 31, 31);
    City* small = Found(50, 50, 11, 11);
    ASSERT_TRUE(big && small);
    Grow(*big, 300);
    ASSERT_GE(big->GetPopulation(), 21u);
    ASSERT_LT(small->GetPopulation(), 21u);
    const uint32_t a = uint32_t(big->GetIndex()), b = uint32_t(small->GetIndex());
    const uint32_t limit = PrivateCarLimit(big->GetSizeClass());
    ASSERT_GE(limit, 1u);
    EXPECT_EQ(PrivateCarLimit(5), 0u) << "a class without an entry gets none";
    uint32_t most = 0;
    for (uint32_t t = 0; t < 20000; t += 250) {
        const uint32_t before = PrivateCarCount(a);
        SpawnPrivateCars(t);
        EXPECT_LE(PrivateCarCount(a), before + 1) << "one car per town and pass";
        most = std::max(most, PrivateCarCount(a));
        EXPECT_LE(PrivateCarCount(a), limit);
        EXPECT_EQ(PrivateCarCount(b), 0u) << "a small town gets no cars";
    }
    EXPECT_EQ(most, limit);
    ForEachMovingObject([&](MovingObject& o) {
        auto* car = dynamic_cast<PrivateCar*>(&o);
        EXPECT_NE(car, nullptr);
        if (car) {
            EXPECT_EQ(car->GetTown(), a);
            EXPECT_TRUE(Map().HasRoad(uint32_t(car->GetX()), uint32_t(car->GetY())));
        }
        return true;
    });
    PrivateCarTable::Clear();
}

} // namespace
