// A bus bought and scheduled by commands drives between two road stops
// over the road graph.
#include "data/database.h"
#include "data/generated/route_tables.h"
#include "data/generated/vehicle_tables.h"
#include "gameloop/game.h"
#include "gameloop/new_game.h"
#include "gameloop/saved_game.h"
#include "gameloop/vehicle_commands.h"
#include "platform/clock.h"
#include "platform/endian.h"
#include "platform/file.h"
#include "tests/transport/route_network.h"
#include "transport/route_planner.h"
#include "transport/station.h"
#include "transport/station_construction.h"
#include "transport/station_layout.h"
#include "vehicles/schedule_list.h"
#include "vehicles/vehicle.h"
#include "vehicles/vehicle_services.h"
#include "world/object_manager.h"
#include "world/player.h"
#include "world/player_statistics.h"
#include "world/world_map.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace {

struct BusRouteTest : testing::Test {
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

    BusRouteTest() {
        plat::Clock::UseFake(0);
        ConnectWorldModel(game, hooks);
        InstallStations();
        InstallVehicles(game);
        StartGame(game, 9);
        GetWorldMap().SetMapSizeNoReset(64, 64);
        VehicleRow* bus = VehicleTable::GetOrCreateRow(kBus);
        bus->Name = "Test bus";
        bus->ConnectionType = 0;
        bus->PurchasePrice = 100;
        bus->TravelTimeMsPerSquare = 200;
        if (Player* player = GetPlayer(0))
            player->Pay(1000000, -1, 0);
    }
    ~BusRouteTest() override { DeleteAllMapObjects(); }

    // A road stop of the first road kind with a load point, placed with
    // its origin at (x, y); null when the data has none.
    static Station* RoadStop(int32_t x, int32_t y) {
        for (int32_t kind = 0; kind < StationTable::RowCount(); ++kind) {
            const StationRow* row = StationTable::Find(kind);
            if (!row || row->ConnectionType != 0)
                continue;
            auto* station = dynamic_cast<Station*>(CreateMapObject(kCategoryBuilding, kStationSubtype));
            station->SetUp(0, 1, kind, x, y);
            LayoutTile tile;
            if (station->GetLoadPoint(1, tile))
                return station;
            DeleteMapObject(station->GetId());
        }
        return nullptr;
    }

    // Two road stops joined by a road, and a bus of the given type bought
    // and scheduled between them by commands.
    Vehicle* SetUpLine(LayoutTile& pa, LayoutTile& pb, int32_t type = kBus) {
        Station* a = RoadStop(10, 20);
        Station* b = RoadStop(40, 20);
        EXPECT_NE(a, nullptr);
        EXPECT_NE(b, nullptr);
        if (!a || !b)
            return nullptr;
        EXPECT_TRUE(a->GetLoadPoint(1, pa));
        EXPECT_TRUE(b->GetLoadPoint(1, pb));
        // A road from one load point to the other.
        CreateRoutePlanners();
        RouteNetwork net;
        net.Path(0, {{uint32_t(pa.x), uint32_t(pa.y)},
                     {uint32_t(pa.x), 30},
                     {uint32_t(pb.x), 30},
                     {uint32_t(pb.x), uint32_t(pb.y)}});
        net.Apply();
        for (Station* station : {a, b}) {
            UpdateMapTiles(*station);
            station->PlaceFootprint(false);
        }
        RebuildRoutePlannerGraph(0);

        BuyVehicleCommand buy(uint32_t(type), 0, 1, 0);
        game.Post(buy);
        game.DrainCommands();
        if (AllVehicles().size() != 1)
            return nullptr;
        Vehicle* bus = AllVehicles()[0];
        VehicleSchedule form(false, 0);
        form.InsertStationStop(0, a->GetId(), 0, 1);
        form.InsertStationStop(1, b->GetId(), 0, 1);
        std::vector<uint8_t> flat;
        EXPECT_TRUE(form.WriteFlat(flat, kMaxPayloadSize));
        SetScheduleCommand set(bus->GetId(), flat);
        game.Post(set);
        game.DrainCommands();
        return bus->GetSchedule() ? bus : nullptr;
    }

    static constexpr int32_t kBus = 5;
    Game game;
    VehicleWorldHooks hooks;
};

TEST_F(BusRouteTest, ABusScheduledByCommandsReachesBothStops) {
    LayoutTile pa, pb;
    Vehicle* bus = SetUpLine(pa, pb);
    ASSERT_NE(bus, nullptr);
    std::set<std::pair<int32_t, int32_t>> reached;
    for (uint32_t t = 0; t <= 200000 && reached.size() < 2; t += 100) {
        UpdateMovingObjects(t);
        if (bus->GetState() == kStateUnloading || bus->GetState() == kStateLoading) {
            int32_t x = 0, y = 0;
            bus->GetHeadPosition(x, y);
            reached.insert({x, y});
        }
    }
    EXPECT_TRUE(reached.count({pa.x, pa.y})) << "first stop";
    EXPECT_TRUE(reached.count({pb.x, pb.y})) << "second stop";
}

TEST_F(BusRouteTest, AShippedBusIsBoughtAndServesAStop) {
    // The first passenger road vehicle of the shipped data.
    int32_t type = -1;
    for (int32_t t = 0; t < VehicleTable::RowCount() && type < 0; ++t) {
        const VehicleRow* row = VehicleTable::Find(t);
        if (t != kBus && row && row->ConnectionType == 0 && row->PassengerCapacity > 0)
            type = t;
    }
    ASSERT_GE(type, 0);
    Player* player = GetPlayer(0);
    ASSERT_NE(player, nullptr);
    const int64_t before = player->GetMoney();
    LayoutTile pa, pb;
    Vehicle* bus = SetUpLine(pa, pb, type);
    ASSERT_NE(bus, nullptr);
    EXPECT_EQ(bus->GetTypeIndex(), type);
    EXPECT_EQ(player->GetMoney(), before - VehicleTable::Find(type)->PurchasePrice);
    bool served = false;
    for (uint32_t t = 0; t <= 200000 && !served; t += 100) {
        UpdateMovingObjects(t);
        served = bus->GetState() == kStateUnloading || bus->GetState() == kStateLoading;
    }
    EXPECT_TRUE(served);
}

TEST_F(BusRouteTest, AContinuedGameWithABusReachesTheSameWorld) {
    LayoutTile pa, pb;
    Vehicle* bus = SetUpLine(pa, pb);
    ASSERT_NE(bus, nullptr);
    auto run = [this](int frames) {
        for (int i = 0; i < frames; ++i) {
            game.AdvanceFrame(25);
            game.Step();
        }
    };
    auto hash = [](const std::vector<uint8_t>& bytes) {
        uint32_t h = 0;
        std::string reason;
        EXPECT_TRUE(HashSavedGame(bytes, h, reason)) << reason;
        return h;
    };
    run(400);
    std::vector<uint8_t> half;
    ASSERT_TRUE(SaveGameToMemory(game, half));
    run(1200);
    std::vector<uint8_t> whole;
    ASSERT_TRUE(SaveGameToMemory(game, whole));
    ASSERT_EQ(AllVehicles().size(), 1u);
    const uint32_t travelled = plat::LoadLE32(AllVehicles()[0]->Block().data() + 76);
    EXPECT_GT(travelled, 0u);

    ASSERT_TRUE(LoadGameFromMemory(game, half));
    run(1200);
    std::vector<uint8_t> continued;
    ASSERT_TRUE(SaveGameToMemory(game, continued));
    EXPECT_EQ(hash(continued), hash(whole));
}

TEST_F(BusRouteTest, ArrivingAtAStopPaysTheWayTravelled) {
    constexpr uint32_t kRunningCostsRow = 1;
    LayoutTile pa, pb;
    Vehicle* bus = SetUpLine(pa, pb, 0);
    ASSERT_NE(bus, nullptr);
    ASSERT_GT(VehicleTable::Find(0)->TravellingCostPerSquare, 0.0f);
    const PlayerStatistics* accounts = GetPlayer(0)->GetStatistics();
    ASSERT_NE(accounts, nullptr);
    const int64_t before = accounts->GetValue(kRunningCostsRow, 0);
    bool atSecond = false;
    for (uint32_t t = 0; t <= 200000 && !atSecond; t += 100) {
        UpdateMovingObjects(t);
        int32_t x = 0, y = 0;
        bus->GetHeadPosition(x, y);
        atSecond = bus->GetState() == kStateUnloading && x == pb.x && y == pb.y;
    }
    ASSERT_TRUE(atSecond);
    const uint32_t travelled = plat::LoadLE32(bus->Block().data() + 76);
    EXPECT_GT(travelled, 0u);
    EXPECT_GT(accounts->GetValue(kRunningCostsRow, 0), before) << "the way there is booked as running costs";
}

} // namespace
