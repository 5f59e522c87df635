// Trains running both ways round a ring of single track meet head on and
// block each other; the world loop's deadlock resolution gets every such
// pair moving again within two game seconds. A train scrapped on the ring
// leaves its signal block and its lanes.
#include "data/database.h"
#include "data/generated/ai_tables.h"
#include "data/generated/route_tables.h"
#include "data/generated/vehicle_tables.h"
#include "gameloop/game.h"
#include "gameloop/new_game.h"
#include "gameloop/vehicle_commands.h"
#include "platform/clock.h"
#include "platform/file.h"
#include "tests/transport/route_network.h"
#include "transport/signals.h"
#include "transport/station.h"
#include "transport/station_layout.h"
#include "vehicles/moving_object.h"
#include "vehicles/schedule.h"
#include "vehicles/schedule_list.h"
#include "vehicles/vehicle.h"
#include "vehicles/vehicle_services.h"
#include "world/game_clock.h"
#include "world/object_manager.h"
#include "world/player.h"
#include "world/world_map.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace {

constexpr int32_t kTrain = 901;
// The ring's corners: (kLeft, kTop) to (kRight, kBottom).
constexpr uint32_t kLeft = 8, kTop = 8, kRight = 40, kBottom = 24;
constexpr uint32_t kFrameMs = 25;

// A small map with a single-track ring and two stations for schedules.
struct RingWorld {
    RingWorld() {
        plat::Clock::UseFake(0);
        ConnectWorldModel(game, hooks);
        InstallStations();
        InstallVehicles(game);
        StartGame(game, 9);
        GetWorldMap().SetMapSizeNoReset(64, 64);
        VehicleRow* row = VehicleTable::GetOrCreateRow(kTrain);
        row->Name = "Ring train";
        row->ConnectionType = 1;
        row->VehicleType = 6;
        row->PurchasePrice = 100;
        row->TravelTimeMsPerSquare = 200;
        if (Player* player = GetPlayer(0))
            player->Pay(1000000, -1, 0);
        // The single track round the ring.
        RouteNetwork net;
        net.Path(1, {{kLeft, kTop}, {kRight, kTop}, {kRight, kBottom}, {kLeft, kBottom}, {kLeft, kTop}});
        net.Apply();
        // Two stations away from the ring give the trains a schedule; the
        // trains are put on the ring with a way of many laps round it.
        for (Station*& s : stops) {
            s = dynamic_cast<Station*>(CreateMapObject(kCategoryBuilding, kStationSubtype));
            s->SetUp(0, 1, 0, &s == &stops[0] ? 50 : 56, 50);
        }
    }
    ~RingWorld() { DeleteAllMapObjects(); }

    // A train bought by command, standing at (x, y) on the top side and
    // heading round the ring clockwise (east first) or the other way.
    Vehicle* TrainAt(uint32_t x, bool clockwise) {
        const size_t before = AllVehicles().size();
        BuyVehicleCommand buy(uint32_t(kTrain), 0, 1, 0);
        game.Post(buy);
        game.DrainCommands();
        if (AllVehicles().size() != before + 1)
            return nullptr;
        Vehicle* train = AllVehicles().back();
        VehicleSchedule form(false, 0);
        form.InsertStationStop(0, stops[0]->GetId(), 0, 1);
        form.InsertStationStop(1, stops[1]->GetId(), 0, 1);
        train->SetSchedule(&form);
        auto route = std::make_unique<WaypointList>();
        const std::pair<uint32_t, uint32_t> corners[4] = {
            {kRight, kTop}, {kRight, kBottom}, {kLeft, kBottom}, {kLeft, kTop}};
        for (uint32_t lap = 0; lap < 40; ++lap)
            for (uint32_t i = 0; i < 4; ++i) {
                const auto& c = corners[clockwise ? i : 3 - i];
                route->Add(c.first, c.second);
            }
        train->SetState(kStateMoving);
        train->SetHead(int32_t(clockwise ? x - 1 : x + 1), int32_t(kTop));
        train->SetHead(int32_t(x), int32_t(kTop));
        train->SetRoute(std::move(route));
        train->SetRoutePosition(0);
        train->ClaimLanes();
        train->WakeNow();
        return train;
    }

    void RunFrame() {
        game.AdvanceFrame(kFrameMs);
        game.Step();
    }

    Game game;
    VehicleWorldHooks hooks;
    Station* stops[2] = {nullptr, nullptr};
};

struct DeadlockRingTest : testing::Test {
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

    std::unique_ptr<RingWorld> world = std::make_unique<RingWorld>();
};

// Two trains each way, spread along the top side, run for a minute of game
// time; every blocked pair must move on within two seconds. The mirror image
// puts the same trains, in the same buying order, on the other side of the
// ring heading the other way. Gives the tiles each train travelled, in
// buying order.
std::vector<uint32_t> RunRing(RingWorld& test, bool mirrored) {
    std::vector<Vehicle*> trains;
    for (const auto& [x, clockwise] :
         std::vector<std::pair<uint32_t, bool>>{{12, true}, {20, false}, {28, true}, {36, false}})
        trains.push_back(mirrored ? test.TrainAt(kLeft + kRight - x, !clockwise)
                                  : test.TrainAt(x, clockwise));
    for (Vehicle* train : trains)
        EXPECT_NE(train, nullptr);
    if (std::count(trains.begin(), trains.end(), nullptr) != 0)
        return {};
    struct Watch {
        int32_t x = 0, y = 0;
        uint32_t since = 0;
    };
    std::vector<Watch> watch(trains.size());
    // The game time at which each blocked pair was first seen.
    std::map<std::pair<size_t, size_t>, uint32_t> deadlocked;
    uint32_t resolutions = 0, longest = 0;
    // The longest time any train stood still.
    uint32_t stillest = 0;
    // A minute of game time: the trains meet again and again.
    for (uint32_t frame = 0; frame < 60000 / kFrameMs; ++frame) {
        test.RunFrame();
        const uint32_t now = CurrentGameTimeMs();
        for (size_t i = 0; i < trains.size(); ++i) {
            int32_t x = 0, y = 0;
            trains[i]->GetHeadPosition(x, y);
            if (x != watch[i].x || y != watch[i].y)
                watch[i] = {x, y, now};
            stillest = std::max(stillest, now - watch[i].since);
        }
        for (size_t i = 0; i < trains.size(); ++i)
            for (size_t j = i + 1; j < trains.size(); ++j) {
                const bool blocked = trains[i]->GetBlockerId() == trains[j]->GetId() &&
                                     trains[j]->GetBlockerId() == trains[i]->GetId() &&
                                     watch[i].since != now && watch[j].since != now;
                auto it = deadlocked.find({i, j});
                if (blocked && it == deadlocked.end()) {
                    deadlocked[{i, j}] = now;
                } else if (!blocked && it != deadlocked.end()) {
                    longest = std::max(longest, now - it->second);
                    ++resolutions;
                    deadlocked.erase(it);
                } else if (blocked && now - it->second > 2000u) {
                    ADD_FAILURE() << "trains " << i << " and " << j << " are still stuck at " << now;
                    return {};
                }
            }
    }
    EXPECT_GE(resolutions, 2u) << "the ring must force deadlocks";
    EXPECT_LE(longest, 2000u);
    // No train stands still for long: one waiting behind a blocked pair
    // goes on at most a retry after the pair has been resolved.
    EXPECT_LE(stillest, 2000u + 500u);
    std::vector<uint32_t> tiles;
    for (size_t i = 0; i < trains.size(); ++i) {
        EXPECT_GE(trains[i]->GetTilesTravelled(), 20u) << "train " << i;
        tiles.push_back(trains[i]->GetTilesTravelled());
    }
    return tiles;
}

// Which member of a blocked pair steps first follows the order of the
// moving objects, never the heading: the scene and its mirror image, with
// every train heading the other way, end with each train (by buying order)
// having travelled as far.
TEST_F(DeadlockRingTest, TrainsMeetingHeadOnRoundARingMoveOnWithinTwoSecondsWhicheverWayTheyHead) {
    std::vector<uint32_t> travelled[2];
    for (const bool mirrored : {false, true}) {
        SCOPED_TRACE(mirrored ? "mirrored" : "as laid");
        if (mirrored) {
            world.reset();
            world = std::make_unique<RingWorld>();
        }
        travelled[mirrored] = RunRing(*world, mirrored);
        ASSERT_FALSE(HasFailure());
    }
    EXPECT_EQ(travelled[0], travelled[1]);
}

TEST_F(DeadlockRingTest, ATrainScrappedOnASignalledRingLeavesItsBlockAndLanes) {
    // Two signals cut the ring into two blocks.
    Signal* signal = CreateSignal(16, kTop, 0);
    ASSERT_NE(signal, nullptr);
    ASSERT_NE(CreateSignal(24, kBottom, 0), nullptr);
    RefreshSignalsIfDirty();
    Vehicle* train = world->TrainAt(12, true);
    ASSERT_NE(train, nullptr);
    const ObjectHandle id = train->GetId();
    auto held = [&] {
        uint32_t n = 0;
        for (const auto& direction : signal->directions)
            n += direction.blocked || direction.counter ? 1 : 0;
        return n;
    };
    // Past the signal, the block ahead of it is the train's.
    int32_t x = 0, y = 0;
    for (uint32_t frame = 0; frame < 2000 / kFrameMs && !(x > 16 && y == int32_t(kTop)); ++frame) {
        world->RunFrame();
        train->GetHeadPosition(x, y);
    }
    ASSERT_GT(x, 16);
    ASSERT_EQ(y, int32_t(kTop));
    ASSERT_NE(held(), 0u);
    // Worn out, it breaks down on its next step and is scrapped.
    CheatsRow* cheats = CheatsTable::GetOrCreateRow(0);
    const int32_t savedCheat = cheats->VehicleNeverBreaksDown;
    cheats->VehicleNeverBreaksDown = 0;
    train->SetCondition(0.0f);
    for (uint32_t frame = 0; frame < 1000 / kFrameMs && GetVehicle(id); ++frame)
        world->RunFrame();
    cheats->VehicleNeverBreaksDown = savedCheat;
    EXPECT_EQ(GetVehicle(id), nullptr);
    EXPECT_EQ(held(), 0u) << "its block is free";
    for (int32_t ty = 0; ty < 64; ++ty)
        for (int32_t tx = 0; tx < 64; ++tx)
            for (uint32_t lane = 0; lane < 2; ++lane)
                ASSERT_EQ(GetLaneHolder(1, tx, ty, lane), 0u) << tx << "," << ty;
}

// On a large map the lanes are kept only where trains stand: the first
// deadlock pass does not clear lanes for every tile of the map.
TEST_F(DeadlockRingTest, LanesOfALargeMapAreKeptOnlyWhereObjectsHoldThem) {
    GetWorldMap().SetMapSizeNoReset(1024, 1024);
    ASSERT_NE(world->TrainAt(12, true), nullptr);
    ASSERT_NE(world->TrainAt(20, false), nullptr);
    for (uint32_t frame = 0; frame < 3000 / kFrameMs; ++frame)
        world->RunFrame();
    EXPECT_GT(KeptLaneTiles(1), 0u);
    // The ring lies in a corner of 41 x 25 tiles.
    EXPECT_LE(KeptLaneTiles(1), 64u * 64u);
    EXPECT_EQ(KeptLaneTiles(0), 0u);
}

} // namespace
