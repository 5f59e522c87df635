// The map generator on the default game data: whole new worlds of 256, 512,
// 1024 and 2048 tiles a side from fixed seeds (islands, towns, factory
// lines, the map checks), with the process's peak memory and a checksum of
// the saved world, which must not change between runs.
#include "economy/new_world.h"
#include "economy/town_services.h"
#include "files/crc32.h"
#include "gameloop/game.h"
#include "gameloop/game_log.h"
#include "gameloop/new_game.h"
#include "gameloop/saved_game.h"
#include "platform/clock.h"
#include "world/game_settings.h"
#include "world/map_check.h"
#include "world/world_map.h"

#include <benchmark/benchmark.h>

#include <sys/resource.h>

namespace {

double PeakMegabytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024.0;
}

struct BenchGame {
    Game game;
    TownWorldHooks world;
    bool ready = false;

    BenchGame() {
        SetGameLogSink([](const std::string&) {});
        plat::Clock::UseFake(0);
        InstallPath() = "gamedata";
        ready = LoadGameTexts("gamedata", false);
        ConnectWorldModel(game, world);
        InstallTownsAndIndustry(game);
        StartGame(game, 1);
    }
    ~BenchGame() { UninstallTownsAndIndustry(); }
};

void BM_GenerateWorld(benchmark::State& state) {
    BenchGame bench;
    if (!bench.ready) {
        state.SkipWithError("the default game data cannot be read");
        return;
    }
    NewWorldOptions options;
    options.settings.MapWidth = options.settings.MapHeight = uint32_t(state.range(0));
    options.seed = 4242;
    for (auto _ : state)
        if (!GenerateNewWorld(bench.game, options))
            state.SkipWithError("the map was not generated");
    // The peak of generation itself, before the save below adds its bytes.
    state.counters["peak_MB"] = PeakMegabytes();
    std::vector<uint8_t> saved;
    SaveGameToMemory(bench.game, saved);
    state.counters["world_crc"] = double(Crc32(saved));
}
BENCHMARK(BM_GenerateWorld)
    ->Arg(256)
    ->Arg(512)
    ->Arg(1024)
    ->Arg(2048)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void BM_MapChecks2048(benchmark::State& state) {
    BenchGame bench;
    NewWorldOptions options;
    options.settings.MapWidth = options.settings.MapHeight = 2048;
    options.seed = 4242;
    if (!bench.ready || !GenerateNewWorld(bench.game, options)) {
        state.SkipWithError("the map was not generated");
        return;
    }
    for (auto _ : state) {
        benchmark::DoNotOptimize(MapCheck::CheckCells());
        benchmark::DoNotOptimize(MapCheck());
    }
}
BENCHMARK(BM_MapChecks2048)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
