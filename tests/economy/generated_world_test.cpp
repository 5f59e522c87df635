// A new world from the map generator on the default game data: the same
// seed gives the same saved game, a generated game saves, loads and saves
// again to the same bytes, and the map holds together afterwards.
#include "data/generated/town_tables.h"
#include "data/generated/vehicle_tables.h"
#include "economy/city.h"
#include "economy/factory.h"
#include "economy/new_world.h"
#include "economy/town_services.h"
#include "gameloop/game.h"
#include "gameloop/new_game.h"
#include "gameloop/saved_game.h"
#include "gameloop/station_commands.h"
#include "platform/clock.h"
#include "transport/station.h"
#include "vehicles/moving_object.h"
#include "vehicles/private_car.h"
#include "world/building.h"
#include "world/game_clock.h"
#include "world/game_settings.h"
#include "world/living_building.h"
#include "world/map_check.h"
#include "world/object_manager.h"
#include "world/prices.h"
#include "world/world_map.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

namespace {

class GeneratedWorldTest : public ::testing::Test {
protected:
    void SetUp() override {
        plat::Clock::UseFake(0);
        InstallPath() = "gamedata";
        ASSERT_TRUE(LoadGameTexts("gamedata", true));
        ConnectWorldModel(game_, world_);
        InstallTownsAndIndustry(game_);
        StartGame(game_, 1);
    }
    // The towns, objects and hooks go with the game's world.
    void TearDown() override { InstallPath() = "."; }

    std::vector<uint8_t> Generate(uint32_t seed, uint32_t size = 256) {
        NewWorldOptions options;
        options.settings.MapWidth = options.settings.MapHeight = size;
        options.seed = seed;
        EXPECT_TRUE(GenerateNewWorld(game_, options));
        std::vector<uint8_t> bytes;
        EXPECT_TRUE(SaveGameToMemory(game_, bytes));
        return bytes;
    }

    Game game_;
    TownWorldHooks world_;
};

TEST_F(GeneratedWorldTest, TheSameSeedGivesTheSameWorld) {
    std::vector<uint8_t> a = Generate(11);
    std::vector<uint8_t> b = Generate(11);
    std::vector<uint8_t> c = Generate(12);
    EXPECT_EQ(a, b);
    EXPECT_NE(a, c);
}

TEST_F(GeneratedWorldTest, AGeneratedWorldSavesLoadsAndSavesTheSame) {
    std::vector<uint8_t> saved = Generate(3);
    ASSERT_TRUE(LoadGameFromMemory(game_, saved));
    std::vector<uint8_t> again;
    ASSERT_TRUE(SaveGameToMemory(game_, again));
    EXPECT_EQ(again, saved);
}

TEST_F(GeneratedWorldTest, TheMapHoldsTogetherWithTownsAndFactories) {
    Generate(5);
    EXPECT_TRUE(MapCheck::CheckCells());
    EXPECT_TRUE(MapCheck());
    const WorldMap& map = GetWorldMap();
    EXPECT_EQ(map.GetWidth(), 256u);
    EXPECT_EQ(game_.MapWidth(), 256u);

    uint32_t towns = 0;
    for (int32_t i = 1; i <= GetCityCount(); ++i) {
        if (const City* city = GetCity(i)) {
            ++towns;
            EXPECT_FALSE(city->GetName().empty());
            EXPECT_GE(city->GetSizeClass(), 1u);
        }
    }
    // NrOfCities asks for 1 + 2 + 3 towns on 256 tiles of width.
    EXPECT_EQ(towns, 6u);

    std::vector<MapObject*> buildings;
    GetMapObjects(buildings, kSelectCategory, kCategoryBuilding, 0, 0);
    uint32_t factories = 0;
    for (MapObject* object : buildings) {
        auto* building = dynamic_cast<Building*>(object);
        ASSERT_NE(building, nullptr);
        EXPECT_GE(building->GetX(), 0);
        EXPECT_GE(building->GetY(), 0);
        EXPECT_LE(building->GetX() + building->GetWidth(), int32_t(map.GetWidth()));
        EXPECT_LE(building->GetY() + building->GetHeight(), int32_t(map.GetHeight()));
        auto* factory = dynamic_cast<Factory*>(object);
        if (factory && factory->GetFactoryTyp() != kTownCentreFactoryKind) {
            ++factories;
            EXPECT_FALSE(factory->GetName().empty());
        }
    }
    EXPECT_GT(factories, 0u);
}

uint32_t TotalPopulation() {
    uint32_t population = 0;
    for (int32_t i = 1; i <= GetCityCount(); ++i)
        population += GetCity(i) ? GetCity(i)->GetPopulation() : 0;
    return population;
}

// A generated game saved half-way and loaded ends where the game that ran
// on ends: the loop's times, the town update's turn and the houses' stream
// travel with the save, so the towns grow alike.
TEST_F(GeneratedWorldTest, ALoadedGameContinuesExactly) {
    auto run = [this](int frames) {
        for (int i = 0; i < frames; ++i) {
            game_.AdvanceFrame(25);
            game_.Step();
        }
    };
    auto hash = [this] {
        std::vector<uint8_t> bytes;
        EXPECT_TRUE(SaveGameToMemory(game_, bytes));
        uint32_t value = 0;
        std::string reason;
        EXPECT_TRUE(HashSavedGame(bytes, value, reason)) << reason;
        return value;
    };
    Generate(7);
    const uint32_t startPopulation = TotalPopulation();
    run(6000);
    std::vector<uint8_t> half;
    ASSERT_TRUE(SaveGameToMemory(game_, half));
    run(6000);
    const uint32_t whole = hash();
    EXPECT_GT(TotalPopulation(), startPopulation) << "the towns must grow for the test to mean anything";

    ASSERT_TRUE(LoadGameFromMemory(game_, half));
    run(6000);
    EXPECT_EQ(hash(), whole);
}

// Stations of every kind near the first town: saved, loaded and saved to the
// same bytes, and a game continued after a load ends where the straight one does.
TEST_F(GeneratedWorldTest, AGameWithStationsSavesLoadsAndContinuesExactly) {
    Generate(7);
    const City* town = GetCity(1);
    ASSERT_NE(town, nullptr);
    // A road stop, a rail station, a landing stage and an airfield where
    // each first fits, searched outwards from the town's centre.
    for (uint32_t kind : {0u, 4u, 7u, 9u}) {
        const size_t before = AllStations().size();
        for (int32_t r = 4; r < 60 && AllStations().size() == before; r += 2) {
            for (int32_t d = -r; d <= r && AllStations().size() == before; d += 2) {
                for (const auto& [dx, dy] :
                     {std::pair{d, -r}, std::pair{d, r}, std::pair{-r, d}, std::pair{r, d}}) {
                    const int32_t x = town->GetCentreX() + dx, y = town->GetCentreY() + dy;
                    if (x < 8 || y < 8 || x > 240 || y > 240)
                        continue;
                    BuildStationCommand build(uint32_t(x), uint32_t(y), 0, kind, 0, 0);
                    build.SetPlayerId(0);
                    game_.Post(build);
                    game_.DrainCommands();
                    if (AllStations().size() != before)
                        break;
                }
            }
        }
    }
    ASSERT_GE(AllStations().size(), 2u) << "a road stop and a rail station at least";

    std::vector<uint8_t> saved;
    ASSERT_TRUE(SaveGameToMemory(game_, saved));
    ASSERT_TRUE(LoadGameFromMemory(game_, saved));
    std::vector<uint8_t> again;
    ASSERT_TRUE(SaveGameToMemory(game_, again));
    EXPECT_EQ(again, saved);

    auto run = [this](int frames) {
        for (int i = 0; i < frames; ++i) {
            game_.AdvanceFrame(25);
            game_.Step();
        }
    };
    run(3000);
    std::vector<uint8_t> half;
    ASSERT_TRUE(SaveGameToMemory(game_, half));
    run(3000);
    std::vector<uint8_t> whole;
    ASSERT_TRUE(SaveGameToMemory(game_, whole));
    ASSERT_TRUE(LoadGameFromMemory(game_, half));
    run(3000);
    std::vector<uint8_t> continued;
    ASSERT_TRUE(SaveGameToMemory(game_, continued));
    uint32_t a = 0, b = 0;
    std::string reason;
    ASSERT_TRUE(HashSavedGame(whole, a, reason)) << reason;
    ASSERT_TRUE(HashSavedGame(continued, b, reason)) << reason;
    EXPECT_EQ(a, b);
}

TEST_F(GeneratedWorldTest, SettingsThatMakeNoMapLeaveTheWorldAlone) {
    Generate(5);
    std::vector<uint8_t> before;
    ASSERT_TRUE(SaveGameToMemory(game_, before));
    for (uint32_t size : {0u, 255u, 4096u}) {
        NewWorldOptions options;
        options.settings.MapWidth = options.settings.MapHeight = size;
        EXPECT_FALSE(GenerateNewWorld(game_, options)) << size;
    }
    std::vector<uint8_t> after;
    ASSERT_TRUE(SaveGameToMemory(game_, after));
    EXPECT_EQ(after, before);
}

TEST_F(GeneratedWorldTest, TownsGrowUpToALaterStartYear) {
    NewWorldOptions options;
    options.settings.MapWidth = options.settings.MapHeight = 256;
    options.seed = 5;
    ASSERT_TRUE(GenerateNewWorld(game_, options));
    uint32_t early = 0;
    for (int32_t i = 1; i <= GetCityCount(); ++i)
        early += GetCity(i) ? GetCity(i)->GetPopulation() : 0;
    options.startYear = 1870;
    ASSERT_TRUE(GenerateNewWorld(game_, options));
    uint32_t later = 0;
    for (int32_t i = 1; i <= GetCityCount(); ++i)
        later += GetCity(i) ? GetCity(i)->GetPopulation() : 0;
    EXPECT_GT(later, early);
    EXPECT_EQ(game_.Clock().GetCurrentYear(), 1870u);
    EXPECT_TRUE(GetMapGeneratorFlag());
    // Pre-grown towns keep to their plans and wait from the start year on.
    for (int32_t i = 1; i <= GetCityCount(); ++i) {
        const City* city = GetCity(i);
        if (!city)
            continue;
        EXPECT_TRUE(city->GetPlan().IsPlanned());
        EXPECT_EQ(city->GetGrowthTime(), int64_t(CurrentGameTimeMs()));
    }
    for (LivingBuilding* house : BuildingsOf<LivingBuilding>(LivingBuilding::kSubtype)) {
        const City* city = GetCity(house->GetTown());
        ASSERT_NE(city, nullptr);
        EXPECT_EQ(city->GetPlan().GetValue(house->GetX(), house->GetY()), kPlanLot);
        EXPECT_EQ(house->GetShownLevel(), house->GetLevel()) << "pre-grown houses stand finished";
    }
}

// A 512 x 512 map at the default densities founds the towns that
// NrOfCities asks for per 512 tiles of width (2 + 4 + 6), and the world is
// linked up with the factory lines' factories in it: the products in use
// are those the factories make, and each town centre is linked to every
// other town centre and attraction.
TEST_F(GeneratedWorldTest, AWideMapFoundsItsTownsAndLinksItsFactoriesBeforeGrowth) {
    NewWorldOptions options;
    options.settings.MapWidth = options.settings.MapHeight = 512;
    options.seed = 4242;
    ASSERT_TRUE(GenerateNewWorld(game_, options));
    WorldScope scope(game_.GetWorld());
    int32_t towns = 0;
    for (int32_t i = 1; i <= GetCityCount(); ++i)
        towns += GetCity(i) ? 1 : 0;
    EXPECT_EQ(towns, 12);

    std::set<ObjectHandle> centres;
    std::set<uint32_t> made;
    for (const Factory* f : AllFactories()) {
        const int32_t kind = f->GetFactoryTyp();
        if (kind == kTownCentreFactoryKind || kind == 6)
            centres.insert(f->GetId());
        if (kind != kTownCentreFactoryKind)
            for (const auto& [p, record] : f->GetOutputs())
                made.insert(uint32_t(p));
    }
    EXPECT_FALSE(made.empty());
    for (uint32_t p : made)
        EXPECT_TRUE(TestProductFlag(p)) << "product " << p;
    for (const Factory* f : AllFactories()) {
        if (f->GetFactoryTyp() != kTownCentreFactoryKind)
            continue;
        std::set<ObjectHandle> others = centres;
        others.erase(f->GetId());
        EXPECT_EQ(f->GetLinkedFactories(), others) << f->GetDisplayName();
    }
}

// The types of the private cars on the map, with how many of each.
std::map<int32_t, uint32_t> PrivateCarsOnTheMap() {
    std::map<int32_t, uint32_t> cars;
    ForEachMovingObject([&](MovingObject& object) {
        if (auto* car = dynamic_cast<PrivateCar*>(&object))
            ++cars[car->GetCarType()];
        return true;
    });
    return cars;
}

// The endless game's start year on a map whose towns have cars of an old
// type driving: the clock stands at the start of that year, the towns have
// grown up to it, no car of the old year is left, neither on the map nor in
// the towns' counts, and the cars that come next are of the start year's
// type.
TEST_F(GeneratedWorldTest, AnEndlessGameStartYearGrowsTheTownsAndRenewsTheCars) {
    struct CarType {
        int32_t row, from, until;
    };
    ValueTable& limits = CityGrowingConfigTable::GetOrCreateRow(0)->CitySizeNrPKWs;
    struct Restore {
        ValueTable& limits;
        ValueTable kept;
        ~Restore() {
            PrivateCarTable::Clear();
            limits = kept;
        }
    } restore{limits, limits};
    limits.Resize(1, 6);
    for (uint32_t sizeClass = 0; sizeClass < 6; ++sizeClass)
        limits.SetCell(0, sizeClass, 3);
    for (const CarType& t : {CarType{0, 1850, 1855}, CarType{1, 1858, 2100}}) {
        PrivateCarRow* row = PrivateCarTable::GetOrCreateRow(t.row);
        row->ConnectionType = kPrivateCarConnectionType;
        row->RegionCode = -1;
        row->YearOfIntroduction = t.from;
        row->YearOfDiscard = t.until;
        row->TravelTimeMsPerSquare = 400;
    }
    auto playUntilCars = [this] {
        for (int i = 0; i < 4000 && PrivateCarsOnTheMap().empty(); ++i) {
            game_.AdvanceFrame(25);
            game_.Step();
        }
    };
    Generate(7);
    playUntilCars();
    WorldScope scope(game_.GetWorld());
    const std::map<int32_t, uint32_t> old = PrivateCarsOnTheMap();
    ASSERT_FALSE(old.empty()) << "the towns must have cars for the test to mean anything";
    EXPECT_EQ(old.begin()->first, 0);
    EXPECT_EQ(old.size(), 1u);
    const uint32_t before = TotalPopulation();

    StartEndlessGameYear(game_, 1860);
    EXPECT_EQ(game_.Clock().GetCurrentYear(), 1860u);
    EXPECT_EQ(game_.Clock().GetMonth(), 0u);
    EXPECT_GT(TotalPopulation(), before);
    EXPECT_TRUE(PrivateCarsOnTheMap().empty());
    for (int32_t i = 1; i <= GetCityCount(); ++i)
        EXPECT_EQ(PrivateCarCount(uint32_t(i)), 0u) << "town " << i;
    playUntilCars();
    const std::map<int32_t, uint32_t> cars = PrivateCarsOnTheMap();
    EXPECT_FALSE(cars.empty());
    EXPECT_EQ(cars.count(0), 0u) << "a car of a type discarded before the start year";
}

// A generated game with towns and factories, in a world of its own.
struct PlayedGame {
    explicit PlayedGame(uint32_t seed) {
        ConnectWorldModel(game, hooks);
        InstallTownsAndIndustry(game);
        StartGame(game, seed);
        NewWorldOptions options;
        options.settings.MapWidth = options.settings.MapHeight = 128;
        options.seed = seed;
        EXPECT_TRUE(GenerateNewWorld(game, options));
    }
    uint32_t Hash() {
        std::vector<uint8_t> bytes;
        EXPECT_TRUE(SaveGameToMemory(game, bytes));
        uint32_t hash = 0;
        std::string reason;
        EXPECT_TRUE(HashSavedGame(bytes, hash, reason)) << reason;
        return hash;
    }
    uint32_t Towns() {
        WorldScope scope(game.GetWorld());
        return uint32_t(GetCityCount());
    }

    TownWorldHooks hooks;
    Game game;
};

constexpr uint32_t kFrameMs = 25;
constexpr int kFrames = 4000;

uint32_t HashPlayedAlone(uint32_t seed) {
    plat::Clock::UseFake(0);
    PlayedGame played(seed);
    for (int frame = 0; frame < kFrames; ++frame) {
        plat::Clock::Advance(kFrameMs);
        played.game.Step();
    }
    return played.Hash();
}

// Two games from two seeds live side by side, each in its own world: stepped
// in turn, each ends with the hash it has when played alone.
TEST_F(GeneratedWorldTest, TwoWorldsPlayedInTurnEachGiveTheirOwnHash) {
    const uint32_t aloneA = HashPlayedAlone(21);
    const uint32_t aloneB = HashPlayedAlone(22);
    EXPECT_NE(aloneA, aloneB);

    plat::Clock::UseFake(0);
    PlayedGame a(21);
    PlayedGame b(22);
    EXPECT_GT(a.Towns(), 0u);
    EXPECT_GT(b.Towns(), 0u);
    for (int frame = 0; frame < kFrames; ++frame) {
        // Both games run on the one frame time.
        plat::Clock::Advance(kFrameMs);
        a.game.Step();
        b.game.Step();
    }
    EXPECT_EQ(a.Hash(), aloneA);
    EXPECT_EQ(b.Hash(), aloneB);
}

} // namespace
