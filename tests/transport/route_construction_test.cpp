#include "transport/route_construction.h"

#include "data/database.h"
#include "data/generated/route_tables.h"
#include "data/generated/terrain_tables.h"
#include "files/chunk_stream.h"
#include "files/memory_stream.h"
#include "gameloop/game.h"
#include "gameloop/new_game.h"
#include "gameloop/route_commands.h"
#include "gameloop/saved_game.h"
#include "gameloop/station_commands.h"
#include "platform/clock.h"
#include "platform/endian.h"
#include "platform/file.h"
#include "transport/build_route_planner.h"
#include "transport/route_command_handlers.h"
#include "transport/route_demolition.h"
#include "transport/signal_commands.h"
#include "transport/special_track.h"
#include "transport/station_construction.h"
#include "transport/station_layout.h"
#include "transport/transport_log.h"
#include "transport/transport_world_hooks.h"
#include "world/bridge_span.h"
#include "world/cell_rows.h"
#include "world/game_clock.h"
#include "world/object_manager.h"
#include "world/player.h"
#include "world/prices.h"
#include "world/world.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr uint32_t kLand = 1, kWater = 2;
constexpr uint16_t kTimberTrack = 1, kRoad = 8, kTrackBridge = 9, kTrackBridgeRamp = 10, kRoadTunnel = 15,
                   kRoadTunnelPortal = 16, kTrackTunnel = 13;
constexpr int64_t kMoney = 100000000;

size_t SpanCount() {
    std::vector<MapObject*> spans;
    GetMapObjects(spans, kSelectCategory, kCategorySpan, 0, 0);
    return spans.size();
}

// A started game on a 64 x 64 map of land with a pond at x 20-23, y 0-41,
// and a town road down column 40; the commands go through the session.
class RouteConstructionTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        std::string database;
        ASSERT_TRUE(plat::ReadWholeFile("gamedata/config/MDConfig.gen", database));
        Database& db = GetDatabase();
        db.Init();
        ASSERT_TRUE(db.Read(database));
        ASSERT_TRUE(db.ApplyAllTables(KindSelector::All));
    }

    void SetUp() override {
        plat::Clock::UseFake(0);
        ConnectWorldModel(game_, hooks_);
        StartGame(game_, 1);
        InstallRouteCommands(game_);
        TerrainRow* land = TerrainTable::GetOrCreateRow(kLand);
        land->IsWater = land->IsNavigable = 0;
        land->CanBuildBuilding = land->CanBuildRoute = 1;
        TerrainRow* water = TerrainTable::GetOrCreateRow(kWater);
        water->IsWater = water->IsNavigable = 1;
        water->CanBuildBuilding = water->CanBuildRoute = 0;
        DeleteAllMapObjects();
        ResetCellRows();
        GetConstructionQueue().Clear();
        WorldMap& map = GetWorldMap();
        map.ResetState();
        map.SetMapSizeNoReset(64, 64);
        for (WorldCell& cell : map.GetGrid())
            cell = WorldCell{};
        for (WorldCell& cell : map.GetGrid())
            cell.SetTerrainIndex(kLand);
        for (uint32_t y = 0; y <= 41; ++y)
            for (uint32_t x = 20; x <= 23; ++x)
                map.CellAt(x, y)->SetTerrainIndex(kWater);
        for (uint32_t y = 0; y < 64; ++y)
            map.PlaceTownRoad(40, y, y == 0 ? 4 : y == 63 ? 1 : 5);
        ASSERT_NE(GetPlayer(0), nullptr);
        GetPlayer(0)->Pay(kMoney - GetPlayer(0)->GetMoney(), -1, 0);
        map.ClearRoadNetworkChanged();
        map.ClearTrackNetworkChanged();
    }
    void TearDown() override { SetRouteCommandHandlers({}); }

    void Run(const GameCommand& command) {
        ASSERT_TRUE(game_.Post(command));
        game_.DrainCommands();
    }
    static int64_t Spent() { return kMoney - GetPlayer(0)->GetMoney(); }
    // Every cell's two words.
    static std::vector<uint64_t> Cells() {
        std::vector<uint64_t> out;
        for (const WorldCell& cell : GetWorldMap().GetGrid())
            out.push_back(uint64_t(cell.word0) << 32 | cell.word1);
        return out;
    }
    // Nothing of the company's is left; the town's road (column 40) may
    // have gone where the company's road ran along it and made it its own.
    static void ExpectNothingOfTheCompanyLeft(const std::vector<uint64_t>& before) {
        const WorldMap& map = GetWorldMap();
        const std::vector<uint64_t> now = Cells();
        for (uint32_t y = 0; y < 64; ++y)
            for (uint32_t x = 0; x < 64; ++x) {
                if (x == 40 || now[y * 64 + x] == before[y * 64 + x])
                    continue;
                ADD_FAILURE() << "left at (" << x << ", " << y << "): kind " << map.GetCellKind(x, y)
                              << ", sub " << map.GetRouteSubKind(x, y) << ", track "
                              << map.GetTrackDirections(x, y) << " row " << map.GetRouteTypeAt(1, x, y)
                              << ", road " << map.GetRoadDirections(x, y) << " row "
                              << map.GetRouteTypeAt(2, x, y) << ", owned "
                              << map.GetEdgeHeightMatchMask(x, y, 0) << ", marks "
                              << map.GetRouteFlagA(1, x, y) << map.GetRouteFlagB(1, x, y)
                              << map.GetRouteFlagA(2, x, y) << map.GetRouteFlagB(2, x, y);
            }
    }
    // Lets the workers finish every queued step.
    static void FinishConstruction() {
        for (uint32_t t = 1; t < 2000 && !GetConstructionQueue().players.empty(); ++t) {
            StepRouteConstruction(t * 1000);
            bool any = false;
            for (const auto& rows : GetConstructionQueue().players)
                for (const auto& record : rows)
                    any = any || !record.jobs.empty();
            if (!any)
                break;
        }
    }

    Game game_;
    TransportWorldHooks hooks_;
};

TEST_F(RouteConstructionTest, PlansADetourAroundWaterAndSnapsADragToAnAxis) {
    SetRoutePlannerPlayer(0);
    // Without flag 8 every tile stays on the start's row or column: the
    // pond blocks the straight line and no detour is allowed.
    EXPECT_EQ(PlanRouteToCompletion(10, 20, 30, 20, kRoad, 0), 0);
    // Free of the axis: around the pond's south end, longer than the
    // straight 30 tiles.
    ASSERT_GT(PlanRouteToCompletion(10, 20, 30, 20, kRoad, 8), 0);
    const std::vector<PlannedTile> tiles = PlannedRouteTiles();
    ASSERT_GT(tiles.size(), 31u);
    for (const PlannedTile& tile : tiles)
        EXPECT_FALSE(GetWorldMap().IsWater(tile.x, tile.y)) << tile.x << "," << tile.y;
    // Every piece joins its neighbours along the path.
    for (size_t i = 1; i < tiles.size(); ++i) {
        const int dx = int(tiles[i].x) - int(tiles[i - 1].x), dy = int(tiles[i].y) - int(tiles[i - 1].y);
        const uint8_t towardsPrevious = dx == 1 ? 8 : dx == -1 ? 2 : dy == 1 ? 1 : 4;
        EXPECT_TRUE(tiles[i].mask & towardsPrevious) << i;
    }
    // A drag with both coordinates changed runs along the larger difference.
    ASSERT_GT(PlanRouteToCompletion(2, 50, 12, 53, kRoad, 0), 0);
    EXPECT_EQ(GetBuildRoutePlanner().to, (PathPoint{12, 50}));
    ASSERT_GT(PlanRouteToCompletion(2, 50, 12, 53, kRoad, 8), 0);
    EXPECT_EQ(GetBuildRoutePlanner().to, (PathPoint{12, 53}));
    // Ends off the map, a goal in the water, a bridge row or no row: nothing.
    EXPECT_EQ(PlanRouteToCompletion(-1, 5, 10, 5, kRoad, 0), 0);
    EXPECT_EQ(PlanRouteToCompletion(2, 5, 64, 5, kRoad, 0), 0);
    EXPECT_EQ(PlanRouteToCompletion(2, 5, 21, 5, kRoad, 0), 0);
    EXPECT_EQ(PlanRouteToCompletion(2, 5, 10, 5, kTrackBridge, 0), 0);
    EXPECT_EQ(PlanRouteToCompletion(2, 5, 10, 5, 900, 0), 0);
    EXPECT_FALSE(ValidatePlannedRoute());
}

// A plan cut into the smallest slices of time finds the same path as one
// run to its end: the clock decides only when the answer comes.
TEST_F(RouteConstructionTest, ASlicedPlanFindsTheSamePath) {
    SetRoutePlannerPlayer(0);
    const int64_t whole = PlanRouteToCompletion(5, 30, 35, 2, kTimberTrack, 8);
    ASSERT_GT(whole, 0);
    const std::vector<PlannedTile> expected = PlannedRouteTiles();

    static uint64_t fakeMicros = 0;
    Pathfinder& pathfinder = *GetBuildRoutePlanner().pathfinder;
    pathfinder.SetClock([] { return ++fakeMicros; });
    pathfinder.SetFlags(Pathfinder::kOptionTimeBudget);
    pathfinder.SetTimeBudget(1);
    int64_t cost = PlanRouteWithPathfinder(5, 30, 35, 2, kTimberTrack, 8);
    uint32_t slices = 1;
    while (cost == 0 && pathfinder.GetState() == Pathfinder::kSearching && slices < 1000000) {
        cost = ContinuePlannedRoute();
        ++slices;
    }
    EXPECT_GT(slices, 1u);
    EXPECT_EQ(cost, whole);
    const std::vector<PlannedTile> sliced = PlannedRouteTiles();
    ASSERT_EQ(sliced.size(), expected.size());
    for (size_t i = 0; i < sliced.size(); ++i) {
        EXPECT_EQ(sliced[i].x, expected[i].x);
        EXPECT_EQ(sliced[i].y, expected[i].y);
        EXPECT_EQ(sliced[i].mask, expected[i].mask);
    }
    // A command plans to the end in one go whatever the budget.
    Run(TrackRouteCommand(5, 50, 35, 50, kTimberTrack, 0, 0));
    EXPECT_NE(GetWorldMap().GetTrackDirections(35, 50), 0u);
    pathfinder.SetClock(nullptr);
}

TEST_F(RouteConstructionTest, BuildThenDemolishLeavesTheCellsAsBefore) {
    const std::vector<uint64_t> before = Cells();
    struct Case {
        uint16_t row;
        int16_t x1, y1, x2, y2;
    };
    for (const Case& c : {Case{kRoad, 10, 45, 30, 45}, Case{kTimberTrack, 5, 50, 5, 60},
                          Case{kTimberTrack, 30, 20, 50, 20}}) {
        SCOPED_TRACE(c.row);
        const int64_t spent = Spent();
        Run(TrackRouteCommand(c.x1, c.y1, c.x2, c.y2, c.row, 0, 0));
        EXPECT_GT(Spent(), spent);
        EXPECT_NE(Cells(), before);
        FinishConstruction();
        Run(BuildRouteCommand(c.x1, c.y1, c.x2, c.y2, c.row, 0));
        EXPECT_EQ(Cells(), before);
    }
    // The town road that the track crossed is the town's as before.
    EXPECT_EQ(GetWorldMap().GetRoadDirections(40, 20), 5u);
}

TEST_F(RouteConstructionTest, ARevertedPreviewLeavesTheCellsAsBeforeAndCostsNothing) {
    const std::vector<uint64_t> before = Cells();
    Run(TrackRouteCommand(30, 10, 50, 10, kTimberTrack, 1, 0));
    EXPECT_EQ(Spent(), 0);
    EXPECT_EQ(GetWorldMap().GetTrackDirections(40, 10), 10u);
    EXPECT_TRUE(GetConstructionQueue().pending.empty());
    Run(BuildRouteCommand(30, 10, 50, 10, kTimberTrack, 1));
    EXPECT_EQ(Cells(), before);
    EXPECT_EQ(Spent(), 0);
    // Another company's revert takes nothing of the player's.
    Run(TrackRouteCommand(30, 12, 38, 12, kTimberTrack, 0, 0));
    BuildRouteCommand foreign(30, 12, 38, 12, kTimberTrack, 1);
    foreign.SetPlayerId(1);
    if (GetPlayer(1)) {
        Run(foreign);
        EXPECT_EQ(GetWorldMap().GetTrackDirections(34, 12), 10u);
    }
}

TEST_F(RouteConstructionTest, ChargesOnlyWhatWasBuilt) {
    struct Case {
        const char* what;
        TrackRouteCommand command;
        bool charged;
    };
    const Case cases[] = {
        {"to the water", TrackRouteCommand(2, 5, 21, 5, kRoad, 0, 0), false},
        {"with a price, to the water", TrackRouteCommand(2, 5, 21, 5, kRoad, 0, 777), false},
        {"off the map", TrackRouteCommand(2, 5, 300, 5, kRoad, 0, 0), false},
        {"a bridge row", TrackRouteCommand(2, 5, 10, 5, kTrackBridge, 0, 0), false},
        {"free of charge", TrackRouteCommand(2, 7, 10, 7, kRoad, 2, 0), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const int64_t spent = Spent();
        Run(c.command);
        EXPECT_EQ(Spent() != spent, c.charged);
    }
    // The given price stands for the planned cost.
    int64_t spent = Spent();
    Run(TrackRouteCommand(2, 9, 10, 9, kRoad, 0, 777));
    EXPECT_EQ(Spent() - spent, 777);
    spent = Spent();
    Run(TrackRouteCommand(2, 11, 10, 11, kRoad, 0, 0));
    EXPECT_EQ(Spent() - spent, 9 * int64_t(GetRouteConstructionCost(kRoad)));
    // A removal that finds nothing of the player's costs nothing.
    spent = Spent();
    Run(BuildRouteCommand(2, 30, 10, 30, kRoad, 0));
    EXPECT_EQ(Spent(), spent);
}

TEST_F(RouteConstructionTest, TheNetworkChangesWhenTheLastStepIsDone) {
    WorldMap& map = GetWorldMap();
    Run(TrackRouteCommand(5, 50, 5, 60, kTimberTrack, 0, 0));
    EXPECT_FALSE(map.TrackNetworkChanged());
    ASSERT_TRUE(IsConstructionPending(0, kTimberTrack));
    EXPECT_TRUE(RblEntryHasRouteType(0, 1));
    EXPECT_FALSE(RblEntryHasRouteType(0, 2));
    EXPECT_TRUE(map.GetRouteFlagA(1, 5, 55));
    uint32_t t = 0;
    for (; t < 100000 && IsConstructionPending(0, kTimberTrack); t += 100) {
        EXPECT_FALSE(map.TrackNetworkChanged()) << t;
        StepRouteConstruction(t);
    }
    EXPECT_FALSE(IsConstructionPending(0, kTimberTrack));
    EXPECT_TRUE(map.TrackNetworkChanged());
    EXPECT_TRUE(GetConstructionQueue().pending.empty());
    for (uint32_t y = 50; y <= 60; ++y)
        EXPECT_FALSE(map.GetRouteFlagA(1, 5, y)) << y;
}

// The worker's edge cases: a row whose worker has no pace, and a build of
// one job with two steps, whose pending count must reach 0 exactly at its
// last step.
TEST_F(RouteConstructionTest, WorkerPaceAndPendingCounts) {
    RouteConstructionWorkerRow* worker = RouteConstructionWorkerTable::FindMutable(0);
    ASSERT_NE(worker, nullptr);
    const RouteConstructionWorkerRow saved = *worker;
    worker->MSPerFrame = 0;
    uint32_t type = 0, interval = 0, fields = 0;
    ASSERT_TRUE(GetConstructionWorker(kRoad, 0, type, interval, fields));
    EXPECT_EQ(interval, 1u);
    Run(TrackRouteCommand(2, 5, 3, 5, kRoad, 0, 0));
    ConstructionQueue& queue = GetConstructionQueue();
    ASSERT_EQ(queue.pending.size(), 1u);
    EXPECT_EQ(queue.pending.begin()->second.steps, 2u);
    StepRouteConstruction(CurrentGameTimeMs());
    StepRouteConstruction(CurrentGameTimeMs() + 1);
    EXPECT_EQ(queue.pending.size(), 1u);
    EXPECT_EQ(queue.pending.begin()->second.steps, 1u);
    EXPECT_FALSE(GetWorldMap().RoadNetworkChanged());
    StepRouteConstruction(CurrentGameTimeMs() + 3);
    EXPECT_TRUE(queue.pending.empty());
    EXPECT_TRUE(GetWorldMap().RoadNetworkChanged());
    *worker = saved;
}

TEST_F(RouteConstructionTest, SaveMidConstructionLoadFinishAndDemolish) {
    const std::vector<uint64_t> before = Cells();
    Run(TrackRouteCommand(10, 50, 30, 50, kRoad, 0, 0));
    Run(TrackRouteCommand(50, 30, 60, 30, kTimberTrack, 0, 0));
    Run(TrackRouteCommand(28, 10, 15, 10, kTrackBridge, 0, 0));
    const uint32_t start = CurrentGameTimeMs();
    // Some steps of each build done, not all.
    for (uint32_t t = start; t < start + 4000; t += 100)
        StepRouteConstruction(t);
    ConstructionQueue& queue = GetConstructionQueue();
    ASSERT_TRUE(IsConstructionPending(0, kRoad));
    ASSERT_GT(queue.players[0][kRoad].index, 0u);
    const uint32_t index = queue.players[0][kRoad].index;
    // The marks of the pieces still to do, which the map's chunks store
    // clear, come back with the queue.
    const auto marks = [] {
        std::vector<bool> out;
        const WorldMap& map = GetWorldMap();
        for (uint32_t y = 0; y < 64; ++y)
            for (uint32_t x = 0; x < 64; ++x)
                out.push_back(map.GetRouteFlagA(1, x, y) || map.GetRouteFlagA(2, x, y));
        return out;
    };
    const std::vector<bool> marked = marks();
    ASSERT_NE(std::count(marked.begin(), marked.end(), true), 0);
    std::vector<uint8_t> saved;
    ASSERT_TRUE(SaveGameToMemory(game_, saved));
    ASSERT_TRUE(LoadGameFromMemory(game_, saved));
    WorldScope scope(game_.GetWorld());
    EXPECT_EQ(marks(), marked);
    ConstructionQueue& loaded = GetConstructionQueue();
    ASSERT_TRUE(IsConstructionPending(0, kRoad));
    EXPECT_EQ(loaded.players[0][kRoad].index, index);
    EXPECT_EQ(loaded.pending.size(), 2u);
    std::vector<uint8_t> again;
    ASSERT_TRUE(SaveGameToMemory(game_, again));
    EXPECT_EQ(again, saved);
    FinishConstruction();
    EXPECT_TRUE(loaded.pending.empty());
    Run(BuildRouteCommand(10, 50, 30, 50, kRoad, 0));
    Run(BuildRouteCommand(50, 30, 60, 30, kTimberTrack, 0));
    Run(BuildRouteCommand(15, 10, 28, 10, kTrackBridge, 0));
    EXPECT_EQ(SpanCount(), 0u);
    EXPECT_EQ(Cells(), before);
}

// Bridges over the pond and a tunnel under the town road: each is laid
// with a piece of its ramp way at both ends, paid for its span and those
// pieces, finished step by step, and demolished back to the bare cells.
TEST_F(RouteConstructionTest, BridgesAndTunnelsAreBuiltStepByStepAndDemolished) {
    const std::vector<uint64_t> before = Cells();
    struct Case {
        const char* what;
        uint16_t row, endRow;
        int16_t x1, y1, x2, y2;
        uint32_t routeType;
    };
    const Case cases[] = {
        {"track bridge over the pond", kTrackBridge, kTrackBridgeRamp, 28, 10, 15, 10, 1},
        {"dragged the other way, off its axis", kTrackBridge, kTrackBridgeRamp, 15, 12, 28, 13, 1},
        {"road tunnel under the town road", kRoadTunnel, kRoadTunnelPortal, 33, 50, 47, 50, 2},
    };
    WorldMap& map = GetWorldMap();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        map.ClearTrackNetworkChanged();
        map.ClearRoadNetworkChanged();
        const int64_t spent = Spent();
        const int32_t high = std::max(c.x1, c.x2), low = std::min(c.x1, c.x2);
        const int64_t price = GetBridgeSpanCost(low + 1, c.y1, high - 1, c.y1, c.row) +
                              2 * int64_t(GetRouteConstructionCost(c.endRow));
        Run(TrackRouteCommand(c.x1, c.y1, c.x2, c.y2, c.row, 0, 0));
        EXPECT_EQ(Spent() - spent, price);
        ASSERT_NE(SpanOnTile(uint32_t(low + 5), uint32_t(c.y1)), nullptr);
        EXPECT_EQ(SpanOnTile(uint32_t(low), uint32_t(c.y1)), nullptr);
        EXPECT_EQ(map.GetRouteDirections(c.routeType, uint32_t(high), uint32_t(c.y1)), 8u);
        EXPECT_EQ(map.GetRouteDirections(c.routeType, uint32_t(low), uint32_t(c.y1)), 2u);
        EXPECT_EQ(map.GetRouteTypeAt(c.routeType, uint32_t(low), uint32_t(c.y1)), c.endRow);
        // Under construction until the worker's last step.
        EXPECT_NE(SpanOnTile(uint32_t(low + 5), uint32_t(c.y1))->GetFlags() & 1u, 0u);
        EXPECT_FALSE(c.routeType == 1 ? map.TrackNetworkChanged() : map.RoadNetworkChanged());
        EXPECT_TRUE(IsConstructionPending(0, c.row));
        FinishConstruction();
        EXPECT_FALSE(IsConstructionPending(0, c.row));
        EXPECT_EQ(SpanOnTile(uint32_t(low + 5), uint32_t(c.y1))->GetFlags() & 1u, 0u);
        EXPECT_TRUE(c.routeType == 1 ? map.TrackNetworkChanged() : map.RoadNetworkChanged());
        // The demolition prices the chain once, however many tiles it spans.
        const int64_t demolition = DemolishRouteRect(low, c.y1, high, c.y1, c.routeType, 0, true);
        EXPECT_EQ(demolition, SpanOnTile(uint32_t(low + 5), uint32_t(c.y1))->GetChainDemolitionCost() +
                                  2 * GetRouteDemolitionCost(c.endRow));
        Run(BuildRouteCommand(low, c.y1, high, c.y1, c.row, 0));
        EXPECT_EQ(SpanCount(), 0u);
        EXPECT_EQ(Cells(), before);
    }
    EXPECT_EQ(map.GetRoadDirections(40, 50), 5u);
}

TEST_F(RouteConstructionTest, ATentativeBridgeIsRevertedWithItsEnds) {
    const std::vector<uint64_t> before = Cells();
    Run(TrackRouteCommand(28, 10, 15, 10, kTrackBridge, 1, 0));
    EXPECT_EQ(Spent(), 0);
    ASSERT_NE(SpanOnTile(21, 10), nullptr);
    EXPECT_EQ(SpanOnTile(21, 10)->GetFlags() & 3u, 3u);
    EXPECT_TRUE(GetConstructionQueue().pending.empty());
    Run(BuildRouteCommand(15, 10, 28, 10, kTrackBridge, 1));
    EXPECT_EQ(SpanCount(), 0u);
    EXPECT_EQ(Cells(), before);
}

TEST_F(RouteConstructionTest, BridgesThatCannotStandAreNotBuilt) {
    const std::vector<uint64_t> before = Cells();
    struct Case {
        const char* what;
        uint16_t row;
        int16_t x1, y1, x2, y2;
    };
    const Case cases[] = {
        {"longer than the row allows", kTrackBridge, 30, 10, 12, 10},
        {"a ramp in the water", kTrackBridge, 19, 10, 31, 10},
        {"an end in the water", kTrackBridge, 22, 10, 35, 10},
        {"too short for two ramps", kTrackBridge, 2, 5, 10, 5},
        {"a bridge along the town road", kTrackBridge, 40, 20, 40, 33},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const int64_t spent = Spent();
        Run(TrackRouteCommand(c.x1, c.y1, c.x2, c.y2, c.row, 0, 0));
        EXPECT_EQ(Spent(), spent);
        EXPECT_EQ(SpanCount(), 0u);
        ExpectNothingOfTheCompanyLeft(before);
    }
}

// Random builds of road, track, bridges and tunnels, some finished and
// some still under construction, with demolitions in between: demolishing
// the whole map at the end leaves no piece of the company's behind.
TEST_F(RouteConstructionTest, RandomBuildsAndDemolitionsLeaveNothingBehind) {
    const std::vector<uint64_t> before = Cells();
    const uint16_t rows[] = {kRoad, kTimberTrack, kTrackBridge, kRoadTunnel};
    for (uint32_t seed = 1; seed <= 6; ++seed) {
        SCOPED_TRACE(seed);
        std::mt19937 random(seed);
        auto coordinate = [&] { return int16_t(random() % 64); };
        for (uint32_t i = 0; i < 25; ++i) {
            const uint16_t row = rows[random() % 4];
            const int16_t x1 = coordinate(), y1 = coordinate();
            int16_t x2 = coordinate(), y2 = coordinate();
            if (random() % 3 == 0) {
                const uint32_t routeType = row == kTimberTrack || row == kTrackBridge ? 1u : 2u;
                DemolishRouteRect(x1, y1, x2, y2, routeType, 0, false);
                continue;
            }
            Run(TrackRouteCommand(x1, y1, x2, y2, row, 0, 0));
            if (random() % 2 == 0)
                FinishConstruction();
        }
        for (uint32_t mode : {1u, 2u, 1u})
            DemolishRouteRect(0, 0, 63, 63, mode, 0, false);
        FinishConstruction();
        EXPECT_EQ(SpanCount(), 0u);
        ExpectNothingOfTheCompanyLeft(before);
    }
}

// Span rows that end in the plain timber track, for the plans that choose
// their own bridges and tunnels; put back as they were afterwards.
class SpanRowsForTimberTrack {
public:
    SpanRowsForTimberTrack() : bridge_(*Row(kTrackBridge)), tunnel_(*Row(kTrackTunnel)) {
        Row(kTrackBridge)->RampIndex = kTimberTrack;
        Row(kTrackTunnel)->RampIndex = kTimberTrack;
    }
    ~SpanRowsForTimberTrack() {
        *Row(kTrackBridge) = bridge_;
        *Row(kTrackTunnel) = tunnel_;
    }
    static RouteBuilderRow* Row(int32_t row) { return RouteBuilderTable::FindMutable(row); }

private:
    RouteBuilderRow bridge_;
    RouteBuilderRow tunnel_;
};

// A plain plan with flag 1 or 2 crosses the pond (x 20-23) on a span of its
// own choice: four ramp tiles each side, an end piece beyond each ramp.
TEST_F(RouteConstructionTest, PlainPlansChooseBridgesAndTunnels) {
    const SpanRowsForTimberTrack rows;
    SpanRowsForTimberTrack::Row(kTrackTunnel)->StartYear = 0;
    const std::vector<uint64_t> before = Cells();
    struct Case {
        const char* what;
        uint16_t flags;
        int32_t bridgeMaxLength;
        // The span row expected on the pond, 0 for no plan at all.
        uint16_t spanRow;
    };
    const Case cases[] = {
        {"bridges allowed", 1, 12, kTrackBridge},
        {"tunnels allowed", 2, 12, kTrackTunnel},
        {"both: the bridge is tried first", 3, 12, kTrackBridge},
        {"the pond is too wide for the bridge row", 1, 11, 0},
        {"no spans asked for", 0, 12, 0},
    };
    WorldMap& map = GetWorldMap();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SpanRowsForTimberTrack::Row(kTrackBridge)->MaxLength = c.bridgeMaxLength;
        SetRoutePlannerPlayer(0);
        const int64_t planned = PlanRouteToCompletion(10, 10, 33, 10, kTimberTrack, c.flags);
        if (c.spanRow == 0) {
            EXPECT_EQ(planned, 0);
            continue;
        }
        // Ramps 16-19, the pond 20-23, ramps 24-27: one chain of 12 tiles.
        const int64_t pieces = 2 * 6 * int64_t(GetRouteConstructionCost(kTimberTrack));
        EXPECT_EQ(planned, GetBridgeSpanCost(16, 10, 27, 10, c.spanRow) + pieces);
        const int64_t spent = Spent();
        Run(GameCommand31(10, 10, 33, 10, kTimberTrack, c.flags));
        EXPECT_EQ(Spent() - spent, planned);
        const BridgeSpan* span = SpanOnTile(21, 10);
        ASSERT_NE(span, nullptr);
        EXPECT_EQ(span->GetRouteType(), c.spanRow);
        EXPECT_EQ(SpanOnTile(15, 10), nullptr);
        EXPECT_EQ(SpanOnTile(28, 10), nullptr);
        // The end pieces face the span; nothing is laid under it.
        EXPECT_EQ(map.GetTrackDirections(15, 10), 10u);
        EXPECT_EQ(map.GetTrackDirections(28, 10), 10u);
        for (uint32_t x = 16; x <= 27; ++x)
            EXPECT_EQ(map.GetTrackDirections(x, 10), 0u) << x;
        EXPECT_TRUE(IsConstructionPending(0, c.spanRow));
        FinishConstruction();
        EXPECT_EQ(SpanOnTile(21, 10)->GetFlags() & 1u, 0u);
        Run(BuildRouteCommand(10, 10, 33, 10, kTimberTrack, 0));
        EXPECT_EQ(SpanCount(), 0u);
        EXPECT_EQ(Cells(), before);
    }
}

// Span measuring: four free ramp tiles, the tiles the middle test passes,
// four free ramp tiles and the tile after them.
TEST_F(RouteConstructionTest, MeasureSpanNeedsRampsOfFreeGround) {
    BuildSearchContext context;
    context.routeType = 1;
    context.wayRow = kTimberTrack;
    struct Case {
        const char* what;
        uint32_t x, y, back;
        uint32_t length;
        SpanSegment rect;
    };
    const Case cases[] = {
        {"eastwards over the pond", 16, 10, 8, 12, {12, 16, 10, 28, 10}},
        {"westwards over the pond", 27, 10, 2, 12, {12, 15, 10, 27, 10}},
        {"a ramp in the water", 17, 10, 8, 0, {}},
        {"nothing to cross", 2, 50, 8, 0, {}},
        {"the ramp leaves the map", 62, 10, 8, 0, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SpanSegment rect;
        EXPECT_EQ(MeasureSpan(
                      c.x, c.y, c.back, CanBridgeOver,
                      [](uint32_t x, uint32_t y, const BuildSearchContext&) { return IsFreeGround(x, y); },
                      context, rect),
                  c.length);
        if (c.length != 0) {
            EXPECT_EQ(rect.x0, c.rect.x0);
            EXPECT_EQ(rect.x1, c.rect.x1);
            EXPECT_EQ(rect.y0, c.rect.y0);
            EXPECT_EQ(rect.y1, c.rect.y1);
        }
    }
    // The rows a plain way's spans are chosen from: the newest that end in
    // it and have come.
    const SpanRowsForTimberTrack rows;
    uint32_t bridge = 0, tunnel = 0;
    ChooseSpanRows(kTimberTrack, 1900, bridge, tunnel);
    EXPECT_EQ(bridge, kTrackBridge);
    EXPECT_EQ(tunnel, kTrackTunnel);
    ChooseSpanRows(kTimberTrack, 1860, bridge, tunnel);
    EXPECT_EQ(tunnel, 0u);
    ChooseSpanRows(kRoad, 1900, bridge, tunnel);
    EXPECT_EQ(bridge, 0u);
}

// A track tunnel under the pond along row 30 (portals at x 11 and 29, end
// pieces at 10 and 30): another way of the same type may come up beside a
// portal only along the tunnel.
TEST_F(RouteConstructionTest, WaysBesideATunnelPortalRunAlongIt) {
    Run(TrackRouteCommand(10, 30, 30, 30, kTrackTunnel, 0, 0));
    ASSERT_NE(SpanOnTile(11, 30), nullptr);
    ASSERT_TRUE(SpanOnTile(11, 30)->IsTunnelEntranceAt(11, 30));
    struct Case {
        const char* what;
        uint16_t row;
        int16_t x1, y1, x2, y2;
        bool planned;
    };
    const Case cases[] = {
        {"track ending above the portal, across the tunnel", kTimberTrack, 11, 24, 11, 29, false},
        {"track leaving from below the portal", kTimberTrack, 11, 31, 11, 37, false},
        {"track above the hidden middle", kTimberTrack, 14, 24, 14, 29, true},
        {"track along the tunnel beside the portal", kTimberTrack, 4, 29, 11, 29, true},
        {"road above a track tunnel's portal", kRoad, 11, 24, 11, 29, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SetRoutePlannerPlayer(0);
        EXPECT_EQ(PlanRouteToCompletion(c.x1, c.y1, c.x2, c.y2, c.row, 0) > 0, c.planned);
    }
}

// What fixes a new way's directions on a tile: a span the search accepted
// (only while spans are asked for, and never under a tunnel plan).
TEST_F(RouteConstructionTest, FixedWayMasksOfAcceptedSpans) {
    BuildSearchContext context;
    context.routeType = 1;
    context.flags = 1;
    context.segments = {{12, 16, 10, 28, 10}, {9, 5, 50, 5, 59}};
    struct Case {
        const char* what;
        uint32_t x, y, flags, spanRow;
        int32_t mask;
    };
    const Case cases[] = {
        {"inside a span along x", 21, 10, 1, 0, 10},
        {"inside a span along y", 5, 55, 2, 0, 5},
        {"outside every span", 21, 11, 1, 0, -1},
        {"spans not asked for", 21, 10, 0, 0, -1},
        {"under a tunnel plan", 21, 10, 1, kTrackTunnel, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        context.flags = c.flags;
        context.spanRow = c.spanRow;
        EXPECT_EQ(GetFixedWayMask(c.x, c.y, 1, &context), c.mask);
    }
    EXPECT_EQ(GetFixedWayMask(21, 10, 1, nullptr), -1);
    // Buildings let no way through, whatever the direction.
    WorldMap& map = GetWorldMap();
    map.SetCellKindAt(50, 10, kCellFootprint);
    for (uint32_t back : {1u, 2u, 4u, 8u}) {
        EXPECT_FALSE(BuildingAllowsStep(50, 10, back, 1)) << back;
        EXPECT_TRUE(BuildingAllowsStep(51, 10, back, 1)) << back;
    }
}

// A free track route (flag 8) with the signal switch on gets a signal on
// every free track neighbour of each four-way tile it makes, paid for.
TEST_F(RouteConstructionTest, SignalsAroundFourWayJunctions) {
    struct Case {
        const char* what;
        uint16_t flags;
        uint8_t signalSwitch;
        uint32_t signals;
    };
    const Case cases[] = {
        {"free route, switch on", 8, 1, 4},
        {"switch off", 8, 0, 0},
        {"not a free route", 0, 1, 0},
    };
    const uint32_t around[4][2] = {{30, 49}, {30, 51}, {29, 50}, {31, 50}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Run(TrackRouteCommand(30, 45, 30, 55, kTimberTrack, 0, 0));
        FinishConstruction();
        SetRoutePlannerPlayer(0);
        SetRoutePlannerSignals(c.signalSwitch);
        const int64_t planned = PlanRouteToCompletion(25, 50, 35, 50, kTimberTrack, c.flags);
        ASSERT_GT(planned, 0);
        const int64_t spent = Spent();
        Run(GameCommand31(25, 50, 35, 50, kTimberTrack, c.flags));
        EXPECT_EQ(Spent() - spent, planned + int64_t(c.signals) * GetSignalPrice(0));
        ASSERT_EQ(GetWorldMap().GetTrackDirections(30, 50), 15u);
        uint32_t placed = 0;
        for (const auto& tile : around)
            placed += GetWorldMap().GetRouteSignal(tile[0], tile[1]) != 0 ? 1 : 0;
        EXPECT_EQ(placed, c.signals);
        // The junction itself, a crossing of the ways, gets none.
        EXPECT_EQ(GetWorldMap().GetRouteSignal(30, 50), 0u);
        FinishConstruction();
        DemolishRouteRect(25, 45, 35, 55, 1, 0, false);
        SetRoutePlannerSignals(0);
    }
}

// A one-tile curve piece of type 7 for the bends of free track routes:
// rails from its top (1) to its right (2), turned by the rotation.
class CurvePieceTest : public RouteConstructionTest {
protected:
    static void SetUpTestSuite() {
        RouteConstructionTest::SetUpTestSuite();
        SpecialTracksRow* curve = SpecialTracksTable::GetOrCreateRow(kCurvePieceType);
        ASSERT_NE(curve, nullptr);
        const auto table = [](std::initializer_list<float> cells) {
            ValueTable t;
            t.Resize(1, uint32_t(cells.size()));
            t.Cells().assign(cells);
            return t;
        };
        curve->AreaDescription = table({1});
        curve->Directions = table({3});
        curve->PathTable = ValueTable();
        curve->PathTable.Resize(2, 1);
        curve->PathTable.Cells().assign({0, 0});
        curve->ConstructionCostMultiplier = 2;
        curve->NrOfRotations = 4;
    }
    // The other suites see the shipped rows again.
    static void TearDownTestSuite() {
        SpecialTracksTable::Clear();
        RouteConstructionTest::SetUpTestSuite();
    }
    // The curve pieces on the rectangle, with their rotations.
    static std::vector<std::array<uint32_t, 3>> Curves(uint32_t x0, uint32_t y0, uint32_t x1, uint32_t y1) {
        std::vector<std::array<uint32_t, 3>> out;
        for (uint32_t y = y0; y <= y1; ++y)
            for (uint32_t x = x0; x <= x1; ++x)
                if (const auto* piece =
                        dynamic_cast<const SpecialTrack*>(GetWorldMap().FindSpecialTrack(x, y));
                    piece && piece->GetType() == kCurvePieceType)
                    out.push_back({x, y, piece->GetRotation()});
        return out;
    }
};

TEST_F(CurvePieceTest, FreeTrackRoutesGetCurvePiecesOnTheirBends) {
    InstallSpecialTracks();
    InstallSignalCommands();
    struct Case {
        const char* what;
        uint16_t flags;
        uint8_t direct;
        bool curve;
    };
    const Case cases[] = {
        {"placed directly", 8 | 16, 1, true},
        {"placed as the special-track build would", 8 | 16, 0, true},
        {"no curves asked for", 8, 1, false},
    };
    int16_t x = 2;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        // An L from (x, 45) to (x + 7, 52): one bend, at (x, 52) or (x + 7, 45).
        SetRoutePlannerPlayer(0);
        SetRoutePlannerDirectPieces(c.direct);
        const int64_t planned = PlanRouteToCompletion(x, 45, x + 7, 52, kTimberTrack, c.flags);
        ASSERT_GT(planned, 0);
        const int64_t spent = Spent();
        Run(GameCommand31(x, 45, x + 7, 52, kTimberTrack, c.flags));
        const auto curves = Curves(uint32_t(x), 45, uint32_t(x) + 7, 52);
        if (!c.curve) {
            EXPECT_TRUE(curves.empty());
            EXPECT_EQ(Spent() - spent, planned);
        } else {
            ASSERT_EQ(curves.size(), 1u);
            const std::array<uint32_t, 3> lowerLeft{uint32_t(x), 52, 0}, upperRight{uint32_t(x) + 7, 45, 2};
            EXPECT_TRUE(curves[0] == lowerLeft || curves[0] == upperRight)
                << curves[0][0] << "," << curves[0][1] << " rotation " << curves[0][2];
            EXPECT_EQ(Spent() - spent,
                      planned + GetSpecialTrackConstructionCost(kCurvePieceType, kTimberTrack));
        }
        SetRoutePlannerDirectPieces(0);
        x += 12;
    }
}

// A track through a rail station's platform: the platform's track with the
// pieces beyond its ends is one run, brought to the new way at once and
// left the station's; another company's station is neither charged for nor
// changed.
TEST_F(RouteConstructionTest, APlanThroughARailStationUpgradesItsLoadingAreaRun) {
    std::string layouts;
    ASSERT_TRUE(plat::ReadWholeFile("gamedata/station_config.txt", layouts));
    GetStationLayouts().Clear();
    ASSERT_EQ(GetStationLayouts().Read(layouts, "station_config.txt"), 0u);
    GetStationHooks() = StationHooks{};
    InstallStations();
    InstallStationCommands();
    BuildStationCommand build(50, 40, 0, 4, 0, 0);
    build.SetPlayerId(0);
    Run(build);
    ASSERT_EQ(AllStations().size(), 1u);
    const Station& station = *AllStations()[0];
    LayoutRect platform;
    ASSERT_TRUE(station.GetLoadAreaRect(1, platform));
    const WorldMap& map = GetWorldMap();
    const uint32_t x = uint32_t(platform.x);
    const uint32_t y0 = uint32_t(platform.y) - 1, y1 = uint32_t(platform.y + platform.h);
    ASSERT_EQ(map.GetCellBuilding(x, y0), station.GetId());
    ASSERT_EQ(map.GetCellBuilding(x, y1), station.GetId());
    const auto runRows = [&] {
        std::vector<uint32_t> rows;
        for (uint32_t y = y0; y <= y1; ++y)
            rows.push_back(map.GetRouteTypeAt(1, x, y));
        return rows;
    };
    const std::vector<uint32_t> before = runRows();
    const int64_t piece = GetRouteConstructionCost(kTimberTrack);
    const int64_t outside = 2 * 5 * piece;
    int64_t runPrice = 0;
    for (uint32_t row : before)
        runPrice += row == kTimberTrack ? 0 : piece - (row != 0 ? GetRouteConstructionCost(int32_t(row)) : 0);

    // Another company's plan runs over the station but leaves it alone.
    SetRoutePlannerPlayer(1);
    ASSERT_EQ(
        PlanRouteToCompletion(int32_t(x), int32_t(y0) - 5, int32_t(x), int32_t(y1) + 5, kTimberTrack, 0),
        outside);
    BuildPlannedRoute();
    EXPECT_EQ(runRows(), before);
    DemolishRouteRect(int32_t(x), int32_t(y0) - 5, int32_t(x), int32_t(y1) + 5, 1, 1, false);

    SetRoutePlannerPlayer(0);
    const int64_t planned =
        PlanRouteToCompletion(int32_t(x), int32_t(y0) - 5, int32_t(x), int32_t(y1) + 5, kTimberTrack, 0);
    EXPECT_EQ(planned, outside + runPrice);
    const int64_t spent = Spent();
    Run(TrackRouteCommand(int16_t(x), int16_t(y0 - 5), int16_t(x), int16_t(y1 + 5), kTimberTrack, 0, 0));
    EXPECT_EQ(Spent() - spent, planned);
    for (uint32_t y = y0; y <= y1; ++y) {
        EXPECT_EQ(map.GetCellBuilding(x, y), station.GetId()) << y;
        EXPECT_EQ(map.GetRouteTypeAt(1, x, y), kTimberTrack) << y;
    }
    EXPECT_NE(map.GetTrackDirections(x, y0 - 1), 0u);
    EXPECT_NE(map.GetTrackDirections(x, y1 + 1), 0u);
    SetStationCommandHandlers({});
}

// The queue's chunks as a route section of the given bytes.
bool LoadQueueSection(const std::vector<uint8_t>& section) {
    std::vector<uint8_t> bytes;
    {
        SaveStreamScope scope;
        std::string text(kSaveHeaderText);
        uint32_t version = kSaveStreamVersion;
        EXPECT_TRUE(BeginSaveStream(OpenMemoryWriteStream(bytes), text, version));
        uint32_t tag = ChunkTag("ROUT");
        BeginChunk(tag);
        std::vector<uint8_t> copy = section;
        TransferInChunk(copy.data(), uint32_t(copy.size()));
        EndChunk();
        EXPECT_TRUE(CloseStream());
    }
    SaveStreamScope scope;
    std::string text;
    uint32_t version = 0;
    EXPECT_TRUE(BeginSaveStream(OpenMemoryReadStream(std::span<const uint8_t>(bytes)), text, version));
    uint32_t tag = 0;
    BeginChunk(tag);
    const bool ok = SerializeRoutePlannerState();
    EndChunk();
    return CloseStream() && ok;
}

void Put32(std::vector<uint8_t>& out, uint32_t v) {
    uint8_t b[4];
    plat::StoreLE32(b, v);
    out.insert(out.end(), b, b + 4);
}
void PutSized32(std::vector<uint8_t>& out, uint32_t v) {
    Put32(out, 4);
    Put32(out, v);
}
// A chunk: its tag (stored as a little-endian number), its size with the
// header, its bytes.
void PutChunk(std::vector<uint8_t>& out, uint32_t tag, const std::vector<uint8_t>& body) {
    Put32(out, tag);
    Put32(out, uint32_t(body.size() + 8));
    out.insert(out.end(), body.begin(), body.end());
}

// "rbl1" of one player, one row (the road), one job of the given steps.
std::vector<uint8_t> QueueSection(uint32_t players, uint32_t index,
                                  const std::vector<ConstructionStep>& steps, uint32_t pendingSteps) {
    std::vector<uint8_t> rbl1, rbl2, section;
    PutSized32(rbl1, players);
    if (players == 1) {
        PutSized32(rbl1, kRoad + 1);
        for (uint32_t r = 0; r <= kRoad; ++r) {
            PutSized32(rbl1, r == kRoad ? index : 0);
            PutSized32(rbl1, 0);
            PutSized32(rbl1, r == kRoad ? 1 : 0);
            if (r == kRoad) {
                Put32(rbl1, uint32_t(steps.size()));
                Put32(rbl1, 28);
                for (const ConstructionStep& s : steps)
                    for (uint32_t w : {s.x, s.y, s.kind, s.handle, s.value, s.buildId, s.spare})
                        Put32(rbl1, w);
            }
        }
    }
    PutSized32(rbl2, 5);
    Put32(rbl2, 1);
    PutSized32(rbl2, 4);
    Put32(rbl2, 8);
    Put32(rbl2, pendingSteps);
    Put32(rbl2, 0x101);
    PutChunk(section, ChunkTag("rbl1"), rbl1);
    PutChunk(section, ChunkTag("rbl2"), rbl2);
    PutChunk(section, 0, {});
    return section;
}

TEST_F(RouteConstructionTest, SavedQueuesAreCheckedBeforeTheyAreTaken) {
    const std::vector<ConstructionStep> good = {{3, 3, 0, 0, 0, 4, 0}, {4, 3, 0, 0, 0, 4, 0}};
    // A good queue is taken, with the pending count of what it holds rather
    // than the file's.
    ASSERT_TRUE(LoadQueueSection(QueueSection(1, 1, good, 99))) << LastTransportWarning();
    ConstructionQueue& queue = GetConstructionQueue();
    EXPECT_EQ(queue.buildCounter, 5u);
    ASSERT_EQ(queue.pending.size(), 1u);
    EXPECT_EQ(queue.pending.at(4).steps, 1u);
    EXPECT_EQ(queue.pending.at(4).trackChanged, 1);
    // Steps off the map or of no kind are dropped, the index kept on its step.
    ASSERT_TRUE(LoadQueueSection(
        QueueSection(1, 2, {{900, 3, 0, 0, 0, 4, 0}, {3, 3, 9, 0, 0, 4, 0}, {5, 3, 0, 0, 0, 4, 0}}, 3)));
    ASSERT_EQ(queue.players[0][kRoad].jobs.size(), 1u);
    EXPECT_EQ(queue.players[0][kRoad].jobs[0].size(), 1u);
    EXPECT_EQ(queue.players[0][kRoad].index, 0u);
    // An index past its job starts the job again.
    ASSERT_TRUE(LoadQueueSection(QueueSection(1, 7, good, 2)));
    EXPECT_EQ(queue.players[0][kRoad].index, 0u);
    EXPECT_EQ(queue.pending.at(4).steps, 2u);
    // Damaged structures are refused and the queue stays as it was.
    std::vector<uint8_t> tooMany = QueueSection(6, 0, {}, 0);
    // Rows beyond any table: the row count's value sits after the chunk
    // header and the player count.
    std::vector<uint8_t> manyRows = QueueSection(1, 0, good, 2);
    plat::StoreLE32(manyRows.data() + 20, 300);
    // A job that announces more steps than its chunk holds.
    std::vector<uint8_t> longJob = QueueSection(1, 0, good, 2);
    plat::StoreLE32(longJob.data() + 8 + 8 + 8 + kRoad * 24 + 24, 5000);
    // Saved marks: a list that announces more than its chunk holds.
    const auto withMarks = [&](uint32_t count, const std::vector<std::array<uint32_t, 3>>& marks) {
        std::vector<uint8_t> section = QueueSection(1, 0, good, 2);
        section.resize(section.size() - 8);
        std::vector<uint8_t> rbl3;
        Put32(rbl3, count);
        Put32(rbl3, 12);
        for (const auto& m : marks)
            for (uint32_t w : m)
                Put32(rbl3, w);
        PutChunk(section, ChunkTag("rbl3"), rbl3);
        PutChunk(section, 0, {});
        return section;
    };
    std::vector<uint8_t> longMarks = withMarks(1000, {{40, 5, 1}});
    for (const std::vector<uint8_t>& bad : {tooMany, manyRows, longJob, longMarks}) {
        EXPECT_FALSE(LoadQueueSection(bad));
        EXPECT_EQ(queue.players[0][kRoad].jobs[0].size(), 2u);
        EXPECT_EQ(queue.buildCounter, 5u);
        EXPECT_FALSE(GetWorldMap().GetRouteFlagA(1, 40, 5));
    }
    // Marks land on ways only; those off the map or off a way are dropped.
    ASSERT_TRUE(LoadQueueSection(withMarks(3, {{40, 5, 4}, {3, 3, 15}, {900, 5, 1}})));
    EXPECT_TRUE(GetWorldMap().GetRouteFlagA(2, 40, 5));
    EXPECT_EQ(GetWorldMap().GetCellKind(3, 3), uint32_t(kCellPlain));
}

} // namespace
