#include "tests/sanitizer_build.h"
#include "tests/transport/grid_fixture.h"
#include "tests/transport/reference_astar.h"
#include "transport/path_costs.h"
#include "transport/pathfinder.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <set>
#include <span>
#include <string>
#include <vector>

namespace {

std::vector<PathPoint> Points(const std::vector<PathStep>& path) {
    std::vector<PathPoint> points;
    for (const PathStep& step : path)
        points.push_back(PathPoint{step.x, step.y});
    return points;
}

// Every step of the path is one move between neighbours onto a free tile.
void ExpectConnected(const TestGrid& grid, const std::vector<PathStep>& path, PathPoint start,
                     PathPoint goal) {
    ASSERT_FALSE(path.empty());
    EXPECT_TRUE(Points(path).front() == goal);
    EXPECT_TRUE(Points(path).back() == start);
    for (size_t i = 0; i + 1 < path.size(); ++i) {
        EXPECT_LE(std::abs(path[i].x - path[i + 1].x), 1);
        EXPECT_LE(std::abs(path[i].y - path[i + 1].y), 1);
        EXPECT_FALSE(grid.Blocked(path[i].x, path[i].y));
    }
}

class PathfinderTest : public ::testing::Test {
protected:
    std::unique_ptr<Pathfinder> finder = std::make_unique<Pathfinder>();
};

// On seeded grids of every kind the pathfinder finds the same cost, path and
// number of expansions as the plain A* over the whole grid: the store has
// room for these searches, so nothing may differ.
TEST_F(PathfinderTest, MatchesPlainAStarOnSeededGrids) {
    finder->SetFlags(0);
    uint32_t found = 0;
    for (uint32_t seed = 1; seed <= 200; ++seed) {
        std::mt19937 random(seed);
        const int32_t w = 40 + int32_t(random() % 160);
        const int32_t h = 40 + int32_t(random() % 160);
        TestGrid grid(w, h);
        const PathPoint start{int32_t(random() % uint32_t(w)), int32_t(random() % uint32_t(h))};
        const PathPoint goal{int32_t(random() % uint32_t(w)), int32_t(random() % uint32_t(h))};
        const uint32_t kind = seed % 4;
        if (kind == 3) {
            grid.FillMaze(seed);
            grid.Block(start.x, start.y, false);
            grid.Block(goal.x, goal.y, false);
        } else {
            grid.FillRandom(seed, kind == 0 ? 0 : kind == 1 ? 20 : 35, start, goal);
        }
        if (seed % 5 == 0) {
            grid.weight.resize(grid.blocked.size());
            for (uint8_t& weight : grid.weight)
                weight = uint8_t(random() % 6);
        }
        const uint32_t neighbours = seed % 2 ? 4 : 8;
        AttachGrid(*finder, grid);
        ASSERT_EQ(finder->Setup(start, goal, grid.Rect(), neighbours), Pathfinder::kReady) << "seed " << seed;
        const int32_t state = finder->Search(false);
        ReferenceAStar reference(w, h);
        const ReferenceAStar::Result expected =
            reference.Run(start, goal, neighbours, GridStepCheck, GridStepCost, ManhattanDistance, &grid);
        ASSERT_EQ(state == Pathfinder::kGoalReached, expected.found) << "seed " << seed;
        EXPECT_FALSE(finder->StoreFull());
        if (!expected.found)
            continue;
        ++found;
        EXPECT_EQ(finder->GetPath().front().g, expected.cost) << "seed " << seed;
        EXPECT_TRUE(Points(finder->GetPath()) == expected.path) << "seed " << seed;
        EXPECT_EQ(finder->Expansions(), expected.expansions) << "seed " << seed;
        ExpectConnected(grid, finder->GetPath(), start, goal);
    }
    EXPECT_GT(found, 120u);
}

// A wall across a 2048 x 2048 map with one gap near its far end: the
// detour leaves the 512 x 512 key window, so tiles share slots of the direct
// table. The search still finds the plain A*'s path.
TEST_F(PathfinderTest, FindsPathsWhereTheDirectTableAliases) {
    struct Case {
        const char* name;
        PathPoint start;
        PathPoint goal;
        uint32_t neighbours;
    };
    const Case cases[] = {
        {"four neighbours", {900, 1000}, {1200, 1000}, 4},
        {"eight neighbours", {900, 1000}, {1200, 1010}, 8},
        // Too far apart for any key window: searched all the same.
        {"across the map", {100, 100}, {1900, 1800}, 8},
    };
    TestGrid grid(2048, 2048);
    for (int32_t y = 0; y < 2040; ++y)
        grid.Block(1050, y);
    finder->SetFlags(0);
    ReferenceAStar reference(grid.w, grid.h);
    // Each case searches half the map: the sanitizer build checks the first.
    for (const Case& c : std::span(cases, kSanitizerBuild ? 1 : std::size(cases))) {
        AttachGrid(*finder, grid);
        ASSERT_EQ(finder->Setup(c.start, c.goal, grid.Rect(), c.neighbours), Pathfinder::kReady) << c.name;
        ASSERT_EQ(finder->Search(false), Pathfinder::kGoalReached) << c.name;
        const auto expected = reference.Run(c.start, c.goal, c.neighbours, GridStepCheck, GridStepCost,
                                            ManhattanDistance, &grid);
        ASSERT_TRUE(expected.found);
        EXPECT_EQ(finder->GetPath().front().g, expected.cost) << c.name;
        EXPECT_TRUE(Points(finder->GetPath()) == expected.path) << c.name;
        ExpectConnected(grid, finder->GetPath(), c.start, c.goal);
        // The path itself holds tiles of one key (512 apart): a directly keyed
        // store alone would have dropped one of them.
        std::set<uint32_t> keys;
        bool aliased = false;
        for (const PathStep& step : finder->GetPath())
            aliased |= !keys.insert(((step.x & 511u) << 9) | (step.y & 511u)).second;
        EXPECT_TRUE(aliased) << c.name;
    }
}

// A store that fills up ends the search as "no path" but says so, unlike a
// search whose open list ran empty.
TEST_F(PathfinderTest, FullStoreIsToldApartFromNoPath) {
    TestGrid grid(1024, 1024);
    // The goal is walled in: every reachable tile is visited before the
    // search can give up.
    for (int32_t d = -1; d <= 1; ++d) {
        grid.Block(1000 + d, 999);
        grid.Block(1000 + d, 1001);
        grid.Block(999, 1000 + d);
        grid.Block(1001, 1000 + d);
    }
    AttachGrid(*finder, grid);
    finder->SetFlags(0);
    finder->SetStoreLimit(Pathfinder::kDirectSlots);
    ASSERT_EQ(finder->Setup({600, 600}, {1000, 1000}, grid.Rect(), 4), Pathfinder::kReady);
    EXPECT_EQ(finder->Search(false), Pathfinder::kNoPath);
    EXPECT_TRUE(finder->StoreFull());

    TestGrid small(64, 64);
    for (int32_t y = 0; y < 64; ++y)
        small.Block(32, y);
    AttachGrid(*finder, small);
    std::vector<std::string> messages;
    finder->SetLogSink([&](const std::string& message) { messages.push_back(message); });
    finder->SetLogging(true);
    ASSERT_EQ(finder->Setup({3, 3}, {60, 60}, small.Rect(), 4), Pathfinder::kReady);
    EXPECT_EQ(finder->Search(false), Pathfinder::kNoPath);
    EXPECT_FALSE(finder->StoreFull());
    EXPECT_EQ(messages, std::vector<std::string>{"Pathfinder - No Path Found: (3,3) -> (60,60)"});
}

// Step costs the callbacks get wrong must not shorten or cheapen a path.
TEST_F(PathfinderTest, ExtremeStepCostsKeepThePathWhole) {
    TestGrid grid(20, 20);
    AttachGrid(*finder, grid);
    finder->SetFlags(0);

    // A zero cost would leave a record with g 0 that the path ends at.
    grid.zeroCost = true;
    ASSERT_EQ(finder->Setup({2, 2}, {12, 2}, grid.Rect(), 4), Pathfinder::kReady);
    ASSERT_EQ(finder->Search(false), Pathfinder::kGoalReached);
    EXPECT_EQ(finder->GetPath().size(), 11u);
    EXPECT_TRUE(Points(finder->GetPath()).back() == (PathPoint{2, 2}));

    // A cost near 2^32 would wrap to a cheap step in 32 bits.
    grid.zeroCost = false;
    grid.fixedCost = UINT32_MAX;
    ASSERT_EQ(finder->Setup({2, 2}, {12, 2}, grid.Rect(), 4), Pathfinder::kReady);
    EXPECT_EQ(finder->Search(false), Pathfinder::kNoPath);
    EXPECT_FALSE(finder->StoreFull());
}

TEST(RouteCosts, CombinedCostsSaturateAtImpossible) {
    EXPECT_EQ(AddRouteCosts(100000, 0), kRouteCostImpossible);
    EXPECT_EQ(AddRouteCosts(40000, 20000), kRouteCostImpossible);
    EXPECT_EQ(AddRouteCosts(UINT32_MAX, UINT32_MAX), kRouteCostImpossible);
    EXPECT_EQ(AddRouteCosts(3, 4), 7u);
}

TEST_F(PathfinderTest, SetupChecks) {
    TestGrid grid(100, 100);
    grid.Block(50, 50);
    struct Case {
        const char* name;
        PathPoint start;
        PathPoint goal;
        PathRect rect;
        int32_t state;
    };
    const Case cases[] = {
        {"ready", {1, 1}, {90, 90}, grid.Rect(), Pathfinder::kReady},
        {"start outside", {-1, 1}, {90, 90}, grid.Rect(), Pathfinder::kStartInvalid},
        {"goal outside", {1, 1}, {100, 90}, grid.Rect(), Pathfinder::kGoalInvalid},
        {"start blocked", {50, 50}, {90, 90}, grid.Rect(), Pathfinder::kStartInvalid},
        {"goal blocked", {1, 1}, {50, 50}, grid.Rect(), Pathfinder::kGoalInvalid},
        {"flat rectangle", {1, 1}, {2, 1}, {0, 1, 99, 1}, Pathfinder::kWindowInvalid},
        {"rectangle below zero", {1, 1}, {2, 2}, {-5, 0, 99, 99}, Pathfinder::kWindowInvalid},
        {"far apart", {0, 0}, {5000, 10}, {0, 0, 6000, 100}, Pathfinder::kReady},
        {"long and thin", {0, 0}, {600, 10}, {0, 0, 700, 100}, Pathfinder::kReady},
    };
    TestGrid wide(7000, 101);
    for (const Case& c : cases) {
        AttachGrid(*finder, c.rect.x1 > 99 ? wide : grid);
        EXPECT_EQ(finder->Setup(c.start, c.goal, c.rect, 4), c.state) << c.name;
        EXPECT_EQ(finder->GetState(), c.state) << c.name;
    }
    uint32_t xBits = 0;
    uint32_t yBits = 0;
    ASSERT_TRUE(ChooseKeyWindow(600, 10, xBits, yBits));
    EXPECT_EQ(xBits, 10u);
    EXPECT_EQ(yBits, 8u);

    Pathfinder bare;
    EXPECT_EQ(bare.Setup({1, 1}, {2, 2}, grid.Rect(), 4), Pathfinder::kIdle);
}

TEST_F(PathfinderTest, StartOnGoalIsAOneTilePath) {
    TestGrid grid(10, 10);
    AttachGrid(*finder, grid);
    ASSERT_EQ(finder->Setup({4, 4}, {4, 4}, grid.Rect(), 8), Pathfinder::kReady);
    EXPECT_EQ(finder->Search(false), Pathfinder::kGoalReached);
    ASSERT_EQ(finder->GetPath().size(), 1u);
    EXPECT_EQ(finder->GetPath()[0].state, Pathfinder::kStepGoal);
}

// With the node limit each call expands at most limit - 1 tiles and the
// sliced search ends where the search in one call does.
TEST_F(PathfinderTest, NodeLimitSlicesTheSameSearch) {
    TestGrid grid(120, 120);
    grid.FillRandom(7, 20, {5, 5}, {110, 100});
    AttachGrid(*finder, grid);
    finder->SetFlags(0);
    ASSERT_EQ(finder->Setup({5, 5}, {110, 100}, grid.Rect(), 4), Pathfinder::kReady);
    ASSERT_EQ(finder->Search(false), Pathfinder::kGoalReached);
    const std::vector<PathPoint> whole = Points(finder->GetPath());

    finder->SetFlags(Pathfinder::kOptionNodeLimit);
    finder->SetNodesPerCall(100);
    ASSERT_EQ(finder->Setup({5, 5}, {110, 100}, grid.Rect(), 4), Pathfinder::kReady);
    int32_t state = Pathfinder::kReady;
    uint32_t calls = 0;
    uint64_t before = 0;
    while ((state = finder->Search(false)) == Pathfinder::kSearching) {
        EXPECT_LE(finder->Expansions() - before, 99u);
        before = finder->Expansions();
        ++calls;
    }
    EXPECT_EQ(state, Pathfinder::kGoalReached);
    EXPECT_GT(calls, 2u);
    EXPECT_TRUE(Points(finder->GetPath()) == whole);

    // The time budget runs on the injected clock, and SearchToCompletion
    // never reads it.
    static uint64_t fakeMicros = 0;
    finder->SetClock([] { return fakeMicros += 1000; });
    finder->SetFlags(Pathfinder::kOptionTimeBudget);
    finder->SetTimeBudget(5000);
    ASSERT_EQ(finder->Setup({5, 5}, {110, 100}, grid.Rect(), 4), Pathfinder::kReady);
    EXPECT_EQ(finder->Search(false), Pathfinder::kSearching);
    EXPECT_LE(finder->Expansions(), 6u);
    const uint64_t clockBefore = fakeMicros;
    EXPECT_EQ(finder->SearchToCompletion(), Pathfinder::kGoalReached);
    EXPECT_EQ(fakeMicros, clockBefore);
    EXPECT_TRUE(Points(finder->GetPath()) == whole);
}

// A re-check after the world changed under explored tiles restarts the
// search; the path then avoids the change, and ValidatePath catches a path
// that a change has broken.
TEST_F(PathfinderTest, RecheckRestartsAndValidateFindsBrokenSteps) {
    TestGrid grid(60, 60);
    AttachGrid(*finder, grid);
    finder->SetFlags(Pathfinder::kOptionNodeLimit);
    finder->SetNodesPerCall(20);
    ASSERT_EQ(finder->Setup({5, 30}, {55, 30}, grid.Rect(), 4), Pathfinder::kReady);
    ASSERT_EQ(finder->Search(true), Pathfinder::kSearching);
    EXPECT_EQ(finder->Search(true), Pathfinder::kSearching);
    grid.Block(7, 30);
    EXPECT_EQ(finder->Search(true), Pathfinder::kReady);
    int32_t state = Pathfinder::kReady;
    while ((state = finder->Search(true)) == Pathfinder::kSearching || state == Pathfinder::kReady) {
    }
    ASSERT_EQ(state, Pathfinder::kGoalReached);
    for (const PathStep& step : finder->GetPath())
        EXPECT_FALSE(step.x == 7 && step.y == 30);
    EXPECT_EQ(finder->ValidatePath(), Pathfinder::kGoalReached);
    const PathStep middle = finder->GetPath()[finder->GetPath().size() / 2];
    grid.Block(middle.x, middle.y);
    EXPECT_EQ(finder->ValidatePath(), Pathfinder::kIdle);
    finder->ClearPath();
    EXPECT_EQ(finder->ValidatePath(), Pathfinder::kNoPath);
}

TEST(PathfinderWindows, WindowsAroundAPair) {
    const PathRect map{0, 0, 2047, 2047};
    PathRect window = SearchWindowForPair({100, 100}, {300, 200}, map);
    EXPECT_EQ(window.x0, 0);
    EXPECT_EQ(window.x1, 455);
    EXPECT_EQ(window.y0, 0);
    EXPECT_EQ(window.y1, 405);
    window = SearchWindowForPair({2000, 2000}, {2040, 2040}, map);
    EXPECT_EQ(window.x1, 2047);
    EXPECT_EQ(window.x0, 2047 - 511);
    window = SearchWindowForPair({0, 0}, {5000, 0}, map);
    EXPECT_EQ(window.x1, 2047);

    window = SearchWindowWithMargin(100, {500, 500}, {520, 540}, map);
    EXPECT_EQ(window.x0, 450);
    EXPECT_EQ(window.x1, 570);
    EXPECT_EQ(window.y0, 450);
    EXPECT_EQ(window.y1, 590);
    window = SearchWindowWithMargin(100, {10, 2040}, {20, 2030}, map);
    EXPECT_EQ(window.x0, 0);
    EXPECT_EQ(window.y1, 2047);
}

TEST(PathfinderInstancesTest, InstancesHaveTheirOptions) {
    PathfinderInstances instances;
    EXPECT_EQ(instances.water.GetFlags(), 0u);
    EXPECT_EQ(instances.construction.GetFlags(), Pathfinder::kOptionTimeBudget);
    EXPECT_EQ(instances.presentation[1].GetFlags(), Pathfinder::kOptionNodeLimit);
    EXPECT_EQ(instances.water.GetStepCost(), &TurnStepCost);
}

} // namespace
