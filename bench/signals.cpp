// Recomputing every signal block of a track lattice with 1 000, 3 000 and
// 10 000 signals, one in the middle of each link, beside a plain
// breadth-first walk over (tile, direction) on flat arrays that stops at the
// same signal tiles and starts from the same places, timed in turns in the
// same run ("vs_reference": the recomputation's time over the plain walks').
#include "transport/signals.h"
#include "tests/transport/route_network.h"
#include "world/game_clock.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <deque>
#include <map>
#include <memory>
#include <random>
#include <vector>

namespace {

struct Scene {
    uint32_t size = 0;
    uint32_t placed = 0;
    std::unique_ptr<World> world;
    std::vector<uint8_t> masks;
    std::vector<uint8_t> signalTile;
};

// A full lattice of track with a link every 8 tiles, just large enough for
// one signal in the middle of each link (about a quarter of kind 1).
Scene& GetScene(uint32_t signals) {
    static std::map<uint32_t, Scene> scenes;
    Scene& scene = scenes[signals];
    if (scene.world)
        return scene;
    uint32_t points = 2;
    while (2 * points * points < signals + 2 * points)
        ++points;
    scene.size = points * 8 + 2;
    const uint32_t size = scene.size;
    scene.world = std::make_unique<World>();
    WorldScope scope(*scene.world);
    CreateGameClock(0);
    GetWorldMap().SetMapSize(size, size);
    RouteNetwork net;
    net.Lattice(1, 5, 8, 100);
    net.Apply();
    scene.masks.assign(size_t(size) * size, 0);
    scene.signalTile.assign(size_t(size) * size, 0);
    std::vector<std::pair<uint32_t, uint32_t>> middles;
    for (uint32_t y = 0; y < size; ++y) {
        for (uint32_t x = 0; x < size; ++x) {
            const uint32_t mask = GetWorldMap().GetTrackDirections(x, y);
            scene.masks[size_t(y) * size + x] = uint8_t(mask);
            if ((mask == 10 && x % 8 == 5) || (mask == 5 && y % 8 == 5))
                middles.emplace_back(x, y);
        }
    }
    std::mt19937 random(signals);
    std::shuffle(middles.begin(), middles.end(), random);
    for (uint32_t i = 0; i < signals && i < middles.size(); ++i) {
        const auto [x, y] = middles[i];
        CreateSignal(x, y, int32_t(random() % 4 == 0 ? 1 : 0));
        scene.signalTile[size_t(y) * size + x] = 1;
        ++scene.placed;
    }
    return scene;
}

// The plain walks: from every signal in every direction its track offers,
// over the tiles up to the next signals.
uint64_t ReferenceWalks(const Scene& scene, std::vector<uint32_t>& stamp, uint32_t& current) {
    uint64_t visited = 0;
    std::deque<std::pair<uint32_t, uint32_t>> open;
    static const int32_t dx[4] = {0, 1, 0, -1}, dy[4] = {-1, 0, 1, 0};
    for (uint32_t start = 0; start < scene.signalTile.size(); ++start) {
        if (!scene.signalTile[start])
            continue;
        for (uint32_t d = 0; d < 4; ++d) {
            if (!(scene.masks[start] & (1u << d)))
                continue;
            ++current;
            open.clear();
            open.emplace_back(start, d);
            while (!open.empty()) {
                const auto [tile, td] = open.front();
                open.pop_front();
                const int32_t nx = int32_t(tile % scene.size) + dx[td],
                              ny = int32_t(tile / scene.size) + dy[td];
                if (nx < 0 || ny < 0 || nx >= int32_t(scene.size) || ny >= int32_t(scene.size))
                    continue;
                const uint32_t next = uint32_t(ny) * scene.size + uint32_t(nx);
                uint32_t& word = stamp[next * 4 + td];
                if (word == current || next == start || !(scene.masks[next] & (1u << ((td + 2) & 3))))
                    continue;
                word = current;
                ++visited;
                if (scene.signalTile[next])
                    continue;
                for (uint32_t nd = 0; nd < 4; ++nd)
                    if (nd != ((td + 2) & 3) && (scene.masks[next] & (1u << nd)))
                        open.emplace_back(next, nd);
            }
        }
    }
    return visited;
}

void RecomputeBlocks(benchmark::State& state) {
    using Clock = std::chrono::steady_clock;
    Scene& scene = GetScene(uint32_t(state.range(0)));
    WorldScope scope(*scene.world);
    std::vector<uint32_t> stamp(size_t(scene.size) * scene.size * 4, 0);
    uint32_t current = 0;
    double recompute = 0, reference = 0;
    uint64_t tiles = 0;
    for (auto _ : state) {
        const auto t0 = Clock::now();
        RecomputeSignalBlocks();
        const auto t1 = Clock::now();
        tiles = ReferenceWalks(scene, stamp, current);
        const auto t2 = Clock::now();
        recompute += std::chrono::duration<double, std::milli>(t1 - t0).count();
        reference += std::chrono::duration<double, std::milli>(t2 - t1).count();
        benchmark::DoNotOptimize(tiles);
    }
    const double n = double(state.iterations());
    state.counters["recompute_ms"] = recompute / n;
    state.counters["reference_ms"] = reference / n;
    state.counters["vs_reference"] = reference > 0 ? recompute / reference : 0;
    state.counters["walked_tiles"] = double(tiles);
    state.counters["signals"] = scene.placed;
    state.counters["map_side"] = scene.size;
}

BENCHMARK(RecomputeBlocks)->Arg(1000)->Arg(3000)->Arg(10000)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
