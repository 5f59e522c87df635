// Pre-growth of the towns of a generated 512 x 512 map with 60 towns from
// 1850 on: the town updates of the given number of years (9000 a year),
// timed without the generation and the load that set them up. The
// reference is the same map's first year alone; the long run reports its
// time over that of the first year times the years, which shows how a
// year's cost grows as the towns do. Also reported: the towns and their
// inhabitants after the pre-growth.
#include "economy/city.h"
#include "economy/new_world.h"
#include "economy/town_services.h"
#include "files/crc32.h"
#include "gameloop/game.h"
#include "gameloop/game_log.h"
#include "gameloop/new_game.h"
#include "gameloop/saved_game.h"
#include "platform/clock.h"
#include "world/game_clock.h"
#include "world/game_settings.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>

namespace {

struct BenchGame {
    Game game;
    TownWorldHooks world;
    bool ready = false;
    std::vector<uint8_t> founded;

    BenchGame() {
        SetGameLogSink([](const std::string&) {});
        plat::Clock::UseFake(0);
        InstallPath() = "gamedata";
        ready = LoadGameTexts("gamedata", false);
        ConnectWorldModel(game, world);
        InstallTownsAndIndustry(game);
        StartGame(game, 1);
        NewWorldOptions options;
        options.settings.MapWidth = options.settings.MapHeight = 512;
        // Five times the default density asks for 60 towns.
        options.settings.TownDensity = 500;
        options.seed = 4242;
        ready = ready && GenerateNewWorld(game, options) && SaveGameToMemory(game, founded);
    }
    ~BenchGame() { UninstallTownsAndIndustry(); }
};

BenchGame& Bench() {
    static BenchGame bench;
    return bench;
}

void BM_PregrowTowns(benchmark::State& state) {
    BenchGame& bench = Bench();
    if (!bench.ready) {
        state.SkipWithError("the map was not generated");
        return;
    }
    const uint32_t years = uint32_t(state.range(0));
    uint64_t inhabitants = 0;
    int32_t towns = 0;
    double seconds = 0.0;
    for (auto _ : state) {
        state.PauseTiming();
        LoadGameFromMemory(bench.game, bench.founded);
        WorldScope scope(bench.game.GetWorld());
        GetGameClock()->SetYear(kFirstYear + years);
        state.ResumeTiming();
        const auto start = std::chrono::steady_clock::now();
        PregrowCities();
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        state.PauseTiming();
        inhabitants = 0;
        towns = 0;
        for (int32_t i = 1; i <= GetCityCount(); ++i)
            if (const City* city = GetCity(i)) {
                ++towns;
                inhabitants += city->GetPopulation();
            }
        state.ResumeTiming();
    }
    state.counters["towns"] = double(towns);
    state.counters["inhabitants"] = double(inhabitants);
    static double firstYear = 0.0;
    seconds /= double(state.iterations());
    if (years == 1)
        firstYear = seconds;
    else if (firstYear > 0.0)
        state.counters["over_first_year_times_years"] = seconds / (firstYear * double(years));
}

// The long run covers MD_BENCH_PREGROW_YEARS years, 1850 to 1950 when it
// is unset; the tests' short run sets a few.
void Register() {
    const char* years = std::getenv("MD_BENCH_PREGROW_YEARS");
    long n = years ? std::strtol(years, nullptr, 10) : 100;
    if (n < 1 || n > 250)
        n = 100;
    benchmark::RegisterBenchmark("BM_PregrowTowns", BM_PregrowTowns)
        ->Arg(1)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime()
        ->Iterations(1);
    if (n > 1)
        benchmark::RegisterBenchmark("BM_PregrowTowns", BM_PregrowTowns)
            ->Arg(n)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime()
            ->Iterations(1);
}

} // namespace

int main(int argc, char** argv) {
    Register();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
