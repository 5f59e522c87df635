// The paths a schedule gives its train between two rail stations on a
// straight line with a loop beside it: planned along the stored route or
// straight, checked against the map, and around a broken stretch.
#include "data/database.h"
#include "data/generated/route_tables.h"
#include "gameloop/game.h"
#include "gameloop/new_game.h"
#include "platform/clock.h"
#include "platform/file.h"
#include "tests/transport/route_network.h"
#include "transport/route_planner.h"
#include "transport/station.h"
#include "transport/station_construction.h"
#include "transport/station_layout.h"
#include "vehicles/schedule.h"
#include "vehicles/vehicle_services.h"
#include "world/object_manager.h"
#include "world/world_map.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct SchedulePathsTest : testing::Test {
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

    SchedulePathsTest() {
        plat::Clock::UseFake(0);
        ConnectWorldModel(game, hooks);
        InstallStations();
        InstallVehicles(game);
        StartGame(game, 9);
        GetWorldMap().SetMapSizeNoReset(64, 64);
    }
    ~SchedulePathsTest() override { DeleteAllMapObjects(); }

    static Station* RailStation(int32_t x, int32_t y) {
        for (int32_t kind = 0; kind < StationTable::RowCount(); ++kind) {
            const StationRow* row = StationTable::Find(kind);
            if (!row || row->ConnectionType != 1)
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

    // Stations a and b joined by a straight track from a's first load
    // point to b's, with a loop north of it from x 20 to x 30; a schedule
    // keeping routes between them.
    bool SetUpLine() {
        a = RailStation(10, 10);
        b = RailStation(40, 10);
        if (!a || !b || !a->GetLoadPoint(1, pa) || !b->GetLoadPoint(1, pb) || pa.y != pb.y || pa.y < 8)
            return false;
        y = uint32_t(pa.y);
        CreateRoutePlanners();
        RouteNetwork net;
        net.Path(1, {{uint32_t(pa.x), y}, {uint32_t(pb.x), y}});
        net.Path(1, {{20, y}, {20, y - 4}, {30, y - 4}, {30, y}});
        net.Apply();
        for (Station* station : {a, b}) {
            UpdateMapTiles(*station);
            station->PlaceFootprint(false);
        }
        RebuildRoutePlannerGraph(1);
        schedule = std::make_unique<VehicleSchedule>(true, 0);
        schedule->SetMode(1);
        schedule->InsertStationStop(0, a->GetId(), 0, 1);
        schedule->InsertStationStop(1, b->GetId(), 0, 1);
        return schedule->GetRoute(0) != nullptr;
    }

    // Breaks the straight line at x.
    void Break(uint32_t x, uint32_t dy = 0) {
        GetWorldMap().ResetCell(x, y - dy);
        GetWorldMap().MarkTrackNetworkChanged();
        RebuildRoutePlannerGraph(1);
    }

    static bool Passes(const WaypointList& list, uint32_t x, uint32_t y) {
        bool met = false;
        list.VisitTiles(
            [&](uint32_t tx, uint32_t ty, uint8_t, uint8_t, uint32_t) { met = met || (tx == x && ty == y); });
        return met;
    }
    static bool EndsAt(const WaypointList& list, const LayoutTile& tile) {
        return list.Count() > 0 && list.Get(list.Count() - 1).x == uint32_t(tile.x) &&
               list.Get(list.Count() - 1).y == uint32_t(tile.y);
    }

    Game game;
    VehicleWorldHooks hooks;
    Station* a = nullptr;
    Station* b = nullptr;
    LayoutTile pa, pb;
    uint32_t y = 0;
    std::unique_ptr<VehicleSchedule> schedule;
};

TEST_F(SchedulePathsTest, AVehiclesPathFollowsTheStoredRouteOrIsSearched) {
    ASSERT_TRUE(SetUpLine());
    const uint32_t point = schedule->GetStopLoadPoint(1);
    LayoutTile goal;
    ASSERT_TRUE(b->GetLoadPoint(point, goal));
    struct Case {
        const char* what;
        bool useStored;
        bool force;
        int32_t startX; // -1: from the stop's load point
    };
    const Case cases[] = {
        {"from the stop, searched with the stored route", true, false, -1},
        {"from the stop, the route computed anew first", true, true, -1},
        {"from a tile on the route: its rest", false, false, 25},
        {"from the loop, off the route: searched", false, false, 20},
    };
    for (const Case& c : cases) {
        WaypointList path;
        if (c.startX >= 0)
            path.Add(uint32_t(c.startX), c.startX == 20 ? y - 4 : y);
        ASSERT_TRUE(schedule->PlanVehiclePath(0, 1, path, 0, c.useStored, c.force)) << c.what;
        EXPECT_TRUE(EndsAt(path, goal)) << c.what;
        EXPECT_TRUE(Passes(path, 35, y)) << c.what;
    }
    // A schedule without routes goes straight to a point of the station.
    VehicleSchedule plain(false, 0);
    plain.SetMode(1);
    plain.InsertStationStop(0, a->GetId(), 0, 1);
    plain.InsertStationStop(1, b->GetId(), 0, 1);
    WaypointList path;
    ASSERT_TRUE(plain.PlanVehiclePath(0, 1, path, 0, true, false));
    EXPECT_EQ(path.Get(path.Count() - 1).y, y);
    // No way to the stop: false, the path as it was.
    Break(35);
    WaypointList kept;
    kept.Add(25, y);
    EXPECT_FALSE(schedule->PlanVehiclePath(0, 1, kept, 0, true, true));
    ASSERT_EQ(kept.Count(), 1u);
    EXPECT_EQ(kept.Get(0).x, 25u);
}

TEST_F(SchedulePathsTest, ABrokenRouteIsComputedAnewOrReportedAndAStuckVehicleIsLedAroundIt) {
    ASSERT_TRUE(SetUpLine());
    ASSERT_TRUE(schedule->ValidateRoute(0));
    EXPECT_FALSE(Passes(*schedule->GetRoute(0), 25, y - 4));
    // A break between the loop's ends: the route takes the loop.
    Break(25);
    ASSERT_TRUE(schedule->ValidateRoutesFrom(0));
    ASSERT_NE(schedule->GetRoute(0), nullptr);
    EXPECT_TRUE(Passes(*schedule->GetRoute(0), 25, y - 4));
    EXPECT_FALSE(Passes(*schedule->GetRoute(0), 25, y));
    // A break where no loop helps: no route can be made.
    Break(35);
    EXPECT_FALSE(schedule->ValidateRoute(0));
}

TEST_F(SchedulePathsTest, AStuckVehicleTakesTheLoopToALaterPointOfItsRoute) {
    ASSERT_TRUE(SetUpLine());
    Break(25);
    struct Case {
        const char* what;
        uint32_t x;
        bool found;
    };
    const Case cases[] = {
        // Before the loop: on to the far stop, never back along the route.
        {"ahead of the loop", 18, true},
        {"past the loop", 32, true},
    };
    for (const Case& c : cases) {
        WaypointList path;
        path.Add(c.x, y);
        EXPECT_EQ(schedule->Detour(0, c.x, y, path), c.found) << c.what;
        if (!c.found)
            continue;
        EXPECT_EQ(path.Get(0).x, c.x) << c.what;
        EXPECT_TRUE(EndsAt(path, pb)) << c.what;
        EXPECT_FALSE(Passes(path, c.x - 1, y)) << c.what;
    }
    // With the loop broken too there is no way on: the path stays as it was.
    Break(25, 4);
    WaypointList path;
    path.Add(19, y);
    EXPECT_FALSE(schedule->Detour(0, 19, y, path));
    EXPECT_EQ(path.Count(), 1u);
}

} // namespace
