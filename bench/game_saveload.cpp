// Saving and loading whole games on the world model, 256, 1024 and 2048
// tiles a side, to and from a file in the temporary folder.
#include "gameloop/game.h"
#include "gameloop/game_log.h"
#include "gameloop/new_game.h"
#include "gameloop/saved_game.h"
#include "gameloop/world_model.h"
#include "platform/clock.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
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

// A field of /proc/self/status in megabytes ("VmRSS", "VmHWM"); 0 when absent.
double StatusMegabytes(const std::string& field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        unsigned long long kilobytes = 0;
        if (line.rfind(field + ":", 0) == 0 &&
            std::sscanf(line.c_str() + field.size() + 1, "%llu", &kilobytes) == 1)
            return double(kilobytes) / 1024.0;
    }
    return 0;
}

// Peak memory of loading a game over a running one of the same size: how
// far the process's resident peak rises above the running game while the
// load runs, against the saved game's size. The peak is reset before each
// load (Linux clear_refs), so each load is measured on its own.
void BM_LoadGamePeak(benchmark::State& state) {
    Game game;
    MakeGame(game, uint32_t(state.range(0)));
    std::string path = SavePath(state.range(0));
    if (!SaveGame(game, path)) {
        state.SkipWithError("the save failed");
        return;
    }
    const double fileMegabytes = double(std::filesystem::file_size(path)) / (1024.0 * 1024.0);
    double running = 0, peak = 0;
    for (auto _ : state) {
        running = StatusMegabytes("VmRSS");
        std::ofstream("/proc/self/clear_refs") << "5";
        if (!LoadGame(game, path))
            state.SkipWithError("the load failed");
        peak = StatusMegabytes("VmHWM");
    }
    state.counters["file_MB"] = fileMegabytes;
    state.counters["running_MB"] = running;
    state.counters["above_running_MB"] = peak - running;
    state.counters["above_per_file"] = fileMegabytes > 0 ? (peak - running) / fileMegabytes : 0;
    state.counters["process_per_file"] = fileMegabytes > 0 ? peak / fileMegabytes : 0;
    std::filesystem::remove(path);
}
BENCHMARK(BM_LoadGamePeak)->Arg(2048)->Iterations(3)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
