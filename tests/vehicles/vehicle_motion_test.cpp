// Vehicles of every transport mode bought and scheduled by commands run
// between two stops for a game year; selling frees what they held; trains
// meeting on a single track get past each other; a game saved mid-journey
// goes on exactly as one that ran straight through.
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
#include "transport/route_search.h"
#include "transport/signals.h"
#include "transport/station.h"
#include "transport/station_construction.h"
#include "transport/station_layout.h"
#include "vehicles/schedule_list.h"
#include "vehicles/vehicle.h"
#include "vehicles/vehicle_motion.h"
#include "vehicles/vehicle_services.h"
#include "vehicles/vehicle_trail.h"
#include "world/game_clock.h"
#include "world/object_manager.h"
#include "world/player.h"
#include "world/world_map.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// The test's own vehicle types, one per mode, past the shipped rows.
constexpr int32_t kFirstType = 900;

struct VehicleMotionTest : testing::Test {
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

    VehicleMotionTest() {
        plat::Clock::UseFake(0);
        ConnectWorldModel(game, hooks);
        InstallStations();
        InstallVehicles(game);
        StartGame(game, 9);
        GetWorldMap().SetMapSizeNoReset(64, 64);
        for (int32_t mode = 0; mode < 4; ++mode) {
            VehicleRow* row = VehicleTable::GetOrCreateRow(kFirstType + mode);
            row->Name = "Test vehicle " + std::to_string(mode);
            row->ConnectionType = mode;
            row->VehicleType = mode == 1 ? 6 : mode == 3 ? 14 : 1;
            row->PurchasePrice = 100;
            row->TravelTimeMsPerSquare = 200;
        }
        if (Player* player = GetPlayer(0))
            player->Pay(1000000, -1, 0);
    }
    ~VehicleMotionTest() override {
        SetStopServiceHook(nullptr);
        DeleteAllMapObjects();
    }

    // A station of the first kind of the mode with a load point, with its
    // origin at (x, y); null when the data has none.
    static Station* StationOf(int32_t mode, int32_t x, int32_t y) {
        for (int32_t kind = 0; kind < StationTable::RowCount(); ++kind) {
            const StationRow* row = StationTable::Find(kind);
            if (!row || row->ConnectionType != mode)
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

    // The way between two points, by mode: road or track laid along a bend
    // through row 40, water cells on it, nothing for the air.
    static void LayWay(int32_t mode, LayoutTile a, LayoutTile b) {
        const std::initializer_list<std::pair<uint32_t, uint32_t>> points = {{uint32_t(a.x), uint32_t(a.y)},
                                                                             {uint32_t(a.x), 40},
                                                                             {uint32_t(b.x), 40},
                                                                             {uint32_t(b.x), uint32_t(b.y)}};
        if (mode <= 1) {
            CreateRoutePlanners();
            RouteNetwork net;
            // Track runs straight on from the platforms.
            if (mode == 1)
                net.Path(1, {{uint32_t(a.x), uint32_t(a.y)}, {uint32_t(b.x), uint32_t(b.y)}});
            else
                net.Path(0, points);
            net.Apply();
        } else if (mode == 2) {
            const std::pair<uint32_t, uint32_t>* previous = nullptr;
            for (const auto& p : points) {
                if (previous)
                    for (uint32_t y = std::min(previous->second, p.second);
                         y <= std::max(previous->second, p.second); ++y)
                        for (uint32_t x = std::min(previous->first, p.first);
                             x <= std::max(previous->first, p.first); ++x)
                            GetWorldMap().SetRouteKind(x, y, 4);
                previous = &p;
            }
        }
    }

    // Writes the stations into the map over the way and rebuilds the
    // networks.
    static void Finish(int32_t mode, std::initializer_list<Station*> stations) {
        for (Station* station : stations) {
            UpdateMapTiles(*station);
            station->PlaceFootprint(false);
        }
        if (mode <= 1)
            RebuildRoutePlannerGraph(uint32_t(mode));
        NoteWaterNetworkChanged();
    }

    // Buys a vehicle of the type by command; null when none came.
    Vehicle* Buy(int32_t type) {
        const size_t before = AllVehicles().size();
        BuyVehicleCommand buy(uint32_t(type), 0, 1, 0);
        game.Post(buy);
        game.DrainCommands();
        return AllVehicles().size() == before + 1 ? AllVehicles().back() : nullptr;
    }

    // Schedules the vehicle between the stations by command.
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

    // A line of the mode: two stations joined by a way, a vehicle bought
    // and scheduled between them.
    Vehicle* SetUpLine(int32_t mode, Station*& a, Station*& b) {
        a = StationOf(mode, 10, 10);
        b = StationOf(mode, 40, 10);
        if (!a || !b)
            return nullptr;
        LayoutTile pa, pb;
        a->GetLoadPoint(1, pa);
        b->GetLoadPoint(1, pb);
        LayWay(mode, pa, pb);
        Finish(mode, {a, b});
        Vehicle* vehicle = Buy(kFirstType + mode);
        return vehicle && Schedule(*vehicle, {a, b}) ? vehicle : nullptr;
    }

    void RunFrames(uint32_t frames) {
        for (uint32_t i = 0; i < frames; ++i) {
            game.AdvanceFrame(25);
            game.Step();
        }
    }

    static constexpr uint32_t kFramesPerYear = uint32_t(kTicksPerYear);
    Game game;
    VehicleWorldHooks hooks;
};

struct ModeCase {
    int32_t mode;
    const char* name;
};

class VehicleModeTest : public VehicleMotionTest, public testing::WithParamInterface<ModeCase> {};

TEST_P(VehicleModeTest, ReachesEveryStopInTurnForAYearAndSellingFreesItsSlots) {
    const int32_t mode = GetParam().mode;
    Station* a = nullptr;
    Station* b = nullptr;
    Vehicle* vehicle = SetUpLine(mode, a, b);
    ASSERT_NE(vehicle, nullptr) << GetParam().name;
    const ObjectHandle id = vehicle->GetId();
    // The stations served, in order, each time a service starts.
    std::vector<ObjectHandle> served;
    int32_t lastState = vehicle->GetState();
    for (uint32_t frame = 0; frame < kFramesPerYear; ++frame) {
        RunFrames(1);
        vehicle = GetVehicle(id);
        ASSERT_NE(vehicle, nullptr);
        const int32_t state = vehicle->GetState();
        if (state == kStateLoading && lastState != kStateLoading) {
            Station* under = vehicle->GetStationUnderVehicle();
            ASSERT_NE(under, nullptr) << "frame " << frame;
            served.push_back(under->GetId());
        }
        lastState = state;
    }
    ASSERT_GE(served.size(), 4u) << GetParam().name;
    for (size_t i = 1; i < served.size(); ++i)
        EXPECT_NE(served[i], served[i - 1]) << GetParam().name << " served the same stop twice at " << i;

    // Sold in the middle of a journey, it leaves no slot, queue place or
    // lane behind.
    RunFrames(30);
    SellVehicleCommand sell(id, 0);
    game.Post(sell);
    game.DrainCommands();
    EXPECT_EQ(GetVehicle(id), nullptr);
    for (Station* station : {a, b}) {
        for (uint32_t n = 1; n <= 31; ++n)
            EXPECT_FALSE(station->IsLoadAreaReserved(n)) << GetParam().name << " area " << n;
        EXPECT_EQ(station->GetBusySlot(), 0u) << GetParam().name;
        EXPECT_FALSE(station->HasVehicle(id)) << GetParam().name;
    }
    for (int32_t y = 0; y < 64; ++y)
        for (int32_t x = 0; x < 64; ++x)
            for (uint32_t lane = 0; lane < 2; ++lane)
                ASSERT_EQ(GetLaneHolder(uint32_t(mode), x, y, lane), 0u) << x << "," << y;
}

INSTANTIATE_TEST_SUITE_P(Modes, VehicleModeTest,
                         testing::Values(ModeCase{0, "bus"}, ModeCase{1, "train"}, ModeCase{2, "ship"},
                                         ModeCase{3, "plane"}),
                         [](const testing::TestParamInfo<ModeCase>& param) {
                             return std::string(param.param.name);
                         });

TEST_F(VehicleMotionTest, TrainsMeetingOnASingleTrackGetPastEachOtherWithinTwoSeconds) {
    // One track between two stations; one train leaves each end.
    Station* a = StationOf(1, 10, 10);
    Station* b = StationOf(1, 40, 10);
    ASSERT_TRUE(a && b);
    LayoutTile pa, pb;
    a->GetLoadPoint(1, pa);
    b->GetLoadPoint(1, pb);
    LayWay(1, pa, pb);
    Finish(1, {a, b});
    Vehicle* east = Buy(kFirstType + 1);
    Vehicle* west = Buy(kFirstType + 1);
    ASSERT_TRUE(east && west);
    ASSERT_TRUE(Schedule(*east, {a, b}));
    ASSERT_TRUE(Schedule(*west, {b, a}));
    const ObjectHandle eastId = east->GetId(), westId = west->GetId();
    // Run until they block each other.
    uint32_t frame = 0;
    for (; frame < 4000; ++frame) {
        RunFrames(1);
        if (east->GetBlockerId() == westId && west->GetBlockerId() == eastId)
            break;
    }
    ASSERT_LT(frame, 4000u) << "the trains never met";
    const uint32_t met = CurrentGameTimeMs();
    int32_t ex = 0, ey = 0, wx = 0, wy = 0;
    east->GetHeadPosition(ex, ey);
    west->GetHeadPosition(wx, wy);
    // Within two game seconds both have moved on, past each other.
    bool resolved = false;
    while (!resolved && CurrentGameTimeMs() - met <= 2000) {
        RunFrames(1);
        int32_t x = 0, y = 0, x2 = 0, y2 = 0;
        east->GetHeadPosition(x, y);
        west->GetHeadPosition(x2, y2);
        resolved = (x != ex || y != ey) && (x2 != wx || y2 != wy) && east->GetBlockerId() != westId &&
                   west->GetBlockerId() != eastId;
    }
    EXPECT_TRUE(resolved);
    // And each reaches the far end.
    bool eastArrived = false, westArrived = false;
    for (uint32_t i = 0; i < 4000 && !(eastArrived && westArrived); ++i) {
        RunFrames(1);
        eastArrived =
            eastArrived || (east->GetState() == kStateLoading && east->GetStationUnderVehicle() == b);
        westArrived =
            westArrived || (west->GetState() == kStateLoading && west->GetStationUnderVehicle() == a);
    }
    EXPECT_TRUE(eastArrived);
    EXPECT_TRUE(westArrived);
}

TEST_F(VehicleMotionTest, ATrainReservesTheBlocksItEntersAndSellingReleasesThem) {
    Station* a = StationOf(1, 10, 10);
    Station* b = StationOf(1, 40, 10);
    ASSERT_TRUE(a && b);
    LayoutTile pa, pb;
    a->GetLoadPoint(1, pa);
    b->GetLoadPoint(1, pb);
    LayWay(1, pa, pb);
    Finish(1, {a, b});
    const uint32_t y = uint32_t(pa.y);
    Signal* first = CreateSignal(uint32_t(pa.x) + 10, y, 0);
    Signal* second = CreateSignal(uint32_t(pa.x) + 20, y, 0);
    ASSERT_TRUE(first && second);
    RefreshSignalsIfDirty();
    Vehicle* train = Buy(kFirstType + 1);
    ASSERT_NE(train, nullptr);
    ASSERT_TRUE(Schedule(*train, {a, b}));
    const ObjectHandle id = train->GetId();
    auto blocked = [&](Signal* signal) {
        uint32_t mask = 0;
        for (uint32_t d = 0; d < 4; ++d)
            if (signal->directions[d].blocked || signal->directions[d].counter)
                mask |= 1u << d;
        return mask;
    };
    // Between the signals going east, the block ahead of the first is held.
    bool heldBetween = false;
    uint32_t arrivals = 0;
    int32_t lastState = train->GetState();
    for (uint32_t frame = 0; frame < 6000; ++frame) {
        RunFrames(1);
        int32_t x = 0, hy = 0;
        train->GetHeadPosition(x, hy);
        if (train->GetHeading() == 2 && uint32_t(x) > first->x && uint32_t(x) < second->x)
            heldBetween = heldBetween || (blocked(first) & 2) != 0;
        if (train->GetState() == kStateLoading && lastState != kStateLoading)
            ++arrivals;
        lastState = train->GetState();
    }
    EXPECT_TRUE(heldBetween);
    EXPECT_GE(arrivals, 4u) << "the train is held by its own blocks";
    // Sold anywhere, it holds no block any more.
    SellVehicleCommand sell(id, 0);
    game.Post(sell);
    game.DrainCommands();
    EXPECT_EQ(blocked(first), 0u);
    EXPECT_EQ(blocked(second), 0u);
}

TEST_F(VehicleMotionTest, RecomputedSignalBlocksCountTheTrainsInThemAlsoAfterALoad) {
    Station* a = StationOf(1, 10, 10);
    Station* b = StationOf(1, 40, 10);
    ASSERT_TRUE(a && b);
    LayoutTile pa, pb;
    a->GetLoadPoint(1, pa);
    b->GetLoadPoint(1, pb);
    LayWay(1, pa, pb);
    Finish(1, {a, b});
    const uint32_t y = uint32_t(pa.y);
    InstallSignals(game);
    const uint32_t firstId = CreateSignal(uint32_t(pa.x) + 10, y, 0)->id;
    const uint32_t secondId = CreateSignal(uint32_t(pa.x) + 20, y, 0)->id;
    RefreshSignalsIfDirty();
    Vehicle* train = Buy(kFirstType + 1);
    ASSERT_NE(train, nullptr);
    ASSERT_TRUE(Schedule(*train, {a, b}));
    constexpr uint32_t kEast = 1;
    auto between = [&] {
        int32_t x = 0, hy = 0;
        train->GetHeadPosition(x, hy);
        return train->GetHeading() == 2 && uint32_t(x) > GetSignal(firstId)->x + 2 &&
               uint32_t(x) < GetSignal(secondId)->x;
    };
    auto recomputed = [](uint32_t id) {
        RecomputeSignalBlocks();
        const Signal::Direction& dir = GetSignal(id)->directions[kEast];
        return std::pair<int32_t, int32_t>(dir.blocked, dir.counter);
    };
    for (uint32_t frame = 0; frame < 6000 && !between(); ++frame)
        RunFrames(1);
    ASSERT_TRUE(between());
    // The block east of the first signal holds the train; the one past the
    // second is empty.
    EXPECT_EQ(recomputed(firstId).first, 1);
    EXPECT_EQ(recomputed(secondId).first, 0);

    std::vector<uint8_t> saved;
    ASSERT_TRUE(SaveGameToMemory(game, saved));

    // Past the second signal the recount is given back: the first block is
    // free again.
    bool freed = false;
    for (uint32_t frame = 0; frame < 3000 && !freed; ++frame) {
        RunFrames(1);
        int32_t x = 0, hy = 0;
        train->GetHeadPosition(x, hy);
        if (uint32_t(x) > GetSignal(secondId)->x + 2) {
            const Signal::Direction& dir = GetSignal(firstId)->directions[kEast];
            freed = dir.blocked == 0 && dir.counter == 0;
            break;
        }
    }
    EXPECT_TRUE(freed);

    // A loaded game still sees the train in the block.
    ASSERT_TRUE(LoadGameFromMemory(game, saved));
    ASSERT_TRUE(GetSignal(firstId) && GetSignal(secondId));
    EXPECT_EQ(recomputed(firstId).first, 1);
    EXPECT_EQ(recomputed(secondId).first, 0);
}

TEST_F(VehicleMotionTest, AGameSavedMidJourneySavesAgainUnchangedAndGoesOnAsOneRunThrough) {
    Station* a = nullptr;
    Station* b = nullptr;
    ASSERT_NE(SetUpLine(0, a, b), nullptr);
    Station* c = nullptr;
    Station* d = nullptr;
    // A second line, of trains, further down the map.
    c = StationOf(1, 10, 50);
    d = StationOf(1, 40, 50);
    ASSERT_TRUE(c && d);
    LayoutTile pc, pd;
    c->GetLoadPoint(1, pc);
    d->GetLoadPoint(1, pd);
    CreateRoutePlanners();
    RouteNetwork net;
    net.Path(1, {{uint32_t(pc.x), uint32_t(pc.y)}, {uint32_t(pd.x), uint32_t(pd.y)}});
    net.Apply();
    Finish(1, {c, d});
    Vehicle* train = Buy(kFirstType + 1);
    ASSERT_NE(train, nullptr);
    ASSERT_TRUE(Schedule(*train, {c, d}));

    auto hash = [](const std::vector<uint8_t>& bytes) {
        uint32_t h = 0;
        std::string reason;
        EXPECT_TRUE(HashSavedGame(bytes, h, reason)) << reason;
        return h;
    };
    // Both on their way, not at a stop.
    bool underway = false;
    for (uint32_t i = 0; i < 3000 && !underway; ++i) {
        RunFrames(1);
        underway = true;
        for (Vehicle* v : AllVehicles())
            underway = underway && v->GetState() == kStateMoving && !v->GetStationUnderVehicle();
    }
    ASSERT_TRUE(underway);
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

TEST_F(VehicleMotionTest, FindVehicleAtReportsTheHolderOfTheLaneItLooksAt) {
    Station* a = nullptr;
    Station* b = nullptr;
    Vehicle* self = SetUpLine(0, a, b);
    ASSERT_NE(self, nullptr);
    Vehicle* other = Buy(kFirstType);
    ASSERT_NE(other, nullptr);
    ASSERT_TRUE(Schedule(*other, {b, a}));
    RunFrames(4);
    ASSERT_GT(other->GetState(), kStateWaitsPlacing);
    int32_t x = 0, y = 0;
    other->GetHeadPosition(x, y);
    // Lane 0 empty, lane 1 held by the other bus: the answer is its id.
    SetLaneHolder(0, x, y, 0, 0);
    SetLaneHolder(0, x, y, 1, other->GetId());
    const uint32_t heading = other->GetHeadingAt(x, y);
    const uint32_t across = heading == 1 || heading == 4 ? 2 : 1;
    EXPECT_EQ(self->FindVehicleAt(x, y, across), other->GetId());
    // A lane of a vehicle that is gone is cleared, not reported.
    SetLaneHolder(0, x, y, 0, MakeObjectHandle(kCategoryMoving, 500));
    SetLaneHolder(0, x, y, 1, 0);
    EXPECT_EQ(self->FindVehicleAt(x, y, across), 0u);
    EXPECT_EQ(GetLaneHolder(0, x, y, 0), 0u);
}

TEST_F(VehicleMotionTest, PassesByLetsOnlyOncomingAndCrossingTrafficBy) {
    struct Case {
        uint32_t a, b, p, q;
        bool passes;
    };
    const Case cases[] = {
        {2, 2, 8, 8, true},  // head-on along a row
        {1, 1, 4, 4, true},  // head-on along a column
        {2, 2, 2, 2, false}, // same way: the one behind waits
        {1, 1, 2, 2, false}, // across
        {1, 2, 8, 4, true},  // turning off to the right, clear of the own way
        {1, 2, 1, 4, false}, // entering the same way
        {0, 0, 2, 2, false}, // a holder without a heading
    };
    for (const Case& c : cases)
        EXPECT_EQ(PassesBy(c.a, c.b, c.p, c.q), c.passes) << c.a << " " << c.b << " " << c.p << " " << c.q;
}

TEST_F(VehicleMotionTest, CarsAdvanceFromEventToEventAndNotWhenTimeRunsBackwards) {
    Station* a = nullptr;
    Station* b = nullptr;
    Vehicle* train = SetUpLine(1, a, b);
    ASSERT_NE(train, nullptr);
    for (uint32_t i = 0; i < 2000 && train->GetState() != kStateMoving; ++i)
        RunFrames(1);
    ASSERT_EQ(train->GetState(), kStateMoving);
    auto& cars = train->Motion();
    cars.assign(3, {});
    for (uint32_t i = 0; i < 3; ++i) {
        cars[i][kCarLength] = 4;
        cars[i][kCarMode] = 0;
        cars[i][kCarStart] = 1000;
        cars[i][kCarEnd] = 1100;
    }
    const uint32_t tileTime = plat::LoadLE32(train->Block().data() + 100);
    ASSERT_GT(tileTime, 0u);
    // Last update at 5000; a clock at 4000 is behind it: nothing moves.
    const auto before = cars;
    uint8_t* block = const_cast<uint8_t*>(train->Block().data());
    plat::StoreLE32(block + 64, 5000);
    train->AdvanceUnits(4000);
    EXPECT_EQ(cars, before);
    // A jump of an hour of game time finishes each car's squares up to it,
    // at once.
    const uint32_t now = 5000 + 3600000;
    train->AdvanceUnits(now);
    for (const auto& car : cars) {
        EXPECT_GT(car[kCarEnd], now);
        EXPECT_LE(car[kCarStart], now);
        EXPECT_EQ(car[kCarEnd] - car[kCarStart], tileTime);
        EXPECT_EQ((car[kCarStart] - 1100) % tileTime, 0u);
    }
    EXPECT_EQ(plat::LoadLE32(train->Block().data() + 64), now);
}

TEST_F(VehicleMotionTest, TrailLengthsStayWithinTheTrail) {
    Vehicle* v = Buy(kFirstType + 1);
    ASSERT_NE(v, nullptr);
    for (uint32_t tiles : {0u, 1u, 128u, 129u, 255u, 1000u}) {
        v->SetOccupiedLength(tiles);
        EXPECT_GE(v->GetOccupiedLength(), 1u);
        EXPECT_LE(v->GetOccupiedLength(), Vehicle::kTrail) << tiles;
    }
}

TEST_F(VehicleMotionTest, AnAircraftWithNowhereToFlyEndsItsStepBrokenAndIsScrapped) {
    Station* a = nullptr;
    Station* b = nullptr;
    Vehicle* plane = SetUpLine(3, a, b);
    ASSERT_NE(plane, nullptr);
    RunFrames(40);
    const ObjectHandle id = plane->GetId();
    int32_t x = 0, y = 0;
    plane->GetHeadPosition(x, y);
    // Both airports gone: flying on finds no stop.
    DeleteMapObject(a->GetId());
    DeleteMapObject(b->GetId());
    plane->SetState(kStateFlyToNewStation);
    plane->Step();
    EXPECT_EQ(plane->GetState(), kStateBroken);
    int32_t x2 = 0, y2 = 0;
    plane->GetHeadPosition(x2, y2);
    EXPECT_EQ(std::make_pair(x2, y2), std::make_pair(x, y)) << "the step went on after taking off";
    plane->WakeNow();
    UpdateMovingObjects(CurrentGameTimeMs());
    EXPECT_EQ(GetVehicle(id), nullptr);
}

TEST_F(VehicleMotionTest, AnOccupiedPlatformIsNeverTakenAndNoExitRouteLeavesAreaZero) {
    Station* a = nullptr;
    Station* b = nullptr;
    Vehicle* train = SetUpLine(1, a, b);
    ASSERT_NE(train, nullptr);
    // Every platform of the far station is held by others.
    for (uint32_t n = 1; n <= b->LoadAreaCount() && n <= 31; ++n)
        b->SetLoadAreaReserved(n, true);
    RunFrames(3000);
    EXPECT_FALSE(b->HasVehicle(train->GetId()));
    EXPECT_NE(train->GetStationUnderVehicle(), b);
    // A platform comes free: the train takes it and comes in.
    b->SetLoadAreaReserved(1, false);
    bool arrived = false;
    for (uint32_t i = 0; i < 2000 && !arrived; ++i) {
        RunFrames(1);
        arrived = train->GetStationUnderVehicle() == b && train->GetReservedSlot() == 1;
    }
    EXPECT_TRUE(arrived);
    for (uint32_t i = 0; i < 2000 && train->GetState() != kStateLoading; ++i)
        RunFrames(1);
    ASSERT_EQ(train->GetState(), kStateLoading);
    // Planning from a stop without a held area starts at the head itself.
    train->SetReservedSlot(0);
    ASSERT_TRUE(train->PlanRouteToNextStop(true));
    int32_t x = 0, y = 0;
    train->GetHeadPosition(x, y);
    ASSERT_NE(train->GetRoute(), nullptr);
    EXPECT_EQ(train->GetRoute()->Get(0).x, uint32_t(x));
    EXPECT_EQ(train->GetRoute()->Get(0).y, uint32_t(y));
}

} // namespace
