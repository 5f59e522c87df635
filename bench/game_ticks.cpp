// Ticks per second of a headless game on a 512 x 512 map, one tick per
// frame as a local game runs: the world loop on an empty map, and on a map
// generated from the default game data with its towns and factories.
#include "economy/city.h"
#include "economy/new_world.h"
#include "economy/town_services.h"
#include "gameloop/game.h"
#include "gameloop/game_log.h"
#include "gameloop/new_game.h"
#include "gameloop/world_model.h"
#include "platform/clock.h"
#include "world/game_settings.h"

#include <benchmark/benchmark.h>

namespace {

void RunTicks(benchmark::State& state, Game& game) {
    for (auto _ : state) {
        game.AdvanceFrame(25);
        game.Step();
    }
    state.SetItemsProcessed(state.iterations());
    state.counters["ticks/s"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_GameTicks(benchmark::State& state) {
    SetGameLogSink([](const std::string&) {});
    plat::Clock::UseFake(0);
    Game game;
    WorldModelHooks world;
    ConnectWorldModel(game, world);
    StartGame(game, 1);
    NewGameInit(game, 512, 512);
    RunTicks(state, game);
}
BENCHMARK(BM_GameTicks);

// The same loop on a generated world: towns grow, factories produce.
void BM_GameTicksGenerated(benchmark::State& state) {
    SetGameLogSink([](const std::string&) {});
    plat::Clock::UseFake(0);
    InstallPath() = "gamedata";
    // The texts first, as the game program reads them before its game starts.
    const bool texts = LoadGameTexts("gamedata", false);
    Game game;
    TownWorldHooks world;
    ConnectWorldModel(game, world);
    InstallTownsAndIndustry(game);
    StartGame(game, 1);
    NewWorldOptions options;
    options.settings.MapWidth = options.settings.MapHeight = 512;
    options.seed = 4242;
    if (!texts || !GenerateNewWorld(game, options)) {
        UninstallTownsAndIndustry();
        state.SkipWithError("the default game data cannot make a map");
        return;
    }
    state.counters["towns"] = double(GetCityCount());
    RunTicks(state, game);
    ResetWorld(game);
    UninstallTownsAndIndustry();
}
BENCHMARK(BM_GameTicksGenerated)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
