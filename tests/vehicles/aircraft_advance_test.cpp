// Aircraft at airports: the claim on a stand and the runway at the end of
// the way in, the holding circuit and the queue while the airport is full,
// the runway given up after landing and after take-off, the release of
// everything an aircraft holds when it is sold, and a game saved while
// aircraft hold going on as one that ran straight through.
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
#include "transport/route_search.h"
#include "transport/station.h"
#include "transport/station_construction.h"
#include "transport/station_layout.h"
#include "vehicles/aircraft_routes.h"
#include "vehicles/schedule_list.h"
#include "vehicles/vehicle.h"
#include "vehicles/vehicle_motion.h"
#include "vehicles/vehicle_services.h"
#include "world/game_clock.h"
#include "world/object_manager.h"
#include "world/player.h"
#include "world/world_map.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

// The test's own aircraft types, past the shipped rows: a plane, an
// airship and a helicopter.
constexpr int32_t kPlane = 910;
constexpr int32_t kAirship = 911;
constexpr int32_t kHelicopter = 912;

struct AircraftTest : testing::Test {
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

    AircraftTest() {
        plat::Clock::UseFake(0);
        ConnectWorldModel(game, hooks);
        InstallStations();
        InstallVehicles(game);
        StartGame(game, 9);
        GetWorldMap().SetMapSizeNoReset(64, 64);
        for (auto [type, kind] : {std::pair{kPlane, 14}, {kAirship, 15}, {kHelicopter, 16}}) {
            VehicleRow* row = VehicleTable::GetOrCreateRow(type);
            row->Name = "Test aircraft " + std::to_string(kind);
            row->ConnectionType = kModeAir;
            row->VehicleType = kind;
            row->PurchasePrice = 100;
            row->TravelTimeMsPerSquare = 200;
        }
        if (Player* player = GetPlayer(0))
            player->Pay(1000000, -1, 0);
    }
    ~AircraftTest() override {
        SetStopServiceHook(nullptr);
        DeleteAllMapObjects();
    }

    // A station of the kind (airfield 9, heliport 11) at (x, y), written
    // into the map.
    static Station* Airport(int32_t kind, int32_t x, int32_t y) {
        auto* station = dynamic_cast<Station*>(CreateMapObject(kCategoryBuilding, kStationSubtype));
        station->SetUp(0, 1, kind, x, y);
        UpdateMapTiles(*station);
        station->PlaceFootprint(false);
        return station;
    }

    Vehicle* Buy(int32_t type) {
        const size_t before = AllVehicles().size();
        BuyVehicleCommand buy(uint32_t(type), 0, 1, 0);
        game.Post(buy);
        game.DrainCommands();
        return AllVehicles().size() == before + 1 ? AllVehicles().back() : nullptr;
    }

    bool Schedule(Vehicle& vehicle, const std::vector<Station*>& stops) {
        VehicleSchedule form(false, 0);
        for (uint32_t i = 0; i < stops.size(); ++i)
            form.InsertStationStop(i, stops[i]->GetId(), 0, 1);
        std::vector<uint8_t> flat;
        if (!form.WriteFlat(flat, kMaxPayloadSize))
            return false;
        SetScheduleCommand set(vehicle.GetId(), flat);
        game.Post(set);
        game.DrainCommands();
        return vehicle.GetSchedule() != nullptr;
    }

    Vehicle* BuyFor(int32_t type, const std::vector<Station*>& stops) {
        Vehicle* v = Buy(type);
        return v && Schedule(*v, stops) ? v : nullptr;
    }

    void RunFrames(uint32_t frames) {
        for (uint32_t i = 0; i < frames; ++i) {
            game.AdvanceFrame(25);
            game.Step();
        }
    }

    // Runs frame by frame until done() or the frames are used up.
    bool RunUntil(uint32_t frames, const std::function<bool()>& done) {
        for (uint32_t i = 0; i < frames; ++i) {
            if (done())
                return true;
            RunFrames(1);
        }
        return done();
    }

    // Two airfields with one stand each to offer and three planes flying
    // between them: the later ones wait, hold and take turns.
    std::vector<Vehicle*> SetUpContention(Station*& a, Station*& b) {
        a = Airport(9, 10, 10);
        b = Airport(9, 40, 30);
        for (Station* s : {a, b})
            for (uint32_t n = 2; n <= s->LoadAreaCount(); ++n)
                s->SetLoadAreaReserved(n, true);
        std::vector<Vehicle*> planes;
        for (int i = 0; i < 3; ++i)
            if (Vehicle* v = BuyFor(kPlane, {a, b}))
                planes.push_back(v);
        return planes;
    }

    // Whether the aircraft has begun to hold since it last took off (a new
    // one records no time for its first holding).
    static bool HoldingTimeRecorded(const Vehicle& v) {
        const uint32_t start = plat::LoadLE32(v.Block().data() + 8);
        return start != 0xFFFFFFFFu && start != 1000000u;
    }

    // Whether the station holds nothing of the vehicle: no reserved stand,
    // free runway, no queue place.
    static void ExpectNothingHeld(const Station& station, ObjectHandle id, const std::string& what) {
        for (uint32_t n = 1; n <= station.LoadAreaCount(); ++n)
            EXPECT_FALSE(station.IsLoadAreaReserved(n)) << what << " stand " << n;
        EXPECT_EQ(station.GetBusySlot(), 0u) << what;
        EXPECT_FALSE(station.HasVehicle(id)) << what;
    }

    Game game;
    VehicleWorldHooks hooks;
};

// An aircraft on its way in, one tile short of the end of its way: the
// check of that last tile decides whether it comes down, holds or waits.
struct ArrivalCase {
    const char* name;
    int32_t type;
    int32_t kind;      // the station kind flown to
    uint8_t busySlot;  // the runway's holder before the check
    uint32_t reserved; // stands held by others (bit n - 1 for stand n)
    uint32_t queued;   // other aircraft already in the queue
    bool answer;       // whether the aircraft may enter the tile
    uint32_t stand;    // the stand it claims, 0 for none
    bool holds;        // whether it flies the holding circuit
    bool inQueue;      // whether it has a queue place afterwards
};

const ArrivalCase kArrivals[] = {
    {"free airfield: first free stand and the runway", kPlane, 9, 0, 0, 0, true, 1, false, false},
    {"stand 1 taken: the next free one", kPlane, 9, 0, 1, 0, true, 2, false, false},
    {"runway busy: holds with a queue place", kPlane, 9, 3, 4, 0, true, 0, true, true},
    {"every stand taken: holds without a queue place", kPlane, 9, 0, 7, 0, true, 0, true, false},
    {"one free stand promised to a queued aircraft: holds", kPlane, 9, 0, 3, 1, true, 0, true, false},
    {"free heliport: a helicopter takes the pad", kHelicopter, 11, 0, 0, 0, true, 1, false, false},
    {"pad taken: a helicopter waits and does not hold", kHelicopter, 11, 0, 1, 0, false, 0, false, false},
    {"pad taken: an airship waits and does not hold", kAirship, 11, 0, 1, 0, false, 0, false, false},
};

TEST_F(AircraftTest, AtTheEndOfItsWayAnAircraftComesDownHoldsOrWaitsByTheAirportsState) {
    for (const ArrivalCase& c : kArrivals) {
        SCOPED_TRACE(c.name);
        DeleteAllMapObjects();
        Station* home = Airport(c.kind, 10, 10);
        Station* goal = Airport(c.kind, 40, 10);
        Vehicle* v = BuyFor(c.type, {home, goal});
        ASSERT_NE(v, nullptr);
        goal->SetBusySlot(c.busySlot);
        for (uint32_t n = 1; n <= goal->LoadAreaCount(); ++n)
            goal->SetLoadAreaReserved(n, (c.reserved >> (n - 1)) & 1);
        for (uint32_t i = 0; i < c.queued; ++i)
            goal->AddKey(0x7000 + i);
        // In the air one tile before the approach.
        int32_t ax = 0, ay = 0;
        ASSERT_TRUE(GetAirportApproach(*goal, ax, ay));
        v->SetHead(ax, ay - 1);
        v->SetReservedSlot(0);
        auto way = std::make_unique<WaypointList>();
        way->Add(uint32_t(ax), uint32_t(ay - 1));
        way->Add(uint32_t(ax), uint32_t(ay));
        v->SetRoute(std::move(way));
        v->SetRoutePosition(1);

        EXPECT_EQ(v->CanAdvanceAir(ax, ay, 4), c.answer);
        EXPECT_EQ(v->GetReservedSlot(), c.stand);
        EXPECT_EQ(goal->HasVehicle(v->GetId()), c.inQueue);
        const WaypointList* route = v->GetRoute();
        ASSERT_NE(route, nullptr);
        const Waypoint& last = route->Get(route->Count() - 1);
        if (c.stand != 0) {
            // The runway and the stand are its; its way leads onto the stand.
            EXPECT_EQ(goal->GetBusySlot(), c.stand);
            EXPECT_TRUE(goal->IsLoadAreaReserved(c.stand));
            LayoutTile point;
            ASSERT_TRUE(goal->GetLoadPoint(c.stand, point));
            EXPECT_EQ(int32_t(last.x), point.x);
            EXPECT_EQ(int32_t(last.y), point.y);
        } else {
            EXPECT_EQ(goal->GetBusySlot(), c.busySlot);
        }
        if (c.holds) {
            // Once round the circuit, back to the approach.
            EXPECT_GT(route->Count(), 2u);
            EXPECT_EQ(int32_t(last.x), ax);
            EXPECT_EQ(int32_t(last.y), ay);
        } else if (c.stand == 0) {
            EXPECT_EQ(route->Count(), 2u);
        }
    }
}

TEST_F(AircraftTest, AHoldingAircraftCutsItsWayBackInsteadOfGrowingIt) {
    Station* home = Airport(9, 10, 10);
    Station* goal = Airport(9, 40, 10);
    Vehicle* v = BuyFor(kPlane, {home, goal});
    ASSERT_NE(v, nullptr);
    for (uint32_t n = 1; n <= goal->LoadAreaCount(); ++n)
        goal->SetLoadAreaReserved(n, true);
    RunFrames(8000);
    ASSERT_NE(v->GetRoute(), nullptr);
    EXPECT_LT(v->GetRoute()->Count(), 60u);
    EXPECT_TRUE(HoldingTimeRecorded(*v));
    EXPECT_NE(v->GetStationUnderVehicle(), goal);
    // A stand comes free: it lands there.
    goal->SetLoadAreaReserved(2, false);
    EXPECT_TRUE(RunUntil(
        3000, [&] { return v->GetState() == kStateLoading && v->GetStationUnderVehicle() == goal; }));
    EXPECT_EQ(v->GetReservedSlot(), 2u);
}

// Three planes on one line whose airfields offer one stand each: they
// take turns, the later ones holding while the stand is taken; no two are
// ever down on one stand and each reaches every stop in turn.
TEST_F(AircraftTest, PlanesSharingOneStandHoldAndLandInTurn) {
    Station* a = nullptr;
    Station* b = nullptr;
    const std::vector<Vehicle*> planes = SetUpContention(a, b);
    ASSERT_EQ(planes.size(), 3u);
    std::vector<std::vector<ObjectHandle>> served(planes.size());
    std::vector<int32_t> last(planes.size(), kStateDead);
    bool held = false;
    for (uint32_t frame = 0; frame < 9000; ++frame) {
        RunFrames(1);
        std::vector<std::pair<int32_t, int32_t>> down;
        for (size_t i = 0; i < planes.size(); ++i) {
            const int32_t state = planes[i]->GetState();
            if (state == kStateLoading || state == kStateUnloading) {
                int32_t x = 0, y = 0;
                planes[i]->GetHeadPosition(x, y);
                for (const auto& other : down)
                    ASSERT_NE(other, std::make_pair(x, y)) << "two planes on one stand, frame " << frame;
                down.emplace_back(x, y);
            }
            if (state == kStateLoading && last[i] != kStateLoading) {
                Station* under = planes[i]->GetStationUnderVehicle();
                ASSERT_NE(under, nullptr) << "frame " << frame;
                served[i].push_back(under->GetId());
            }
            last[i] = state;
            held = held || HoldingTimeRecorded(*planes[i]);
        }
    }
    EXPECT_TRUE(held);
    for (size_t i = 0; i < planes.size(); ++i) {
        ASSERT_GE(served[i].size(), 3u) << "plane " << i;
        for (size_t k = 1; k < served[i].size(); ++k)
            EXPECT_NE(served[i][k], served[i][k - 1]) << "plane " << i << " at " << k;
    }
}

// Sold in each stage of its claim, an aircraft leaves no stand, runway or
// queue place behind at either airport.
struct SaleCase {
    const char* name;
    std::function<bool(const Vehicle&, const Station& home, const Station& goal)> reached;
};

TEST_F(AircraftTest, SellingAnAircraftFreesItsStandRunwayAndQueuePlaceInEveryStage) {
    const SaleCase cases[] = {
        {"at its stand",
         [](const Vehicle& v, const Station&, const Station&) { return v.GetState() == kStateLoading; }},
        {"on the runway taking off",
         [](const Vehicle& v, const Station& home, const Station&) {
             return v.GetReservedSlot() != 0 && home.GetBusySlot() == v.GetReservedSlot() &&
                    v.GetStationUnderVehicle() == &home;
         }},
        {"holding",
         [](const Vehicle& v, const Station&, const Station& goal) {
             return goal.HasVehicle(v.GetId()) && v.GetReservedSlot() == 0;
         }},
        {"landing",
         [](const Vehicle& v, const Station&, const Station& goal) {
             return v.GetReservedSlot() != 0 && goal.GetBusySlot() == v.GetReservedSlot();
         }},
    };
    for (const SaleCase& c : cases) {
        SCOPED_TRACE(c.name);
        DeleteAllMapObjects();
        Station* home = Airport(9, 10, 10);
        Station* goal = Airport(9, 40, 30);
        Vehicle* v = BuyFor(kPlane, {home, goal});
        ASSERT_NE(v, nullptr);
        const ObjectHandle id = v->GetId();
        // Holding: the goal's runway is busy for a while.
        const bool holding = std::string(c.name) == "holding";
        if (holding)
            goal->SetBusySlot(3);
        ASSERT_TRUE(RunUntil(8000, [&] { return c.reached(*v, *home, *goal); }));
        if (holding)
            goal->SetBusySlot(0);
        SellVehicleCommand sell(id, 0);
        game.Post(sell);
        game.DrainCommands();
        ASSERT_EQ(GetVehicle(id), nullptr);
        ExpectNothingHeld(*home, id, "home");
        ExpectNothingHeld(*goal, id, "goal");
    }
}

TEST_F(AircraftTest, SellingALandingPlaneLeavesTheStandOfTheAirportItLeftAlone) {
    // The plane lands on stand 1 of b; meanwhile another has taken stand 1
    // of a, the airport the plane came from.
    Station* a = Airport(9, 10, 10);
    Station* b = Airport(9, 40, 30);
    Vehicle* v = BuyFor(kPlane, {a, b});
    ASSERT_NE(v, nullptr);
    ASSERT_TRUE(RunUntil(
        4000, [&] { return v->GetReservedSlot() != 0 && b->GetBusySlot() == v->GetReservedSlot(); }));
    const uint32_t stand = v->GetReservedSlot();
    a->SetLoadAreaReserved(stand, true);
    SellVehicleCommand sell(v->GetId(), 0);
    game.Post(sell);
    game.DrainCommands();
    EXPECT_TRUE(a->IsLoadAreaReserved(stand));
    EXPECT_FALSE(b->IsLoadAreaReserved(stand));
    EXPECT_EQ(b->GetBusySlot(), 0u);
}

TEST_F(AircraftTest, AGameSavedWhileAPlaneHoldsGoesOnAsOneRunThrough) {
    Station* a = nullptr;
    Station* b = nullptr;
    ASSERT_EQ(SetUpContention(a, b).size(), 3u);
    auto hash = [](const std::vector<uint8_t>& bytes) {
        uint32_t h = 0;
        std::string reason;
        EXPECT_TRUE(HashSavedGame(bytes, h, reason)) << reason;
        return h;
    };
    ASSERT_TRUE(RunUntil(8000, [&] {
        for (Vehicle* v : AllVehicles())
            if (v->GetReservedSlot() == 0 && !v->GetStationUnderVehicle() && HoldingTimeRecorded(*v))
                return true;
        return false;
    }));
    std::vector<uint8_t> half;
    ASSERT_TRUE(SaveGameToMemory(game, half));
    RunFrames(1500);
    std::vector<uint8_t> whole;
    ASSERT_TRUE(SaveGameToMemory(game, whole));

    ASSERT_TRUE(LoadGameFromMemory(game, half));
    std::vector<uint8_t> again;
    ASSERT_TRUE(SaveGameToMemory(game, again));
    EXPECT_EQ(again, half) << "a load and a save changed the game";
    RunFrames(1500);
    std::vector<uint8_t> continued;
    ASSERT_TRUE(SaveGameToMemory(game, continued));
    EXPECT_EQ(hash(continued), hash(whole));
}

} // namespace
