// Price look-ups as the world loop makes them: every call reads its table
// row and evaluates the year's modifier anew. A million route-construction
// costs over a spread of route types and years (four modifier rows, one
// running event factor), and the freight income of a million deliveries;
// the counters report nanoseconds per look-up.
#include "world/prices.h"
#include "data/generated/tables.h"
#include "world/game_clock.h"

#include <benchmark/benchmark.h>

#include <cstdint>

namespace {

constexpr int64_t kLookups = 1000000;

ValueTable Rows(std::initializer_list<std::pair<float, float>> rows) {
    ValueTable table;
    table.Resize(2, uint32_t(rows.size()));
    uint32_t r = 0;
    for (const auto& [year, percent] : rows) {
        table.SetCell(0, r, year);
        table.SetCell(1, r++, percent);
    }
    return table;
}

void SetUpTables() {
    GlobalConstantsRow* constants = GlobalConstantsTable::GetOrCreateRow(0);
    constants->TrafficCostModifier = Rows({{1850, 0.5f}, {1900, 1.0f}, {1950, 1.5f}, {2000, 1.0f}});
    constants->BrigdeTunnelCostModifier = Rows({{1850, 0.6f}, {1950, 1.2f}});
    constants->FreightPriceModifiers = Rows({{1850, 0.3f}, {1950, 0.2f}, {2000, 0.1f}});
    for (int32_t row = 0; row < 16; ++row) {
        RouteBuilderRow* route = RouteBuilderTable::GetOrCreateRow(row);
        route->ConstructionCost = 300 + row * 100;
        route->IsBridge = row >= 9 ? 1 + row % 2 : 0;
    }
    for (int32_t row = 0; row < 6; ++row) {
        ProductRow* product = ProductTable::GetOrCreateRow(row);
        product->FreightPrice = 50 + row * 10;
        product->FreightPriceModifier = Rows({{0.5f, 40.0f}});
    }
    if (!GetGameClock())
        CreateGameClock(1);
}

void BM_RouteConstructionCost(benchmark::State& state) {
    SetUpTables();
    GameClock& clock = *GetGameClock();
    int64_t sum = 0;
    for (auto _ : state) {
        for (int64_t i = 0; i < kLookups; ++i) {
            if ((i & 0xFFFF) == 0)
                clock.SetYear(1850 + uint32_t(i >> 16) * 11);
            sum += GetRouteConstructionCost(int32_t(i & 15));
        }
    }
    benchmark::DoNotOptimize(sum);
    state.counters["ns_per_lookup"] = benchmark::Counter(
        double(state.iterations() * kLookups), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_RouteConstructionCost)->Unit(benchmark::kMillisecond);

void BM_FreightIncome(benchmark::State& state) {
    SetUpTables();
    GetGameClock()->SetYear(1930);
    int64_t sum = 0;
    for (auto _ : state) {
        for (int64_t i = 0; i < kLookups; ++i)
            sum += CalcFreightIncome(int32_t(i % 6), 1.0f, uint32_t(i & 1023), uint32_t(1 + (i & 31)), 1.0f);
    }
    benchmark::DoNotOptimize(sum);
    state.counters["ns_per_lookup"] = benchmark::Counter(
        double(state.iterations() * kLookups), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_FreightIncome)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
