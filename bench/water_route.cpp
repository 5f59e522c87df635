// The water route search on a 512 x 512 sea with 20% of its tiles land:
// the first search of a pair (the cache emptied before each) beside the
// plain A* of the pathfinder's tests on the same tiles and costs
// ("vs_plain"), and the cached answer of a pair (copied into the caller's
// list) beside copying the same route from one list into another
// ("vs_copy"). Goal: a cached route in under 1 us.
#include "tests/transport/grid_fixture.h"
#include "tests/transport/reference_astar.h"
#include "transport/route_search.h"

#include "data/generated/terrain_tables.h"
#include "world/game_clock.h"
#include "world/world.h"

#include <benchmark/benchmark.h>

#include <ctime>
#include <memory>

namespace {

constexpr int32_t kSize = 512;
constexpr PathPoint kStart{5, 5};
constexpr PathPoint kGoal{501, 480};

struct Sea {
    World world;
    TestGrid grid{kSize, kSize};

    Sea() {
        WorldScope scope(world);
        CreateGameClock(0);
        TerrainTable::GetOrCreateRow(1);
        world.Map().SetMapSize(kSize, kSize);
        grid.FillRandom(7, 20, kStart, kGoal);
        for (int32_t y = 0; y < kSize; ++y)
            for (int32_t x = 0; x < kSize; ++x)
                if (!grid.Blocked(x, y))
                    world.Map().SetRouteKind(uint32_t(x), uint32_t(y), 4);
    }
};

Sea& GetSea() {
    static Sea sea;
    return sea;
}

uint32_t Search(WaypointList& list) {
    list.Clear();
    return SearchRouteByMode(kModeWater, kStart.x, kStart.y, kGoal.x, kGoal.y, &list, nullptr, -1, 0, nullptr,
                             nullptr);
}

void BM_WaterRouteFirst(benchmark::State& state) {
    Sea& sea = GetSea();
    WorldScope scope(sea.world);
    WaypointList list;
    ReferenceAStar reference(kSize, kSize);
    const auto expected =
        reference.Run(kStart, kGoal, 8, GridStepCheck, GridStepCost, ManhattanDistance, &sea.grid);
    for (auto _ : state) {
        ClearWaterRouteCache();
        benchmark::DoNotOptimize(Search(list));
    }
    if (!expected.found || LastRouteSearch().cost != expected.cost) {
        state.SkipWithError("the water search and the plain A* disagree");
        return;
    }
    double searchSeconds = 0;
    double referenceSeconds = 0;
    for (int i = 0; i < 100 && (i < 3 || searchSeconds + referenceSeconds < 0.4); ++i) {
        std::clock_t begin = std::clock();
        ClearWaterRouteCache();
        benchmark::DoNotOptimize(Search(list));
        searchSeconds += double(std::clock() - begin) / CLOCKS_PER_SEC;
        begin = std::clock();
        const auto result =
            reference.Run(kStart, kGoal, 8, GridStepCheck, GridStepCost, ManhattanDistance, &sea.grid);
        referenceSeconds += double(std::clock() - begin) / CLOCKS_PER_SEC;
        benchmark::DoNotOptimize(result.cost);
    }
    state.counters["expansions"] = double(LastRouteSearch().expansions);
    state.counters["waypoints"] = double(list.Count());
    if (referenceSeconds > 0)
        state.counters["vs_plain"] = searchSeconds / referenceSeconds;
}

void BM_WaterRouteCached(benchmark::State& state) {
    Sea& sea = GetSea();
    WorldScope scope(sea.world);
    WaypointList list;
    ClearWaterRouteCache();
    if (Search(list) == 0) {
        state.SkipWithError("no water route");
        return;
    }
    const WaypointList route = list;
    for (auto _ : state)
        benchmark::DoNotOptimize(Search(list));
    double cachedSeconds = 0;
    double copySeconds = 0;
    constexpr int kRounds = 20000;
    for (int i = 0; i < 20; ++i) {
        std::clock_t begin = std::clock();
        for (int r = 0; r < kRounds; ++r)
            benchmark::DoNotOptimize(Search(list));
        cachedSeconds += double(std::clock() - begin) / CLOCKS_PER_SEC;
        begin = std::clock();
        for (int r = 0; r < kRounds; ++r) {
            list.Clear();
            list.Append(route);
            benchmark::DoNotOptimize(list.Count());
        }
        copySeconds += double(std::clock() - begin) / CLOCKS_PER_SEC;
    }
    state.counters["waypoints"] = double(route.Count());
    if (copySeconds > 0)
        state.counters["vs_copy"] = cachedSeconds / copySeconds;
}

BENCHMARK(BM_WaterRouteFirst)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_WaterRouteCached)->Unit(benchmark::kNanosecond);

} // namespace

BENCHMARK_MAIN();
