#include "tests/world/world_fixture.h"
#include "transport/path_costs.h"
#include "transport/route_search.h"

#include "data/generated/vehicle_tables.h"
#include "world/player.h"

#include "tests/transport/waypoint_tiles.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace {

class RouteSearchTest : public WorldTest {
protected:
    void SetUp() override {
        WorldTest::SetUp();
        VehicleConstantsTable::Clear();
        VehicleConstantsRow* row = VehicleConstantsTable::GetOrCreateRow(0);
        row->RoutingTurnLeftPenalty = 7;
        row->RoutingPassThroughStationPenalty = 11;
        row->RoutingWrongStationExitPenalty = 13;
        RouteBuilderTable::GetOrCreateRow(1)->RouteType = 1;
    }
    void TearDown() override {
        DeleteAllPlayers();
        WorldTest::TearDown();
    }

    // Water-route cells on a rectangle (inclusive).
    static void Water(uint32_t x0, uint32_t y0, uint32_t x1, uint32_t y1) {
        for (uint32_t y = y0; y <= y1; ++y)
            for (uint32_t x = x0; x <= x1; ++x)
                Map().SetRouteKind(x, y, 4);
    }
    static void Track(uint32_t x, uint32_t y, uint32_t directions) {
        Map().SetRouteKind(x, y, 1);
        Map().SetRouteType(1, x, y, 1);
        Map().SetTrackDirections(x, y, directions);
    }
};

TEST_F(RouteSearchTest, AirRoutesRunDiagonallyThenStraight) {
    struct Case {
        uint32_t fx, fy, tx, ty;
        std::vector<std::pair<uint32_t, uint32_t>> tiles;
        uint32_t cost;
    };
    const Case cases[] = {
        {10, 10, 13, 20, {{10, 10}, {13, 13}, {13, 20}}, 13},
        {10, 10, 10, 20, {{10, 10}, {10, 20}}, 10},
        {20, 20, 15, 15, {{20, 20}, {15, 15}}, 10},
        {20, 20, 12, 17, {{20, 20}, {17, 17}, {12, 17}}, 11},
    };
    for (const Case& c : cases) {
        WaypointList list;
        EXPECT_EQ(
            SearchRouteByMode(kModeAir, c.fx, c.fy, c.tx, c.ty, &list, nullptr, -1, 0, nullptr, nullptr),
            c.cost);
        EXPECT_EQ(Tiles(list), c.tiles) << c.fx << "," << c.fy << " to " << c.tx << "," << c.ty;
        EXPECT_EQ(list.GetValue(0), 0u);
    }
    EXPECT_EQ(DirectAirRoute(1, 1, 5, 5, nullptr), 1u);
}

TEST_F(RouteSearchTest, UnknownModesAndUnbuiltPlannersAnswerNoRoute) {
    WaypointList list;
    for (uint32_t mode : {uint32_t(kModeRoad), uint32_t(kModeTrack), 4u, 99u})
        EXPECT_EQ(SearchRouteByMode(mode, 1, 1, 5, 5, &list, nullptr, 0, 0, nullptr, nullptr), 0u) << mode;
    EXPECT_EQ(list.Count(), 0u);
}

TEST_F(RouteSearchTest, WaterRoutesListTurnsAndAreSearchedOncePerPair) {
    // An L-shaped channel: east along y = 5, then south along x = 30; the
    // eight-neighbour search cuts the corner.
    Water(5, 5, 30, 5);
    Water(30, 5, 30, 25);
    WaypointList list;
    const uint32_t count =
        SearchRouteByMode(kModeWater, 5, 5, 30, 25, &list, nullptr, -1, 0, nullptr, nullptr);
    EXPECT_EQ(count, 4u);
    EXPECT_EQ(Tiles(list), (std::vector<std::pair<uint32_t, uint32_t>>{{5, 5}, {29, 5}, {30, 6}, {30, 25}}));
    EXPECT_FALSE(LastRouteSearch().cached);
    EXPECT_GT(LastRouteSearch().expansions, 0u);
    EXPECT_EQ(LastRouteSearch().cost, 46u);

    WaypointList again;
    EXPECT_EQ(SearchRouteByMode(kModeWater, 5, 5, 30, 25, &again, nullptr, -1, 0, nullptr, nullptr), 4u);
    EXPECT_TRUE(LastRouteSearch().cached);
    EXPECT_EQ(LastRouteSearch().expansions, 0u);
    EXPECT_EQ(Tiles(again), Tiles(list));
    // Without a list the count still comes back.
    EXPECT_EQ(SearchRouteByMode(kModeWater, 5, 5, 30, 25, nullptr, nullptr, -1, 0, nullptr, nullptr), 4u);
    EXPECT_EQ(WaterRouteCacheSize(), 1u);
}

TEST_F(RouteSearchTest, NoWaterRouteIsKeptUntilTheNetworkChanges) {
    Water(5, 5, 10, 5);
    Water(20, 5, 25, 5);
    EXPECT_EQ(SearchRouteByMode(kModeWater, 5, 5, 25, 5, nullptr, nullptr, -1, 0, nullptr, nullptr), 0u);
    EXPECT_EQ(SearchRouteByMode(kModeWater, 5, 5, 25, 5, nullptr, nullptr, -1, 0, nullptr, nullptr), 0u);
    EXPECT_TRUE(LastRouteSearch().cached);
    EXPECT_EQ(WaterRouteCacheSize(), 1u);

    // A new berth joins the two stretches: the kept "no route" must go.
    Water(11, 5, 19, 5);
    NoteWaterNetworkChanged();
    WaypointList list;
    EXPECT_EQ(SearchRouteByMode(kModeWater, 5, 5, 25, 5, &list, nullptr, -1, 0, nullptr, nullptr), 2u);
    EXPECT_EQ(Tiles(list), (std::vector<std::pair<uint32_t, uint32_t>>{{5, 5}, {25, 5}}));

    // Redoing the open-water marking empties the cache as well.
    MarkOpenWaterTiles();
    EXPECT_EQ(WaterRouteCacheSize(), 0u);
}

TEST_F(RouteSearchTest, AWaterSearchOutOfStoreIsNotKeptAsNoRoute) {
    ResetWorld(520, 520);
    Water(0, 0, 519, 519);
    // The goal is walled off, so the search floods every other tile: more
    // than the store may hold.
    Map().SetRouteKind(518, 519, 0);
    Map().SetRouteKind(519, 518, 0);
    Map().SetRouteKind(518, 518, 0);
    WaterRoutePathfinder().SetStoreLimit(Pathfinder::kDirectSlots);
    EXPECT_EQ(SearchRouteByMode(kModeWater, 0, 0, 519, 519, nullptr, nullptr, -1, 0, nullptr, nullptr), 0u);
    EXPECT_TRUE(WaterRoutePathfinder().StoreFull());
    EXPECT_EQ(WaterRouteCacheSize(), 0u);
    WaterRoutePathfinder().SetStoreLimit(Pathfinder::kDefaultStoreLimit);
    EXPECT_EQ(SearchRouteByMode(kModeWater, 0, 0, 519, 519, nullptr, nullptr, -1, 0, nullptr, nullptr), 0u);
    EXPECT_FALSE(WaterRoutePathfinder().StoreFull());
    EXPECT_EQ(WaterRouteCacheSize(), 1u);
}

TEST_F(RouteSearchTest, OpenWaterNeedsFourWaterTilesEachWay) {
    for (uint32_t y = 10; y < 30; ++y)
        for (uint32_t x = 10; x < 30; ++x)
            SetTerrainOfCell(x, y, kWater);
    MarkOpenWaterTiles();
    EXPECT_EQ(Map().GetCellKind(14, 14), uint32_t(kCellWaterway));
    EXPECT_EQ(Map().GetCellKind(25, 25), uint32_t(kCellWaterway));
    EXPECT_EQ(Map().GetCellKind(13, 20), uint32_t(kCellPlain));
    EXPECT_EQ(Map().GetCellKind(26, 20), uint32_t(kCellPlain));
    EXPECT_EQ(TileUsableForMode(14, 14, kModeWater, 15, 0), 6u);
    EXPECT_EQ(TileUsableForMode(20, 20, kModeWater, 15, 0), 15u);
    EXPECT_EQ(TilePassableForMode(13, 20, kModeWater, 15, 0), 0u);
}

TEST_F(RouteSearchTest, JunctionsChargeTheLeftTurn) {
    struct Case {
        uint32_t directions;
        uint8_t leaving;
        uint32_t cost;
    };
    // Arriving eastwards (2): north (1) is the left turn.
    const Case cases[] = {
        {1 | 2 | 8, 1, 7}, // left branch taken
        {1 | 2 | 8, 2, 0}, // straight on past a left branch
        {2 | 4 | 8, 2, 7}, // no left branch: straight on counts as left
        {2 | 4 | 8, 4, 0}, // right turn
        {2 | 8, 2, 0},     // no junction
    };
    RouteStepContext context{nullptr, 0};
    for (const Case& c : cases) {
        Track(20, 20, c.directions);
        EXPECT_EQ(RouteStepCheck(20, 20, 2, c.leaving, &context, kModeTrack), c.cost)
            << c.directions << " leaving " << int(c.leaving);
    }
    Map().SetTrackDirections(20, 20, 0);
    EXPECT_EQ(RouteStepCheck(20, 20, 2, 2, &context, kModeTrack), kRouteCostImpossible);
}

TEST_F(RouteSearchTest, ForeignTrackIsImpassableAndVehicleKindsNeedTheirTrack) {
    AddPlayer(std::make_unique<Player>(0), false);
    AddPlayer(std::make_unique<Player>(1), false);
    Track(20, 20, 2 | 8);
    Map().SetEdgeHeights(20, 20, 1, 15);
    RouteStepContext mine{nullptr, 0};
    RouteStepContext theirs{nullptr, 1};
    EXPECT_EQ(RouteStepCheck(20, 20, 2, 2, &mine, kModeTrack), kRouteCostImpossible);
    EXPECT_EQ(RouteStepCheck(20, 20, 2, 2, &theirs, kModeTrack), 0u);
    // A slot without a player owns nothing.
    Map().SetEdgeHeights(20, 20, 3, 15);
    EXPECT_EQ(RouteStepCheck(20, 20, 2, 2, &mine, kModeTrack), 0u);

    RouteVehicle electric{7, 0, 0};
    RouteStepContext withVehicle{&electric, 3};
    EXPECT_EQ(RouteStepCheck(20, 20, 2, 2, &withVehicle, kModeTrack), kRouteCostImpossible);
    RouteBuilderTable::GetOrCreateRow(1)->OverheadLine = 1;
    EXPECT_EQ(RouteStepCheck(20, 20, 2, 2, &withVehicle, kModeTrack), 0u);
}

// A planner that answers with the callback's cost of one step at each end.
class ProbePlanner : public RoutePlanner {
public:
    explicit ProbePlanner(uint32_t aMode) : RoutePlanner(aMode), mode(aMode) {}
    uint32_t FindRoute(uint32_t fromX, uint32_t fromY, uint32_t toX, uint32_t toY, WaypointList* list,
                       TileCostFn tileCost, void* context) override {
        from = {fromX, fromY};
        to = {toX, toY};
        if (list)
            list->Add(fromX, fromY);
        if (!tileCost)
            return 1;
        atFrom = tileCost(fromX, fromY, 2, 2, context, mode);
        atTo = tileCost(toX, toY, 2, 2, context, mode);
        return 1;
    }
    uint32_t mode;
    std::pair<uint32_t, uint32_t> from, to;
    uint32_t atFrom = 0, atTo = 0;
};

TEST_F(RouteSearchTest, ExcludedDirectionsAndExtraCostsWrapThePlannersCallback) {
    auto road = std::make_unique<ProbePlanner>(kModeRoad);
    auto track = std::make_unique<ProbePlanner>(kModeTrack);
    ProbePlanner& roadProbe = *road;
    ProbePlanner& trackProbe = *track;
    SetRoutePlanner(kModeRoad, std::move(road));
    SetRoutePlanner(kModeTrack, std::move(track));
    Track(3, 3, 2 | 8);
    Track(9, 9, 2 | 8);

    // The planners search from the destination back to the start.
    EXPECT_EQ(SearchRouteByMode(kModeRoad, 3, 3, 9, 9, nullptr, nullptr, -1, 2, nullptr, nullptr), 1u);
    EXPECT_EQ(roadProbe.from, (std::pair<uint32_t, uint32_t>{9, 9}));
    EXPECT_EQ(roadProbe.atFrom, kRouteCostImpossible); // road: at the destination
    EXPECT_EQ(roadProbe.atTo, 0u);

    EXPECT_EQ(SearchRouteByMode(kModeTrack, 3, 3, 9, 9, nullptr, nullptr, 0, 2, nullptr, nullptr), 1u);
    EXPECT_EQ(trackProbe.atTo, kRouteCostImpossible); // track: at the start
    EXPECT_EQ(trackProbe.atFrom, 0u);

    // An extra cost too large for its 16 bits stays a forbidden step.
    auto huge = [](uint32_t, uint32_t, uint32_t, uint32_t, void*, uint32_t) -> uint32_t { return 100000; };
    auto small = [](uint32_t, uint32_t, uint32_t, uint32_t, void*, uint32_t) -> uint32_t { return 5; };
    SearchRouteByMode(kModeTrack, 3, 3, 9, 9, nullptr, nullptr, 0, 0, huge, nullptr);
    EXPECT_EQ(trackProbe.atFrom, kRouteCostImpossible);
    SearchRouteByMode(kModeTrack, 3, 3, 9, 9, nullptr, nullptr, 0, 0, small, nullptr);
    EXPECT_EQ(trackProbe.atFrom, 5u);
    SetRoutePlanner(kModeRoad, nullptr);
    EXPECT_EQ(SearchRouteByMode(kModeRoad, 3, 3, 9, 9, nullptr, nullptr, -1, 0, nullptr, nullptr), 0u);
}

TEST_F(RouteSearchTest, TwoWorldsKeepTheirOwnWaterCaches) {
    Water(5, 5, 20, 5);
    EXPECT_EQ(SearchRouteByMode(kModeWater, 5, 5, 20, 5, nullptr, nullptr, -1, 0, nullptr, nullptr), 2u);
    World other;
    {
        WorldScope scope(other);
        other.Map().SetMapSize(64, 64);
        EXPECT_EQ(WaterRouteCacheSize(), 0u);
        EXPECT_EQ(SearchRouteByMode(kModeWater, 5, 5, 20, 5, nullptr, nullptr, -1, 0, nullptr, nullptr), 0u);
    }
    EXPECT_EQ(SearchRouteByMode(kModeWater, 5, 5, 20, 5, nullptr, nullptr, -1, 0, nullptr, nullptr), 2u);
}

} // namespace
