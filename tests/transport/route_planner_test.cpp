#include "transport/route_planner.h"

#include "tests/transport/route_network.h"
#include "tests/world/world_fixture.h"
#include "transport/transport_log.h"

#include "tests/transport/waypoint_tiles.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace {

class RoutePlannerTest : public WorldTest {
protected:
    void SetUp() override {
        WorldTest::SetUp();
        CreateRoutePlanners();
    }

    static uint32_t Find(uint32_t mode, uint32_t x0, uint32_t y0, uint32_t x1, uint32_t y1,
                         WaypointList* list = nullptr, RouteCostCallback callback = nullptr,
                         void* context = nullptr) {
        return GetRoutePlanner(mode)->FindRoute(x0, y0, x1, y1, list, callback, context);
    }
};

using Tile = std::pair<uint32_t, uint32_t>;

TEST_F(RoutePlannerTest, StrategiesOnSmallNetworks) {
    struct Case {
        const char* name;
        uint32_t mode;
        std::vector<std::vector<Tile>> paths;
        Tile from, to;
        uint32_t cost;
    };
    const Case cases[] = {
        // One unbranched stretch: the direct walk counts both end tiles.
        {"same stretch", 0, {{{2, 5}, {12, 5}}}, {4, 5}, {9, 5}, 6},
        {"same stretch, track", 1, {{{2, 5}, {12, 5}}}, {9, 5}, {4, 5}, 6},
        // A junction between them: the walk stops there; the shared
        // neighbour answers with the steps.
        {"junction between", 0, {{{2, 5}, {12, 5}}, {{6, 5}, {6, 1}}}, {4, 5}, {9, 5}, 5},
        // Start on one arm, goal on another of one junction.
        {"shared neighbour", 0, {{{2, 5}, {12, 5}}, {{6, 5}, {6, 1}}}, {3, 5}, {6, 2}, 6},
        // The start is the junction itself.
        {"start on the node", 0, {{{2, 5}, {12, 5}}, {{6, 5}, {6, 1}}}, {6, 5}, {10, 5}, 4},
        // Around a block: two junctions, the goal beyond the second.
        {"graph search",
         0,
         {{{2, 2}, {20, 2}}, {{5, 2}, {5, 10}, {15, 10}, {15, 2}}},
         {3, 2},
         {15, 8},
         2 + 10 + 6},
        // A four-way track crossing is passed straight on only.
        {"four-way straight", 1, {{{5, 10}, {15, 10}}, {{10, 5}, {10, 15}}}, {7, 10}, {13, 10}, 6},
        {"four-way no turn", 1, {{{5, 10}, {15, 10}}, {{10, 5}, {10, 15}}}, {7, 10}, {10, 7}, 0},
        {"four-way turn, road", 0, {{{5, 10}, {15, 10}}, {{10, 5}, {10, 15}}}, {7, 10}, {10, 7}, 6},
        // Nothing joins the two ends.
        {"apart", 0, {{{2, 2}, {8, 2}}, {{2, 6}, {8, 6}}}, {3, 2}, {3, 6}, 0},
        {"off the way", 1, {{{2, 2}, {8, 2}}}, {3, 2}, {3, 3}, 0},
    };
    for (const Case& c : cases) {
        ResetWorld(32, 32);
        CreateRoutePlanners();
        RouteNetwork net;
        for (const auto& path : c.paths)
            for (size_t i = 1; i < path.size(); ++i)
                net.Run(c.mode, path[i - 1].first, path[i - 1].second, path[i].first, path[i].second);
        net.Apply();
        WaypointList list;
        EXPECT_EQ(Find(c.mode, c.from.first, c.from.second, c.to.first, c.to.second, &list), c.cost)
            << c.name;
        if (c.cost == 0) {
            EXPECT_EQ(list.Count(), 0u) << c.name;
            continue;
        }
        // The route runs from the goal back to the start, each segment on
        // one row or column of the way.
        ASSERT_GE(list.Count(), 2u) << c.name;
        EXPECT_EQ(Tiles(list).front(), c.to) << c.name;
        EXPECT_EQ(Tiles(list).back(), c.from) << c.name;
        uint32_t steps = 0;
        list.VisitTiles([&](uint32_t x, uint32_t y, uint8_t, uint8_t mask, uint32_t) {
            if (mask != 0) {
                EXPECT_TRUE(RouteTileUsable(x, y, c.mode) & mask) << c.name << " at " << x << "," << y;
                ++steps;
            }
        });
        EXPECT_GE(steps + 1, c.cost) << c.name;
        for (uint32_t i = 0; i + 1 < list.Count(); ++i)
            EXPECT_EQ(list.GetDirection(i),
                      DirectionBetween(list.Get(i).x, list.Get(i).y, list.Get(i + 1).x, list.Get(i + 1).y))
                << c.name;
    }
}

// The route cost between junctions equals the fewest steps over the tiles.
TEST_F(RoutePlannerTest, CostsMatchTheReferenceOnRandomNetworks) {
    for (uint32_t seed = 1; seed <= 120; ++seed) {
        const uint32_t mode = seed % 2;
        ResetWorld(64, 64);
        CreateRoutePlanners();
        RouteNetwork net;
        net.Lattice(mode, seed, 3 + seed % 5, 55 + seed % 35);
        net.Apply();
        const auto junctions = net.Junctions(mode);
        if (junctions.size() < 2)
            continue;
        std::mt19937 random(seed);
        for (int q = 0; q < 12; ++q) {
            const Tile a = junctions[random() % junctions.size()];
            const Tile b = junctions[random() % junctions.size()];
            if (a == b)
                continue;
            const uint32_t expected = ReferenceRouteSteps(mode, a.first, a.second, b.first, b.second);
            WaypointList list;
            ASSERT_EQ(Find(mode, a.first, a.second, b.first, b.second, &list), expected)
                << "seed " << seed << " mode " << mode << " from " << a.first << "," << a.second << " to "
                << b.first << "," << b.second;
        }
    }
}

uint32_t ForbidTile(uint32_t x, uint32_t y, uint32_t, uint32_t, void* context, uint32_t) {
    const auto* tile = static_cast<const Tile*>(context);
    return x == tile->first && y == tile->second ? kRouteStepForbidden : 0;
}

TEST_F(RoutePlannerTest, CallbackForbidsATileAndTheRouteGoesAround) {
    for (uint32_t mode : {0u, 1u}) {
        ResetWorld(32, 32);
        CreateRoutePlanners();
        RouteNetwork net;
        // Two ways between the junctions (5, 5) and (15, 5): the straight
        // one (10 steps) and a loop through y = 12 (24 steps).
        net.Run(mode, 1, 5, 20, 5);
        net.Path(mode, {{5, 5}, {5, 12}, {15, 12}, {15, 5}});
        net.Apply();
        EXPECT_EQ(Find(mode, 5, 5, 15, 5), 10u) << mode;
        Tile blocked{10, 5};
        EXPECT_EQ(Find(mode, 5, 5, 15, 5, nullptr, ForbidTile, &blocked), 24u) << mode;
        blocked = {10, 12};
        EXPECT_EQ(Find(mode, 5, 5, 15, 5, nullptr, ForbidTile, &blocked), 10u) << mode;
    }
}

TEST_F(RoutePlannerTest, ExcludedSideAtTheGoalNode) {
    // A junction at (10, 10) reached from the west or, around a loop,
    // from the south.
    RouteNetwork net;
    net.Run(1, 2, 10, 14, 10);
    net.Path(1, {{4, 10}, {4, 16}, {10, 16}, {10, 10}});
    net.Apply();
    EXPECT_EQ(Find(1, 4, 10, 10, 10), 6u);
    GetRoutePlanner(1)->SetExcludedDirections(8, 10, 10);
    EXPECT_EQ(Find(1, 4, 10, 10, 10), 18u);
    GetRoutePlanner(1)->SetExcludedDirections(8 | 4, 10, 10);
    EXPECT_EQ(Find(1, 4, 10, 10, 10), 0u);
}

TEST_F(RoutePlannerTest, GraphFollowsNetworkChangesAndKeepsNodeIds) {
    RouteNetwork net;
    net.Run(0, 2, 5, 20, 5);
    net.Run(0, 8, 5, 8, 1);
    net.Apply();
    EXPECT_EQ(Find(0, 3, 5, 8, 2), 8u);
    const uint32_t junction = GetWorldMap().GetTileNodeId(8, 5);
    EXPECT_NE(junction, 0u);
    EXPECT_EQ(Find(0, 3, 5, 3, 10), 0u);

    // A new branch: seen only once the map reports the change.
    RouteNetwork more;
    more.Run(0, 14, 5, 14, 10);
    more.Run(0, 14, 10, 3, 10);
    for (uint32_t x = 0; x < 32; ++x)
        for (uint32_t y = 0; y < 32; ++y)
            if (more.Mask(0, x, y))
                more.Mask(0, x, y) |= uint8_t(GetWorldMap().GetRoadDirections(x, y));
    more.Apply();
    GetWorldMap().ClearRoadNetworkChanged();
    EXPECT_EQ(Find(0, 3, 5, 3, 10), 0u);
    GetWorldMap().MarkRoadNetworkChanged();
    EXPECT_EQ(Find(0, 3, 5, 3, 10), 5u + 6u + 16u);
    EXPECT_FALSE(GetWorldMap().RoadNetworkChanged());
    EXPECT_EQ(GetWorldMap().GetTileNodeId(8, 5), junction);

    // A junction taken away frees its node and its number on the tile.
    GetWorldMap().SetRoadDirections(8, 5, 10);
    GetWorldMap().SetRoadDirections(8, 4, 0);
    GetWorldMap().MarkRoadNetworkChanged();
    Find(0, 3, 5, 3, 10);
    EXPECT_EQ(GetWorldMap().GetTileNodeId(8, 5), 0u);
    EXPECT_EQ(GetRoutePlanner(0)->Node(junction), nullptr);
}

TEST_F(RoutePlannerTest, LoadedNodeNumbersAreTakenOver) {
    RouteNetwork net;
    net.Lattice(0, 7, 4, 80);
    net.Apply();
    GetRoutePlanner(0)->BuildGraph();
    std::vector<uint32_t> ids;
    for (uint32_t y = 0; y < 64; ++y)
        for (uint32_t x = 0; x < 64; ++x)
            ids.push_back(GetWorldMap().GetTileNodeId(x, y));
    // New planners, as after a load: the numbers in the cells stay.
    CreateRoutePlanners();
    EXPECT_EQ(Find(0, 1, 1, 61, 61) != 0, ReferenceRouteSteps(0, 1, 1, 61, 61) != 0);
    size_t i = 0;
    for (uint32_t y = 0; y < 64; ++y)
        for (uint32_t x = 0; x < 64; ++x)
            EXPECT_EQ(GetWorldMap().GetTileNodeId(x, y), ids[i++]) << x << "," << y;
}

TEST_F(RoutePlannerTest, TurnRuleOfTrackTiles) {
    RouteNetwork net;
    net.Run(1, 2, 2, 6, 2);                   // straight along x through (4, 2)
    net.Run(1, 10, 2, 10, 6);                 // straight along y through (10, 4)
    net.Path(1, {{14, 2}, {14, 4}, {16, 4}}); // a curve at (14, 4)
    net.Run(1, 20, 4, 24, 4);
    net.Run(1, 22, 2, 22, 6); // a four-way at (22, 4)
    net.Apply();
    struct Case {
        uint32_t x, y, from, to, penalty;
    };
    const uint32_t no = kRouteStepForbidden;
    const Case cases[] = {
        {4, 2, 2, 2, 0},  {4, 2, 2, 4, no}, {4, 2, 0, 4, 0},   {10, 4, 1, 1, 0},  {10, 4, 1, 2, no},
        {14, 4, 4, 2, 0}, {22, 4, 2, 2, 0}, {22, 4, 2, 1, no}, {22, 4, 4, 8, no},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(RouteStepPenalty(c.x, c.y, c.from, c.to, 1), c.penalty)
            << c.x << "," << c.y << " " << c.from;
        EXPECT_EQ(RouteStepPenalty(c.x, c.y, c.from, c.to, 0), 0u);
    }
}

TEST(RouteNodeMask, SplitAndPlainRules) {
    struct Case {
        uint32_t mask;
        bool split, node;
    };
    const Case cases[] = {
        {0x3, false, true}, {0x1, false, false}, {0x11, false, true}, {0x7, true, true}, {0x5, true, false},
        {0x15, true, true}, {0x50, true, false}, {0x70, true, true},  {0xF, true, true}, {0x0, true, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(IsRouteNodeMask(c.mask, 0, c.split), c.node) << std::hex << c.mask << " " << c.split;
}

// A ring without a junction: walks from it neither hang nor find a way off.
TEST_F(RoutePlannerTest, RingWithoutNodesEnds) {
    RouteNetwork net;
    net.Path(0, {{2, 2}, {10, 2}, {10, 10}, {2, 10}, {2, 2}});
    net.Run(0, 20, 2, 26, 2);
    net.Apply();
    EXPECT_EQ(Find(0, 5, 2, 22, 2), 0u);
    EXPECT_EQ(Find(0, 5, 2, 10, 6), 10u);
}

// More junctions than the cells' 16-bit node field can number: the graph
// stops at 65535 nodes, logs it, and no two tiles share a number.
TEST_F(RoutePlannerTest, NodeCountStaysWithinTheCellField) {
    ResetWorld(512, 512);
    CreateRoutePlanners();
    RouteNetwork net;
    for (uint32_t y = 0; y < 512; ++y)
        net.Run(0, 0, y, 511, y);
    for (uint32_t x = 0; x < 512; ++x)
        net.Run(0, x, 0, x, 511);
    net.Apply();
    const uint32_t warnings = TransportWarningCount();
    RoutePlanner& planner = *GetRoutePlanner(0);
    planner.BuildGraph();
    EXPECT_EQ(planner.NodeCount(), kMaxRouteNodes);
    EXPECT_EQ(TransportWarningCount(), warnings + 1);
    std::vector<uint8_t> seen(kMaxRouteNodes + 1, 0);
    uint32_t numbered = 0;
    for (uint32_t y = 0; y < 512; ++y) {
        for (uint32_t x = 0; x < 512; ++x) {
            const uint32_t id = GetWorldMap().GetTileNodeId(x, y);
            if (id == 0)
                continue;
            ++numbered;
            ASSERT_LE(id, kMaxRouteNodes);
            EXPECT_EQ(seen[id]++, 0) << id;
            EXPECT_EQ(planner.Node(id)->x, x);
            EXPECT_EQ(planner.Node(id)->y, y);
        }
    }
    EXPECT_EQ(numbered, kMaxRouteNodes);
    // Routes among the numbered junctions still come out right.
    EXPECT_EQ(Find(0, 1, 1, 40, 30), ReferenceRouteSteps(0, 1, 1, 40, 30));
}

// A stretch longer than a signed 16-bit length: its cost stays whole.
TEST_F(RoutePlannerTest, LongStretchKeepsItsLength) {
    ResetWorld(2048, 40);
    CreateRoutePlanners();
    RouteNetwork net;
    // A serpentine over 18 rows of 2046 tiles, with a junction at each end.
    for (uint32_t row = 0; row < 18; ++row) {
        const uint32_t y = 2 + 2 * row;
        net.Run(0, 1, y, 2046, y);
        if (row + 1 < 18)
            net.Run(0, row % 2 == 0 ? 2046 : 1, y, row % 2 == 0 ? 2046 : 1, y + 2);
    }
    net.Run(0, 1, 2, 1, 0);
    net.Run(0, 1, 2, 0, 2);
    net.Run(0, 2046, 36, 2047, 36);
    net.Run(0, 2046, 36, 2046, 38);
    net.Apply();
    const uint32_t expected = ReferenceRouteSteps(0, 1, 2, 2046, 36);
    ASSERT_GT(expected, 32767u);
    EXPECT_EQ(Find(0, 1, 2, 2046, 36), expected);
    const RouteGraphNode* node = GetRoutePlanner(0)->Node(GetWorldMap().GetTileNodeId(1, 2));
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(node->length[1], expected);
}

// Node slots grow as junctions come and are reused lowest first.
TEST_F(RoutePlannerTest, NodeSlotsGrowAndAreReused) {
    RoutePlanner planner(0);
    EXPECT_EQ(planner.NodeSlots(), 100u);
    for (uint32_t i = 1; i <= 1000; ++i)
        ASSERT_EQ(planner.AddNode(), i);
    EXPECT_GE(planner.NodeSlots(), 1001u);
    RouteNetwork net;
    net.Run(0, 2, 5, 20, 5);
    net.Run(0, 8, 5, 8, 1);
    net.Apply();
    // Nodes on no junction tile go with the rebuild; the junction takes 1.
    planner.BuildGraph();
    EXPECT_EQ(planner.NodeCount(), 1u);
    EXPECT_EQ(GetWorldMap().GetTileNodeId(8, 5), 1u);
    EXPECT_EQ(planner.AddNode(), 2u);
}

TEST_F(RoutePlannerTest, PlannersPerWorld) {
    EXPECT_NE(GetRoutePlanner(0), nullptr);
    EXPECT_NE(GetRoutePlanner(1), nullptr);
    EXPECT_EQ(GetRoutePlanner(2), nullptr);
    EXPECT_EQ(GetRoutePlanner(1)->Mode(), 1u);
    World other;
    {
        WorldScope scope(other);
        EXPECT_EQ(GetRoutePlanner(0), nullptr);
    }
    DeleteRoutePlanners();
    EXPECT_EQ(GetRoutePlanner(0), nullptr);
}

} // namespace

namespace {

// A way under construction offers what it had before the build, and only
// while the build is marked to keep it.
TEST_F(RoutePlannerTest, WaysUnderConstruction) {
    struct Case {
        uint32_t mode;
        bool flagA, flagB;
        uint32_t savedType, savedDirections;
        uint32_t usable;
        bool passable;
    };
    const Case cases[] = {
        {1, false, false, 0, 0, 10, true}, {1, true, true, 3, 5, 5, true},
        {1, true, false, 3, 5, 0, false},  {1, true, true, 0, 5, 0, false},
        {0, false, false, 0, 0, 10, true}, {0, true, false, 0, 5, 0, true},
        {0, true, true, 3, 5, 5, true},    {0, true, true, 0, 5, 0, false},
        {0, true, false, 0, 0, 0, false},
    };
    for (const Case& c : cases) {
        const uint32_t layer = c.mode == 0 ? 2 : 1;
        Map().SetRouteKind(7, 7, c.mode == 0 ? 2 : 1);
        Map().SetRouteDirections(layer, 7, 7, 10);
        Map().SetRouteFlagA(layer, 7, 7, c.flagA);
        Map().SetRouteFlagB(layer, 7, 7, c.flagB);
        Map().SetSavedRouteType(layer, 7, 7, c.savedType);
        Map().SetSavedDirections(layer, 7, 7, c.savedDirections);
        EXPECT_EQ(RouteTileUsable(7, 7, c.mode), c.usable) << c.mode << c.flagA << c.flagB << c.savedType;
        EXPECT_EQ(RouteTilePassable(7, 7, c.mode), c.passable) << c.mode << c.flagA << c.flagB << c.savedType;
        EXPECT_EQ(RouteTileUsable(7, 7, 1 - c.mode), 0u);
        Map().SetRouteKind(7, 7, 0);
    }
}

} // namespace
