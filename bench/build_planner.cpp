// The build route planner on a 256 x 256 map of land cut by three walls of
// water with their gaps at alternate ends, so that a road plan from the
// west edge to the east edge winds over some 1 000 tiles. Each iteration
// plans it to completion and, in turn, runs a plain breadth-first search
// over the same tiles' passability; both are timed in CPU time and the run
// reports "vs_reference", the planner's time over the search's. The two
// paths must have the same number of steps.
#include "data/generated/route_tables.h"
#include "data/generated/terrain_tables.h"
#include "transport/build_route_planner.h"
#include "world/game_clock.h"
#include "world/world.h"
#include "world/world_map.h"

#include <benchmark/benchmark.h>

#include <ctime>
#include <deque>
#include <vector>

namespace {

constexpr uint32_t kSize = 256;
constexpr uint32_t kLand = 1, kWater = 2, kRoadRow = 8;

bool Wall(uint32_t x, uint32_t y) {
    if (x == 64 || x == 192)
        return y < 230;
    if (x == 128)
        return y > 25;
    return false;
}

// Steps of the shortest 4-neighbour path, or 0 when there is none.
uint32_t BreadthFirst(const std::vector<uint8_t>& open, uint32_t from, uint32_t to,
                      std::vector<uint32_t>& dist) {
    dist.assign(open.size(), UINT32_MAX);
    std::deque<uint32_t> queue{from};
    dist[from] = 0;
    while (!queue.empty()) {
        const uint32_t tile = queue.front();
        queue.pop_front();
        if (tile == to)
            return dist[tile];
        const uint32_t x = tile % kSize, y = tile / kSize;
        const uint32_t next[4] = {y > 0 ? tile - kSize : tile, x + 1 < kSize ? tile + 1 : tile,
                                  y + 1 < kSize ? tile + kSize : tile, x > 0 ? tile - 1 : tile};
        for (uint32_t n : next) {
            if (n != tile && open[n] && dist[n] == UINT32_MAX) {
                dist[n] = dist[tile] + 1;
                queue.push_back(n);
            }
        }
    }
    return 0;
}

double CpuSeconds() {
    return double(std::clock()) / CLOCKS_PER_SEC;
}

void BM_BuildPlannerAcrossWalls(benchmark::State& state) {
    World world;
    WorldScope scope(world);
    CreateGameClock(0);
    TerrainTable::GetOrCreateRow(kLand)->CanBuildRoute = 1;
    TerrainRow* water = TerrainTable::GetOrCreateRow(kWater);
    water->IsWater = 1;
    water->CanBuildRoute = 0;
    RouteBuilderRow* road = RouteBuilderTable::GetOrCreateRow(kRoadRow);
    road->RouteType = 2;
    road->ConstructionCost = 300;
    WorldMap& map = GetWorldMap();
    map.SetMapSize(kSize, kSize);
    std::vector<uint8_t> open(kSize * kSize, 1);
    for (uint32_t y = 0; y < kSize; ++y) {
        for (uint32_t x = 0; x < kSize; ++x) {
            map.CellAt(x, y)->SetTerrainIndex(Wall(x, y) ? kWater : kLand);
            open[y * kSize + x] = Wall(x, y) ? 0 : 1;
        }
    }
    SetRoutePlannerPlayer(0);
    std::vector<uint32_t> dist;
    double planner = 0, reference = 0;
    size_t tiles = 0;
    for (auto _ : state) {
        double t0 = CpuSeconds();
        benchmark::DoNotOptimize(PlanRouteToCompletion(2, 128, 250, 128, kRoadRow, 8));
        double t1 = CpuSeconds();
        tiles = PlannedRouteTiles().size();
        const uint32_t steps = BreadthFirst(open, 128 * kSize + 2, 128 * kSize + 250, dist);
        double t2 = CpuSeconds();
        planner += t1 - t0;
        reference += t2 - t1;
        if (tiles == 0 || steps + 1 != tiles) {
            state.SkipWithError("the planner's path is not a shortest one");
            break;
        }
    }
    state.counters["tiles"] = double(tiles);
    state.counters["planner_ms"] = benchmark::Counter(planner * 1000, benchmark::Counter::kAvgIterations);
    state.counters["reference_ms"] = benchmark::Counter(reference * 1000, benchmark::Counter::kAvgIterations);
    state.counters["vs_reference"] = reference > 0 ? planner / reference : 0;
}
BENCHMARK(BM_BuildPlannerAcrossWalls)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
