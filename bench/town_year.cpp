// A game year of a generated map with its towns and factories and no
// company: 9000 frames of 100 ms, one tick each, every tick timed. Reported
// per map size: the ticks' median and 99th percentile in ms, the slowest
// tick (a month change), the towns and factories, and for the 2048 x 2048
// map the ratio of its p99 to that of the 512 x 512 map of the same run,
// the reference, which shows how the tick grows with the map.
//
// MD_BENCH_YEAR_TICKS (default 9000) plays fewer ticks of the year, so that
// the tests' short run stays short.
#include "economy/city.h"
#include "economy/factory.h"
#include "economy/new_world.h"
#include "economy/town_services.h"
#include "gameloop/game.h"
#include "gameloop/game_log.h"
#include "gameloop/new_game.h"
#include "platform/clock.h"
#include "world/game_settings.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <map>
#include <memory>
#include <vector>

namespace {

constexpr uint32_t kFrameMs = 100;

struct YearGame {
    Game game;
    TownWorldHooks world;
    bool ready = false;
    int32_t towns = 0;
    size_t factories = 0;

    explicit YearGame(uint32_t size) {
        ConnectWorldModel(game, world);
        InstallTownsAndIndustry(game);
        StartGame(game, 1);
        NewWorldOptions options;
        options.settings.MapWidth = options.settings.MapHeight = size;
        options.seed = 2048;
        ready = GenerateNewWorld(game, options);
        WorldScope scope(game.GetWorld());
        for (int32_t i = 1; i <= GetCityCount(); ++i)
            towns += GetCity(i) ? 1 : 0;
        factories = AllFactories().size();
    }
    ~YearGame() { UninstallTownsAndIndustry(); }
};

uint32_t YearTicks() {
    const char* ticks = std::getenv("MD_BENCH_YEAR_TICKS");
    const long n = ticks ? std::strtol(ticks, nullptr, 10) : 9000;
    return n >= 1 && n <= 9000 ? uint32_t(n) : 9000u;
}

// The p99 of each map size measured in this run.
std::map<int64_t, double>& P99s() {
    static std::map<int64_t, double> p99s;
    return p99s;
}

void BM_TownYearTick(benchmark::State& state) {
    SetGameLogSink([](const std::string&) {});
    plat::Clock::UseFake(0);
    InstallPath() = "gamedata";
    if (!LoadGameTexts("gamedata", false)) {
        state.SkipWithError("the game data cannot be read");
        return;
    }
    const uint32_t size = uint32_t(state.range(0));
    auto year = std::make_unique<YearGame>(size);
    if (!year->ready) {
        state.SkipWithError("the map was not generated");
        return;
    }
    const uint32_t ticks = YearTicks();
    std::vector<double> ms;
    ms.reserve(ticks);
    for (auto _ : state) {
        for (uint32_t i = 0; i < ticks; ++i) {
            year->game.AdvanceFrame(kFrameMs);
            const auto start = std::chrono::steady_clock::now();
            year->game.Step();
            ms.push_back(
                std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
        }
    }
    std::sort(ms.begin(), ms.end());
    auto at = [&](double q) { return ms[std::min(ms.size() - 1, size_t(q * double(ms.size())))]; };
    state.counters["p50_ms"] = at(0.50);
    state.counters["p99_ms"] = at(0.99);
    state.counters["max_ms"] = ms.back();
    state.counters["towns"] = double(year->towns);
    state.counters["factories"] = double(year->factories);
    P99s()[state.range(0)] = at(0.99);
    if (size != 512 && P99s().count(512) && P99s()[512] > 0.0)
        state.counters["p99_over_512"] = at(0.99) / P99s()[512];
}

} // namespace

BENCHMARK(BM_TownYearTick)->Arg(512)->Arg(2048)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

BENCHMARK_MAIN();
