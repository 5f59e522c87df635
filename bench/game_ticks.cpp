// Ticks per second of a headless game on a 512 x 512 map: the world loop
// with whatever the world holds, one tick per frame as a local game runs.
#include "gameloop/game.h"
#include "gameloop/game_log.h"
#include "gameloop/new_game.h"
#include "gameloop/world_model.h"
#include "platform/clock.h"

#include <benchmark/benchmark.h>

namespace {

void BM_GameTicks(benchmark::State& state) {
    SetGameLogSink([](const std::string&) {});
    plat::Clock::UseFake(0);
    Game game;
    WorldModelHooks world;
    ConnectWorldModel(game, world);
    StartGame(game, 1);
    NewGameInit(game, 512, 512);
    for (auto _ : state) {
        game.AdvanceFrame(25);
        game.Step();
    }
    state.SetItemsProcessed(state.iterations());
    state.counters["ticks/s"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_GameTicks);

} // namespace

BENCHMARK_MAIN();
