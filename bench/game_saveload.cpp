// Saving and loading whole games on the world model, 256, 1024 and 2048
// tiles a side, to and from a file in the temporary folder.
#include "gameloop/game.h"
#include "gameloop/game_log.h"
#include "gameloop/new_game.h"
#include "gameloop/saved_game.h"
#include "gameloop/world_model.h"
#include "platform/clock.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>

namespace {

std::string SavePath(int64_t size) {
    return (std::filesystem::temp_directory_path() / ("md-bench-game-" + std::to_string(size) + ".mds"))
        .string();
}

// The world model lives once per process: every game of the benchmark
// saves and loads the same world map, players and objects.
WorldModelHooks& World() {
    static WorldModelHooks world;
    return world;
}

void MakeGame(Game& game, uint32_t size) {
    SetGameLogSink([](const std::string&) {});
    plat::Clock::UseFake(0);
    ConnectWorldModel(game, World());
    StartGame(game, 1);
    NewGameInit(game, size, size);
    for (int i = 0; i < 100; ++i) {
        game.AdvanceFrame(25);
        game.Step();
    }
}

void BM_SaveGame(benchmark::State& state) {
    Game game;
    MakeGame(game, uint32_t(state.range(0)));
    std::string path = SavePath(state.range(0));
    for (auto _ : state)
        if (!SaveGame(game, path))
            state.SkipWithError("the save failed");
    state.counters["bytes"] = double(std::filesystem::file_size(path));
    std::filesystem::remove(path);
}
BENCHMARK(BM_SaveGame)->Arg(256)->Arg(1024)->Arg(2048)->Unit(benchmark::kMillisecond);

void BM_LoadGame(benchmark::State& state) {
    Game game;
    MakeGame(game, uint32_t(state.range(0)));
    std::string path = SavePath(state.range(0));
    if (!SaveGame(game, path)) {
        state.SkipWithError("the save failed");
        return;
    }
    Game loaded;
    ConnectWorldModel(loaded, World());
    for (auto _ : state)
        if (!LoadGame(loaded, path))
            state.SkipWithError("the load failed");
    std::filesystem::remove(path);
}
BENCHMARK(BM_LoadGame)->Arg(256)->Arg(1024)->Arg(2048)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
