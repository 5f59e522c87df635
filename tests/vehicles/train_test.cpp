// Trains of several cars: the row of parts a schedule makes, a train of an
// engine and three waggons on the track and at its platform, a game saved
// with it mid-journey, the verdicts of a train on the occupants of a tile,
// and platforms held by a standing train.
#include "data/database.h"
#include "data/generated/economy_tables.h"
#include "data/generated/route_tables.h"
#include "data/generated/terrain_tables.h"
#include "data/generated/vehicle_tables.h"
#include "gameloop/game.h"
#include "gameloop/new_game.h"
#include "gameloop/route_commands.h"
#include "gameloop/saved_game.h"
#include "gameloop/vehicle_commands.h"
#include "platform/clock.h"
#include "platform/file.h"
#include "tests/transport/route_network.h"
#include "transport/route_command_handlers.h"
#include "transport/route_construction.h"
#include "transport/route_planner.h"
#include "transport/route_search.h"
#include "transport/station.h"
#include "transport/station_construction.h"
#include "transport/station_layout.h"
#include "vehicles/schedule.h"
#include "vehicles/train_composition.h"
#include "vehicles/train_platform.h"
#include "vehicles/vehicle.h"
#include "vehicles/vehicle_advance.h"
#include "vehicles/vehicle_loading.h"
#include "vehicles/vehicle_motion.h"
#include "vehicles/vehicle_services.h"
#include "vehicles/vehicle_trail.h"
#include "world/game_clock.h"
#include "world/object_manager.h"
#include "world/player.h"
#include "world/world_map.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace {

// Test types past the shipped rows: an engine of one square, a two-part
// unit that can be laid either way round, and a ship.
constexpr int32_t kEngine = 910;
constexpr int32_t kTwoPart = 911;
constexpr int32_t kShip = 912;
// A freight product with a waggon of its own in the shipped data.
constexpr int32_t kFreight = 2;

void SetList(ValueTable& t, std::vector<float> values) {
    t.Resize(uint32_t(values.size()), 1);
    for (uint32_t c = 0; c < values.size(); ++c)
        t.SetCell(c, 0, values[c]);
}

struct TrainTest : testing::Test {
    static void SetUpTestSuite() {
        std::string text;
        ASSERT_TRUE(plat::ReadWholeFile("gamedata/config/MDConfig.gen", text));
        GetDatabase().Init();
        ASSERT_TRUE(GetDatabase().Read(text));
        ASSERT_TRUE(GetDatabase().ApplyAllTables(KindSelector::All));
        ASSERT_TRUE(plat::ReadWholeFile("gamedata/station_config.txt", text));
        GetStationLayouts().Clear();
        GetStationLayouts().Read(text, "station_config.txt");
    }

    TrainTest() {
        plat::Clock::UseFake(0);
        ConnectWorldModel(game, hooks);
        InstallStations();
        InstallVehicles(game);
        StartGame(game, 9);
        GetWorldMap().SetMapSizeNoReset(64, 64);
        auto type = [](int32_t row, int32_t mode, std::vector<float> layout, std::vector<float> lengths) {
            VehicleRow* r = VehicleTable::GetOrCreateRow(row);
            r->Name = "Test type " + std::to_string(row);
            r->ConnectionType = mode;
            r->VehicleType = mode == 1 ? 6 : 1;
            r->PurchasePrice = 100;
            r->TravelTimeMsPerSquare = 200;
            r->CanCarryProduct = 0;
            SetList(r->VehicleLayout, layout);
            SetList(r->VehicleLength, lengths);
            return r;
        };
        type(kEngine, 1, {1}, {4});
        type(kTwoPart, 1, {1, 2}, {4, 6})->CanBeMirrored = 1;
        type(kShip, 2, {1}, {4})->CanCarryProduct = 1;
        if (Player* player = GetPlayer(0))
            player->Pay(1000000, -1, 0);
    }
    ~TrainTest() override {
        SetStopServiceHook(nullptr);
        DeleteAllMapObjects();
    }

    static Vehicle* NewVehicle(int32_t type) {
        auto* v = dynamic_cast<Vehicle*>(CreateMapObject(kCategoryMoving, kVehicleSubtype));
        if (v)
            v->Init(type, 0, 0);
        return v;
    }

    // A schedule of the mode over station stops with the given products,
    // its units the vehicles named.
    static std::unique_ptr<VehicleSchedule> ScheduleOf(uint32_t mode, const std::vector<Vehicle*>& units,
                                                       const std::vector<std::vector<int32_t>>& stops) {
        auto schedule = std::make_unique<VehicleSchedule>(false, 0);
        schedule->SetMode(mode);
        for (uint32_t i = 0; i < stops.size(); ++i) {
            schedule->InsertStationStop(i, 1000 + i, 0, 1);
            std::array<int32_t, StopRecord::kProductSlots> products;
            products.fill(-1);
            std::copy(stops[i].begin(), stops[i].end(), products.begin());
            schedule->SetProducts(i, uint32_t(stops[i].size()), products);
        }
        std::array<uint32_t, VehicleSchedule::kSettingsWords> block{};
        for (size_t i = 0; i < units.size(); ++i)
            block[i] = units[i]->GetId();
        schedule->SetSettingsBlock(block);
        return schedule;
    }

    static Station* RailStation(int32_t x, int32_t y) {
        for (int32_t kind = 0; kind < StationTable::RowCount(); ++kind) {
            const StationRow* row = StationTable::Find(kind);
            if (!row || row->ConnectionType != 1)
                continue;
            auto* station = dynamic_cast<Station*>(CreateMapObject(kCategoryBuilding, kStationSubtype));
            station->SetUp(0, 1, kind, x, y);
            LayoutTile tile;
            // A platform long enough for four cars.
            LayoutRect rect;
            if (station->GetLoadPoint(1, tile) && station->GetLoadAreaRect(1, rect) && rect.h >= 5)
                return station;
            DeleteMapObject(station->GetId());
        }
        return nullptr;
    }

    // Two track stations on one straight track that crosses their
    // platforms, an engine bought and scheduled between them with three
    // products at each stop.
    Vehicle* SetUpLine(Station*& a, Station*& b) {
        a = RailStation(10, 10);
        b = RailStation(40, 10);
        if (!a || !b)
            return nullptr;
        LayoutTile pa, pb;
        a->GetLoadPoint(1, pa);
        b->GetLoadPoint(1, pb);
        CreateRoutePlanners();
        RouteNetwork net;
        net.Path(1, {{uint32_t(pa.x), uint32_t(pa.y)}, {uint32_t(pb.x), uint32_t(pb.y)}});
        net.Apply();
        for (Station* station : {a, b}) {
            UpdateMapTiles(*station);
            station->PlaceFootprint(false);
        }
        RebuildRoutePlannerGraph(1);
        const size_t before = AllVehicles().size();
        BuyVehicleCommand buy(uint32_t(kEngine), 0, 1, 0);
        game.Post(buy);
        game.DrainCommands();
        if (AllVehicles().size() != before + 1)
            return nullptr;
        Vehicle* train = AllVehicles().back();
        VehicleSchedule form(false, 0);
        std::array<int32_t, StopRecord::kProductSlots> products;
        products.fill(-1);
        products[0] = kPassengerCargo;
        products[1] = kMailCargo;
        products[2] = kFreight;
        for (uint32_t i = 0; i < 2; ++i) {
            form.InsertStationStop(i, (i == 0 ? a : b)->GetId(), 0, 1);
            form.SetProducts(i, 3, products);
        }
        std::vector<uint8_t> flat;
        if (!form.WriteFlat(flat, kMaxPayloadSize))
            return nullptr;
        SetScheduleCommand set(train->GetId(), flat);
        game.Post(set);
        game.DrainCommands();
        return train->GetSchedule() ? train : nullptr;
    }

    void RunFrames(uint32_t frames) {
        for (uint32_t i = 0; i < frames; ++i) {
            game.AdvanceFrame(25);
            game.Step();
        }
    }

    Game game;
    VehicleWorldHooks hooks;
};

std::vector<int32_t> Kinds(const std::vector<CompositionPart>& parts) {
    std::vector<int32_t> out;
    for (const CompositionPart& p : parts)
        out.push_back(p.kind);
    return out;
}

std::vector<int32_t> Lengths(const std::vector<CompositionPart>& parts) {
    std::vector<int32_t> out;
    for (const CompositionPart& p : parts)
        out.push_back(p.length);
    return out;
}

TEST_F(TrainTest, ASchedulesRowOfPartsByModeLayoutAndStopProducts) {
    Vehicle* engine = NewVehicle(kEngine);
    Vehicle* first = NewVehicle(kTwoPart);
    Vehicle* second = NewVehicle(kTwoPart);
    Vehicle* ship = NewVehicle(kShip);
    ASSERT_TRUE(engine && first && second && ship);
    const int32_t waggon = WaggonTypeFor(kEngine, kFreight);
    ASSERT_GE(waggon, 0) << "the shipped product has a waggon";
    const std::vector<int32_t> none;
    struct Case {
        const char* what;
        uint32_t mode;
        std::vector<Vehicle*> units;
        std::vector<std::vector<int32_t>> stops;
        uint32_t stop;
        bool idsOnly;
        std::vector<int32_t> kinds;
        std::vector<int32_t> lengths;
    };
    const Case cases[] = {
        {"an engine and a waggon per product",
         1,
         {engine},
         {{kFreight, kFreight, kFreight}},
         0,
         false,
         {0, 2, 2, 2},
         {4, 4, 4, 4}},
        {"a stop without products takes the cars of the one before",
         1,
         {engine},
         {{kFreight, kFreight}, none},
         1,
         false,
         {0, 2, 2},
         {4, 4, 4}},
        {"no products anywhere: the engine alone", 1, {engine}, {none, none}, 1, false, {0}, {4}},
        {"the second unit of a type that can be mirrored is laid the other way",
         1,
         {first, second},
         {none},
         0,
         false,
         {0, 1, 4, 3},
         {4, 6, 6, 4}},
        {"units only: no waggons, each part names its vehicle",
         1,
         {engine},
         {{kFreight}},
         0,
         true,
         {0},
         {int32_t(engine->GetId())}},
        {"no units: the waggons alone", 1, {}, {{kFreight}}, 0, false, {2}, {4}},
        {"a road schedule without units is empty", 0, {}, {{kFreight}}, 0, false, {}, {}},
        {"a ship carries the first product itself, a part for each other",
         2,
         {ship},
         {{kFreight, kFreight}},
         0,
         false,
         {0, 2},
         {4, 0}},
    };
    for (const Case& c : cases) {
        const auto schedule = ScheduleOf(c.mode, c.units, c.stops);
        std::vector<CompositionPart> parts;
        DispatchByMode(*schedule, c.stop, c.idsOnly, parts);
        EXPECT_EQ(Kinds(parts), c.kinds) << c.what;
        EXPECT_EQ(Lengths(parts), c.lengths) << c.what;
    }
    // The waggons carry the product slots in turn.
    const auto schedule = ScheduleOf(1, {engine}, {{kPassengerCargo, kFreight}});
    std::vector<CompositionPart> parts;
    DispatchByMode(*schedule, 0, false, parts);
    ASSERT_EQ(parts.size(), 3u);
    EXPECT_EQ(parts[0].productSlot, -1) << "the engine carries nothing";
    EXPECT_EQ(parts[1].productSlot, 0);
    EXPECT_EQ(parts[2].productSlot, 1);
    EXPECT_EQ(parts[2].type, waggon);
    EXPECT_EQ(parts[1].type, ProductTable::Find(kPassengerCargo)->WaggonType);
}

TEST_F(TrainTest, TheLoadOfATrainIsItsSeatsCargoAndWaggons) {
    Vehicle* engine = NewVehicle(kEngine);
    ASSERT_NE(engine, nullptr);
    const auto schedule = ScheduleOf(1, {engine}, {{kPassengerCargo, kFreight}});
    const WaggonsRow* coach = WaggonsTable::Find(ProductTable::Find(kPassengerCargo)->WaggonType);
    const WaggonsRow* wagon = WaggonsTable::Find(WaggonTypeFor(kEngine, kFreight));
    ASSERT_TRUE(coach && wagon);
    const float expected =
        float(coach->PassengerCapacity) * ProductTable::Find(kPassengerCargo)->ProductWeight +
        ProductTable::Find(kFreight)->ProductWeight + coach->Weight + wagon->Weight;
    EXPECT_FLOAT_EQ(CompositionLoad(*schedule, 0), expected);
    const auto empty = ScheduleOf(1, {engine}, {{}});
    EXPECT_FLOAT_EQ(CompositionLoad(*empty, 0), 0.0f);
}

// The tiles the train's lanes hold.
std::set<std::pair<int32_t, int32_t>> HeldTiles(const Vehicle& v) {
    std::set<std::pair<int32_t, int32_t>> out;
    for (int32_t y = 0; y < 64; ++y)
        for (int32_t x = 0; x < 64; ++x)
            for (uint32_t lane = 0; lane < 2; ++lane)
                if (GetLaneHolder(1, x, y, lane) == v.GetId())
                    out.insert({x, y});
    return out;
}

TEST_F(TrainTest, AnEngineWithThreeWaggonsRunsFourSquaresLongWaitsBehindAShortPlatformAndComesWholeAgain) {
    Station* a = nullptr;
    Station* b = nullptr;
    Vehicle* train = SetUpLine(a, b);
    ASSERT_NE(train, nullptr);
    // Out on the line, away from both stations.
    bool underway = false;
    for (uint32_t i = 0; i < 3000 && !underway; ++i) {
        RunFrames(1);
        underway = train->GetState() == kStateMoving && !train->GetStationUnderVehicle() &&
                   train->MotionRecords().size() == 4;
    }
    ASSERT_TRUE(underway);
    EXPECT_EQ(train->GetOccupiedLength(), 4u);
    // The cars left behind at the platform catch up one by one.
    auto allOnTrail = [&] {
        for (const auto& m : train->MotionRecords())
            if (m[kCarMode] != kCarFollowsTrail)
                return false;
        return true;
    };
    for (uint32_t i = 0; i < 200 && train->GetState() == kStateMoving && !allOnTrail(); ++i)
        RunFrames(1);
    ASSERT_EQ(train->GetState(), kStateMoving);
    ASSERT_TRUE(allOnTrail());
    // The four squares behind the head, each a tile of its own, are held,
    // and each car stands on one of them.
    std::set<std::pair<int32_t, int32_t>> expected;
    for (uint32_t i = 0; i < 4; ++i)
        expected.insert({train->Trail()[i].x, train->Trail()[i].y});
    EXPECT_EQ(expected.size(), 4u);
    EXPECT_EQ(HeldTiles(*train), expected);
    for (size_t i = 0; i < train->MotionRecords().size(); ++i) {
        const auto& m = train->MotionRecords()[i];
        EXPECT_TRUE(expected.count({int32_t(m[kCarX]), int32_t(m[kCarY])})) << "car " << i;
    }

    // At the far station the head stands on the one square of the
    // platform the line crosses: the cars behind it wait.
    bool stopped = false;
    for (uint32_t i = 0; i < 4000 && !stopped; ++i) {
        RunFrames(1);
        stopped = train->GetState() == kStateLoading && train->GetStationUnderVehicle() == b;
    }
    ASSERT_TRUE(stopped);
    ASSERT_EQ(train->MotionRecords().size(), 4u);
    std::vector<uint32_t> modes;
    for (const auto& m : train->MotionRecords())
        modes.push_back(m[kCarMode]);
    EXPECT_EQ(modes, (std::vector<uint32_t>{kCarMovesAlone, kCarWaits, kCarWaits, kCarWaits}));
    int32_t hx = 0, hy = 0;
    train->GetHeadPosition(hx, hy);
    EXPECT_EQ(HeldTiles(*train), (std::set<std::pair<int32_t, int32_t>>{{hx, hy}}));
    // Off again, the waiting cars are pulled in and the train is whole.
    bool whole = false;
    for (uint32_t i = 0; i < 4000 && !whole; ++i) {
        RunFrames(1);
        whole = train->GetState() == kStateMoving && !train->GetStationUnderVehicle() &&
                HeldTiles(*train).size() == 4;
        for (const auto& m : train->MotionRecords())
            whole = whole && m[kCarMode] == kCarFollowsTrail;
    }
    EXPECT_TRUE(whole);
}

TEST_F(TrainTest, ATrainLaidAtItsPlatformStandsOnItAsFarAsItReaches) {
    Station* a = nullptr;
    Station* b = nullptr;
    Vehicle* train = SetUpLine(a, b);
    ASSERT_NE(train, nullptr);
    for (uint32_t i = 0; i < 400 && train->MotionRecords().size() != 4; ++i)
        RunFrames(1);
    ASSERT_EQ(train->MotionRecords().size(), 4u);
    ASSERT_EQ(train->GetStationUnderVehicle(), a);
    LayoutRect rect;
    ASSERT_TRUE(a->GetLoadAreaRect(1, rect));
    const int32_t x = rect.x, bottom = rect.y + rect.h - 1;
    struct Case {
        const char* what;
        int32_t headY;
        uint32_t heading;
        std::vector<uint32_t> modes;
        uint32_t heldTiles;
    };
    // A car stands only with half a car's length of platform left behind it.
    const Case cases[] = {
        {"the head at the far end: all four cars stand", bottom, 4, {0, 0, 0, 0}, 4},
        {"two squares behind the head: the second moves alone, the rest wait",
         rect.y + 1,
         4,
         {0, 1, 2, 2},
         2},
        {"facing the other way at the end: the first moves alone", bottom, 1, {1, 2, 2, 2}, 1},
    };
    for (const Case& c : cases) {
        train->PlaceAtPlatform(x, c.headY, c.heading);
        std::vector<uint32_t> modes;
        for (const auto& m : train->MotionRecords())
            modes.push_back(m[kCarMode]);
        EXPECT_EQ(modes, c.modes) << c.what;
        const auto held = HeldTiles(*train);
        EXPECT_EQ(held.size(), c.heldTiles) << c.what;
        for (const auto& [hx, hy] : held)
            EXPECT_TRUE(hx == x && hy >= rect.y && hy < rect.y + rect.h) << c.what << " " << hx << "," << hy;
        for (uint32_t i = 0; i < 4; ++i) {
            const auto& m = train->MotionRecords()[i];
            if (m[kCarMode] == kCarFollowsTrail) {
                EXPECT_TRUE(held.count({int32_t(m[kCarX]), int32_t(m[kCarY])})) << c.what << " car " << i;
            }
        }
    }
}

TEST_F(TrainTest, AGameSavedWithALongTrainMidJourneyLoadsAndSavesUnchangedAndGoesOnAlike) {
    Station* a = nullptr;
    Station* b = nullptr;
    Vehicle* train = SetUpLine(a, b);
    ASSERT_NE(train, nullptr);
    bool underway = false;
    for (uint32_t i = 0; i < 3000 && !underway; ++i) {
        RunFrames(1);
        underway = train->GetState() == kStateMoving && !train->GetStationUnderVehicle() &&
                   train->MotionRecords().size() == 4;
    }
    ASSERT_TRUE(underway);
    auto hash = [](const std::vector<uint8_t>& bytes) {
        uint32_t h = 0;
        std::string reason;
        EXPECT_TRUE(HashSavedGame(bytes, h, reason)) << reason;
        return h;
    };
    std::vector<uint8_t> half;
    ASSERT_TRUE(SaveGameToMemory(game, half));
    RunFrames(1200);
    std::vector<uint8_t> whole;
    ASSERT_TRUE(SaveGameToMemory(game, whole));

    ASSERT_TRUE(LoadGameFromMemory(game, half));
    std::vector<uint8_t> again;
    ASSERT_TRUE(SaveGameToMemory(game, again));
    EXPECT_EQ(again, half) << "a load and a save changed the game";
    RunFrames(1200);
    std::vector<uint8_t> continued;
    ASSERT_TRUE(SaveGameToMemory(game, continued));
    EXPECT_EQ(hash(continued), hash(whole));
}

TEST_F(TrainTest, ATrainPassesOrIsBlockedByTheOccupantsOfATile) {
    struct Case {
        const char* what;
        int32_t type; // of the occupant
        int32_t state;
        bool passable;
        int32_t occupantAfter;
        int32_t trainAfter;
    };
    const Case cases[] = {
        {"a broken train blocks", kEngine, kStateBroken, false, kStateBroken, kStateMoving},
        {"a passing train is passed", kEngine, kStatePassing, true, kStatePassing, kStateMoving},
        {"a train waiting to pass is passed", kEngine, kStateWaitsPassing, true, kStateWaitsPassing,
         kStateMoving},
        {"a moving train passes and so does the train", kEngine, kStateMoving, true, kStatePassing,
         kStatePassing},
        {"a train blocked on the track waits to pass", kEngine, kStateBlockedOnTrack, true,
         kStateWaitsPassing, kStatePassing},
        {"a loading train keeps its state", kEngine, kStateLoading, true, kStateLoading, kStatePassing},
        {"a moving ship passes; the train goes on as it was", kShip, kStateMoving, true, kStatePassing,
         kStateMoving},
    };
    for (const Case& c : cases) {
        Vehicle* train = NewVehicle(kEngine);
        Vehicle* occupant = NewVehicle(c.type);
        ASSERT_TRUE(train && occupant);
        train->SetState(kStateMoving);
        occupant->SetState(c.state);
        EXPECT_EQ(PassRailOccupant(*train, *occupant, 5, 5), c.passable) << c.what;
        EXPECT_EQ(occupant->GetState(), c.occupantAfter) << c.what;
        EXPECT_EQ(train->GetState(), c.trainAfter) << c.what;
    }
}

TEST_F(TrainTest, APlatformHeldByAStandingTrainIsNeverTakenThoughItHasNoReservation) {
    Station* a = nullptr;
    Station* b = nullptr;
    Vehicle* train = SetUpLine(a, b);
    ASSERT_NE(train, nullptr);
    // Another vehicle stands on the far platform without its reservation.
    Vehicle* other = NewVehicle(kEngine);
    ASSERT_NE(other, nullptr);
    LayoutRect rect;
    ASSERT_TRUE(b->GetLoadAreaRect(1, rect));
    SetLaneHolder(1, rect.x + rect.w / 2, rect.y + rect.h / 2, 0, other->GetId());
    for (uint32_t n = 2; n <= b->LoadAreaCount() && n <= 31; ++n)
        b->SetLoadAreaReserved(n, true);
    for (uint32_t i = 0; i < 3000; ++i) {
        RunFrames(1);
        ASSERT_FALSE(train->GetStationUnderVehicle() == b && train->GetReservedSlot() == 1) << "frame " << i;
    }
    EXPECT_FALSE(b->IsLoadAreaReserved(1));
}

TEST_F(TrainTest, AStationJoinsAScheduleAtItsCheapestPlatformOrKeepsAWorkingOne) {
    Station* a = nullptr;
    Station* b = nullptr;
    Vehicle* train = SetUpLine(a, b);
    ASSERT_NE(train, nullptr);
    ASSERT_GE(a->LoadAreaCount(), 2u);
    const VehicleSchedule& schedule = *train->GetSchedule();
    // No vehicle asks: every platform suits (the test's track carries no
    // column a type could need).
    const ObjectHandle id = 0;
    // The line runs east through both platforms of the first station: the
    // second is nearer the far stop.
    const uint32_t first = schedule.RouteCostFromStation(*a, 1, id);
    const uint32_t second = schedule.RouteCostFromStation(*a, 2, id);
    ASSERT_GT(first, 0u);
    ASSERT_GT(second, 0u);
    EXPECT_LT(second, first);
    // A station off the line reaches nothing.
    Station* off = RailStation(10, 40);
    ASSERT_NE(off, nullptr);
    UpdateMapTiles(*off);
    off->PlaceFootprint(false);
    EXPECT_EQ(schedule.RouteCostFromStation(*off, 1, id), 0u);
    struct Case {
        const char* what;
        Station* station;
        uint32_t given;
        bool found;
        uint32_t chosen;
    };
    const Case cases[] = {
        {"none given: the cheapest", a, 0, true, 2},
        {"a working one is kept", a, 1, true, 1},
        {"one the station lacks: the cheapest", a, 9, true, 2},
        {"off the line: none, the given one stays", off, 1, false, 1},
    };
    for (const Case& c : cases) {
        uint32_t point = c.given;
        EXPECT_EQ(schedule.ChooseLoadPointForStation(*c.station, point, id), c.found) << c.what;
        EXPECT_EQ(point, c.chosen) << c.what;
    }
}

// Two halts built on open land, then a track from the end of one platform
// to the end of the other: the platforms take the track's row, and a train
// of the company finds its way from one load point to the other.
TEST_F(TrainTest, PlatformsLaidBeforeTheTrackTakeItsRowAndCarryTrains) {
    constexpr int32_t kHalt = 3;
    constexpr uint16_t kTimberTrack = 1;
    const StationRow* row = StationTable::Find(kHalt);
    ASSERT_TRUE(row && row->ConnectionType == 1);
    // Open land where tracks may be laid.
    constexpr uint32_t kLand = 1;
    TerrainRow* land = TerrainTable::GetOrCreateRow(kLand);
    land->IsWater = land->IsNavigable = 0;
    land->CanBuildBuilding = land->CanBuildRoute = 1;
    for (WorldCell& cell : GetWorldMap().GetGrid())
        cell.SetTerrainIndex(kLand);
    std::vector<Station*> stations;
    std::vector<LayoutRect> platforms;
    for (int32_t y : {10, 30}) {
        auto* station = dynamic_cast<Station*>(CreateMapObject(kCategoryBuilding, kStationSubtype));
        ASSERT_NE(station, nullptr);
        station->SetUp(0, 1, kHalt, 10, y);
        UpdateMapTiles(*station);
        station->PlaceFootprint(false);
        LayoutRect rect;
        ASSERT_TRUE(station->GetLoadAreaRect(1, rect));
        ASSERT_EQ(rect.w, 1) << "the platform runs along y";
        EXPECT_EQ(GetWorldMap().GetRouteTypeAt(1, uint32_t(rect.x), uint32_t(rect.y)), 0u)
            << "no track reached the platform yet";
        stations.push_back(station);
        platforms.push_back(rect);
    }
    InstallRouteCommands(game);
    const LayoutRect& a = platforms[0];
    const LayoutRect& b = platforms[1];
    ASSERT_EQ(a.x, b.x);
    const int64_t before = GetPlayer(0)->GetMoney();
    ASSERT_TRUE(game.Post(TrackRouteCommand(int16_t(a.x), int16_t(a.y + a.h), int16_t(b.x), int16_t(b.y - 1),
                                            kTimberTrack, 0, 0)));
    game.DrainCommands();
    EXPECT_LT(GetPlayer(0)->GetMoney(), before);
    for (const LayoutRect& rect : platforms)
        for (int32_t y = rect.y - 1; y <= rect.y + rect.h; ++y)
            EXPECT_EQ(GetWorldMap().GetRouteTypeAt(1, uint32_t(rect.x), uint32_t(y)), kTimberTrack)
                << rect.x << " " << y;
    // The workers finish the track.
    for (uint32_t t = 1; t < 2000 && !GetConstructionQueue().pending.empty(); ++t)
        StepRouteConstruction(t * 1000);
    CreateRoutePlanners();
    RebuildRoutePlannerGraph(1);
    LayoutTile pa, pb;
    ASSERT_TRUE(stations[0]->GetLoadPoint(1, pa));
    ASSERT_TRUE(stations[1]->GetLoadPoint(1, pb));
    RouteVehicle asking;
    asking.vehicleType = 6;
    asking.nextStop = stations[1]->GetId();
    WaypointList route(10);
    EXPECT_GT(SearchRouteByMode(kModeTrack, uint32_t(pa.x), uint32_t(pa.y), uint32_t(pb.x), uint32_t(pb.y),
                                &route, &asking, 0, 0, nullptr, nullptr),
              0u);
    SetRouteCommandHandlers({});
}

} // namespace
