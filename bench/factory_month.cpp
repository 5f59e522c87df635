// The month change of 1 000 factories of the default game data's types on
// a 512 x 512 map (every building's monthly update), beside a reference: a
// plain loop that rolls the counters and adds a month's output of as many
// plain records. Their ratio is the cost of the factories' rules and
// lookups over the bare arithmetic.
#include "data/generated/economy_tables.h"
#include "economy/factory.h"
#include "economy/town_services.h"
#include "gameloop/game.h"
#include "gameloop/game_log.h"
#include "gameloop/new_game.h"
#include "platform/clock.h"
#include "world/game_settings.h"
#include "world/object_manager.h"

#include <benchmark/benchmark.h>

#include <map>
#include <vector>

namespace {

constexpr int32_t kFactories = 1000;

void BM_FactoryMonth(benchmark::State& state) {
    SetGameLogSink([](const std::string&) {});
    plat::Clock::UseFake(0);
    InstallPath() = "gamedata";
    const bool texts = LoadGameTexts("gamedata", false);
    Game game;
    TownWorldHooks world;
    ConnectWorldModel(game, world);
    InstallTownsAndIndustry(game);
    StartGame(game, 1);
    NewGameInit(game, 512, 512);
    std::vector<int32_t> types;
    for (int32_t t = 0; t < FactoryTable::RowCount(); ++t)
        if (const FactoryRow* row = FactoryTable::Find(t); row && row->FactoryTyp != kTownCentreFactoryKind)
            types.push_back(t);
    if (!texts || types.empty()) {
        UninstallTownsAndIndustry();
        state.SkipWithError("the default game data has no factory types");
        return;
    }
    {
        WorldScope scope(game.GetWorld());
        for (int32_t i = 0; i < kFactories; ++i) {
            auto* f = dynamic_cast<Factory*>(CreateMapObject(kCategoryBuilding, kFactorySubtype));
            const int32_t type = types[size_t(i) % types.size()];
            f->SetTypeIndex(type);
            f->SetLayout(uint32_t(i % 2), FactoryTable::Find(type)->SizeIndexStart);
            f->Place(4 + (i % 40) * 12, 4 + (i / 40) * 12, kFactorySubtype, 3, 3, 1);
            f->Init();
            for (int32_t p : f->GetAcceptedProducts())
                for (int32_t n = 0; n < 20; ++n)
                    f->ReceiveUnit(p);
        }
    }
    for (auto _ : state) {
        WorldScope scope(game.GetWorld());
        UpdateBuildingsMonth();
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * kFactories);
    ResetWorld(game);
    UninstallTownsAndIndustry();
}
BENCHMARK(BM_FactoryMonth)->Unit(benchmark::kMicrosecond);

// The reference: the same number of stores, each rolled and given one
// product's capped output with its input used.
void BM_FactoryMonthReference(benchmark::State& state) {
    struct Record {
        int32_t quantity = 0, out[2] = {}, in[2] = {};
    };
    std::vector<std::map<int32_t, Record>> stores(kFactories);
    for (int32_t i = 0; i < kFactories; ++i) {
        stores[size_t(i)][i % 7].quantity = 20;
        stores[size_t(i)][10 + i % 7];
    }
    for (auto _ : state) {
        for (int32_t i = 0; i < kFactories; ++i) {
            auto& store = stores[size_t(i)];
            for (auto& [p, r] : store) {
                r.out[1] = r.out[0];
                r.in[1] = r.in[0];
                r.out[0] = r.in[0] = 0;
            }
            Record& input = store[i % 7];
            Record& output = store[10 + i % 7];
            const int32_t used = input.quantity > 10 ? 10 : input.quantity;
            int32_t amount = used + 2;
            if (output.quantity + amount > 40)
                amount = 40 - output.quantity;
            output.quantity += amount;
            output.in[0] += amount;
            input.quantity -= used;
        }
        benchmark::DoNotOptimize(stores.data());
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * kFactories);
}
BENCHMARK(BM_FactoryMonthReference)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
