// The pathfinder on 512 x 512 and 2048 x 2048 grids (open, 20% and 35% of
// the tiles blocked, mazes) with four neighbours and turn costs (the
// construction planner's set-up) and with eight (the water search), beside a
// plain A* over flat arrays with the same callbacks and tie-breaks. Each
// pathfinder run reports ns per expansion, us per search and "vs_plain": its
// time over the plain A*'s for the same search (the same expansions),
// measured in turns in the same run. Both
// must find the same path; a run where they differ fails.
#include "transport/pathfinder.h"
#include "tests/transport/grid_fixture.h"
#include "tests/transport/reference_astar.h"

#include <benchmark/benchmark.h>

#include <ctime>
#include <map>
#include <memory>
#include <tuple>

namespace {

enum GridKind { kOpen = 0, kBlocked20 = 1, kBlocked35 = 2, kMaze = 3 };

struct Scene {
    std::unique_ptr<TestGrid> grid;
    PathPoint start;
    PathPoint goal;
    uint32_t neighbours = 4;
    ReferenceAStar::Result expected;
};

// Start and goal on odd tiles (the maze's corridors), about 500 tiles apart
// in x: within the 512 x 512 key window, while the search may wander over the
// whole map.
Scene& GetScene(int32_t size, int32_t kind, uint32_t neighbours) {
    static std::map<std::tuple<int32_t, int32_t, uint32_t>, Scene> scenes;
    Scene& scene = scenes[{size, kind, neighbours}];
    if (scene.grid)
        return scene;
    const int32_t middle = size / 2 - 1;
    scene.start = size == 512 ? PathPoint{5, 5} : PathPoint{middle - 248, middle};
    scene.goal = size == 512 ? PathPoint{501, 501} : PathPoint{middle + 248, middle + 2};
    scene.neighbours = neighbours;
    ReferenceAStar reference(size, size);
    // A random fill may wall the goal off: the first seed with a path is taken.
    for (uint32_t seed = 1; seed < 50; ++seed) {
        scene.grid = std::make_unique<TestGrid>(size, size);
        if (kind == kMaze) {
            scene.grid->FillMaze(seed);
            scene.grid->Block(scene.start.x, scene.start.y, false);
            scene.grid->Block(scene.goal.x, scene.goal.y, false);
        } else if (kind != kOpen) {
            scene.grid->FillRandom(seed, kind == kBlocked20 ? 20 : 35, scene.start, scene.goal);
        }
        scene.expected = reference.Run(scene.start, scene.goal, neighbours, GridStepCheck, GridStepCost,
                                       ManhattanDistance, scene.grid.get());
        if (scene.expected.found)
            break;
    }
    return scene;
}

void BM_PlainAStar(benchmark::State& state) {
    Scene& scene = GetScene(int32_t(state.range(0)), int32_t(state.range(1)), uint32_t(state.range(2)));
    ReferenceAStar reference(scene.grid->w, scene.grid->h);
    uint64_t expansions = 0;
    for (auto _ : state) {
        const auto result = reference.Run(scene.start, scene.goal, scene.neighbours, GridStepCheck,
                                          GridStepCost, ManhattanDistance, scene.grid.get());
        expansions += result.expansions;
        benchmark::DoNotOptimize(result.cost);
    }
    state.counters["expansions"] = double(scene.expected.expansions);
    state.counters["ns_per_expansion"] =
        benchmark::Counter(double(expansions), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_Pathfinder(benchmark::State& state) {
    Scene& scene = GetScene(int32_t(state.range(0)), int32_t(state.range(1)), uint32_t(state.range(2)));
    static Pathfinder finder;
    finder.SetStepCheck(GridStepCheck).SetStepCost(GridStepCost).SetHeuristic(ManhattanDistance).SetFlags(0);
    finder.SetContext(scene.grid.get());
    uint64_t expansions = 0;
    for (auto _ : state) {
        finder.Setup(scene.start, scene.goal, scene.grid->Rect(), scene.neighbours);
        finder.Search(false);
        expansions += finder.Expansions();
    }
    const bool found = finder.GetState() == Pathfinder::kGoalReached;
    if (found != scene.expected.found || (found && finder.GetPath().front().g != scene.expected.cost) ||
        finder.Expansions() != scene.expected.expansions) {
        state.SkipWithError("the pathfinder and the plain A* disagree");
        return;
    }
    // The ratio to the plain A*: both searched in turn on the same scene,
    // each timed in processor time so that other work on the machine
    // weighs on both alike.
    ReferenceAStar reference(scene.grid->w, scene.grid->h);
    double finderSeconds = 0;
    double referenceSeconds = 0;
    for (int i = 0; i < 200 && (i < 3 || finderSeconds + referenceSeconds < 0.4); ++i) {
        std::clock_t begin = std::clock();
        finder.Setup(scene.start, scene.goal, scene.grid->Rect(), scene.neighbours);
        finder.Search(false);
        finderSeconds += double(std::clock() - begin) / CLOCKS_PER_SEC;
        begin = std::clock();
        const auto result = reference.Run(scene.start, scene.goal, scene.neighbours, GridStepCheck,
                                          GridStepCost, ManhattanDistance, scene.grid.get());
        referenceSeconds += double(std::clock() - begin) / CLOCKS_PER_SEC;
        benchmark::DoNotOptimize(result.cost);
    }
    state.counters["expansions"] = double(scene.expected.expansions);
    state.counters["records"] = double(finder.RecordCount());
    state.counters["ns_per_expansion"] =
        benchmark::Counter(double(expansions), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    if (referenceSeconds > 0)
        state.counters["vs_plain"] = finderSeconds / referenceSeconds;
}

void Grids(benchmark::internal::Benchmark* b) {
    b->ArgNames({"size", "kind", "neighbours"});
    for (int64_t size : {512, 2048}) {
        for (int64_t kind : {kOpen, kBlocked20, kBlocked35, kMaze}) {
            for (int64_t neighbours : {4, 8})
                b->Args({size, kind, neighbours});
        }
    }
}

BENCHMARK(BM_Pathfinder)->Apply(Grids)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PlainAStar)->Apply(Grids)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
