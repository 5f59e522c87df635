#include "world/special_events.h"

#include "world/world.h"

#include "data/generated/tables.h"
#include "files/chunk_stream.h"
#include "files/chunk_transfer.h"
#include "world/game_clock.h"
#include "world/player.h"
#include "world/random_streams.h"
#include "world/world_warnings.h"

#include <utility>

namespace {

constexpr uint32_t kTagRunning = ChunkTag("spe1");
constexpr uint32_t kTagPlans = ChunkTag("spe2");
constexpr uint32_t kTags[] = {kTagRunning, kTagPlans};

uint32_t NextYear() {
    const GameClock* clock = GetGameClock();
    return clock ? clock->GetNextYear() : kFirstYear;
}

uint32_t NextMonth() {
    const GameClock* clock = GetGameClock();
    return clock ? clock->GetNextMonth() : 0;
}

void MultiplyInto(SpecialEvents::FactorMap& map, int32_t key, float factor) {
    auto [it, inserted] = map.emplace(key, factor);
    if (!inserted)
        it->second *= factor;
}

void ApplyTable(SpecialEvents::FactorMap& map, const ValueTable& table, bool allProductsKey) {
    for (uint32_t row = 0; row < table.RowCount(); ++row) {
        const int32_t key = table.IntCell(0, row);
        const float factor = table.Cell(1, row);
        if (allProductsKey && key == -1) {
            const auto& products = ProductTable::Rows();
            for (size_t product = 0; product < products.size(); ++product) {
                if (products[product])
                    MultiplyInto(map, int32_t(product), factor);
            }
        } else {
            MultiplyInto(map, key, factor);
        }
    }
}

float Lookup(const SpecialEvents::FactorMap& map, int32_t key) {
    auto it = map.find(key);
    return it == map.end() ? 1.0f : it->second;
}

} // namespace

SpecialEvents::State& SpecialEvents::Current() {
    return CurrentWorld().specialEvents;
}

SpecialEvents::Hooks& SpecialEvents::CurrentHooks() {
    return CurrentWorld().specialEventHooks;
}

void SpecialEvents::SetHooks(Hooks hooks) {
    CurrentHooks() = std::move(hooks);
}

void SpecialEvents::Reset() {
    Current().running.fill(-1);
    Current().endYear.fill(0);
    for (auto& plan : Current().plans)
        plan.clear();
    Current().travellingFactors.clear();
    Current().freightFactors.clear();
    Current().routeFactors.clear();
    if (CurrentHooks().resetFactoryEvents)
        CurrentHooks().resetFactoryEvents();
}

void SpecialEvents::EndAll() {
    for (int16_t row : Current().running)
        EndEvent(row);
    Reset();
}

void SpecialEvents::ApplyAllRunning() {
    for (int16_t row : Current().running)
        ApplyEvent(row);
}

void SpecialEvents::ApplyEvent(int32_t row) {
    const SpecialEventsRow* event = SpecialEventsTable::Find(row);
    if (!event)
        return;
    ApplyTable(Current().travellingFactors, event->VehicleTravellingCostChange, false);
    ApplyTable(Current().routeFactors, event->RouteCostChange, false);
    ApplyTable(Current().freightFactors, event->ProductFreightPriceChange, true);
}

void SpecialEvents::EndEvent(int32_t row) {
    if (row == -1)
        return;
    Current().travellingFactors.clear();
    Current().freightFactors.clear();
    Current().routeFactors.clear();
}

void SpecialEvents::BuildPlan(uint32_t kind) {
    std::vector<uint32_t>& plan = Current().plans[kind];
    const auto& rows = SpecialEventsTable::Rows();
    std::vector<int32_t> counts(rows.size(), 0);
    std::vector<uint32_t> candidates;
    // The planning year is kept as 16 bits, like the end years.
    int64_t year = uint16_t(NextYear());
    const int64_t limit = year + kPlanYears;
    while (year < limit && plan.size() < kMaxPlannedEvents) {
        for (uint32_t tries = 0; tries < 4 && candidates.empty(); ++tries) {
            const int32_t draw = int32_t(GameRandom() % 100) + 1;
            for (size_t row = 0; row < rows.size(); ++row) {
                const SpecialEventsRow* event = rows[row].get();
                if (!event || event->EventTyp != int32_t(kind) || event->Probability < draw)
                    continue;
                if (event->CounterPer100Years != 0 && counts[row] >= event->CounterPer100Years)
                    continue;
                if (uint32_t(event->StartYear) > uint32_t(year) || uint32_t(event->EndYear) < uint32_t(year))
                    continue;
                candidates.push_back(uint32_t(row));
            }
        }
        if (candidates.empty()) {
            ++year;
            continue;
        }
        const uint32_t chosen = candidates[GameRandom() % candidates.size()];
        candidates.clear();
        plan.push_back(chosen);
        ++counts[chosen];
        year += rows[chosen]->NrOfYearsRunning;
    }
}

void SpecialEvents::TryStartEvent(uint32_t kind) {
    if (Current().running[kind] != -1)
        return;
    std::vector<uint32_t>& plan = Current().plans[kind];
    const uint32_t year = NextYear();
    // Entries whose last year has passed could never start and would hold
    // up the kind for good: they are dropped.
    auto dropPassed = [&] {
        size_t passed = 0;
        while (passed < plan.size()) {
            const SpecialEventsRow* event = SpecialEventsTable::Find(int32_t(plan[passed]));
            if (event && uint32_t(event->EndYear) >= year)
                break;
            ++passed;
        }
        plan.erase(plan.begin(), plan.begin() + std::ptrdiff_t(passed));
    };
    dropPassed();
    if (plan.empty()) {
        BuildPlan(kind);
        dropPassed();
        if (plan.empty())
            return;
    }
    const uint32_t row = plan.front();
    const SpecialEventsRow* event = SpecialEventsTable::Find(int32_t(row));
    if (uint32_t(event->StartYear) > year)
        return;
    Current().running[kind] = int16_t(row);
    ApplyEvent(int32_t(row));
    Current().endYear[kind] = uint16_t(year + uint32_t(event->NrOfYearsRunning));
    plan.erase(plan.begin());
    const Player* current = GetCurrentPlayer();
    if (current && current->IsHumanPlayer() && CurrentHooks().announce)
        CurrentHooks().announce(row);
}

void SpecialEvents::Update() {
    if (CurrentHooks().factoryEventsMonthly)
        CurrentHooks().factoryEventsMonthly();
    const uint32_t year = NextYear();
    const uint32_t month = NextMonth();
    for (uint32_t kind = 0; kind < kKindCount; ++kind) {
        if (year != Current().endYear[kind] || month != kind + 1)
            continue;
        EndEvent(Current().running[kind]);
        Current().running[kind] = -1;
        for (uint32_t other = 0; other < kKindCount; ++other) {
            if (other != kind)
                ApplyEvent(Current().running[other]);
        }
    }
    if (month >= 1 && month <= kKindCount)
        TryStartEvent(month - 1);
}

void SpecialEvents::Serialize() {
    TransferTagList(kTags, [](uint32_t tag) {
        if (tag == kTagRunning) {
            for (int16_t& row : Current().running)
                Transfer(row);
            for (uint16_t& year : Current().endYear)
                Transfer(year);
        } else if (tag == kTagPlans) {
            for (auto& plan : Current().plans)
                TransferVector(plan);
        }
    });
    if (StreamMode() == kStreamLoad)
        CheckLoadedState();
}

void SpecialEvents::CheckLoadedState() {
    auto validRow = [](int64_t row, uint32_t kind) {
        const SpecialEventsRow* event = SpecialEventsTable::Find(int32_t(row));
        return row >= 0 && row <= INT16_MAX && event && event->EventTyp == int32_t(kind);
    };
    for (uint32_t kind = 0; kind < kKindCount; ++kind) {
        if (Current().running[kind] != -1 && !validRow(Current().running[kind], kind)) {
            WorldWarning("special events: running row %d of kind %u dropped", Current().running[kind], kind);
            Current().running[kind] = -1;
            Current().endYear[kind] = 0;
        }
        std::vector<uint32_t>& plan = Current().plans[kind];
        const size_t before = plan.size();
        std::erase_if(plan, [&](uint32_t row) { return !validRow(row, kind); });
        if (plan.size() > kMaxPlannedEvents)
            plan.resize(kMaxPlannedEvents);
        if (plan.size() != before)
            WorldWarning("special events: %zu planned rows of kind %u dropped", before - plan.size(), kind);
    }
}

// The plans and running events are taken as saved: the next month's update
// starts and ends events, as it would have in the game that was saved, so a
// loaded game draws no random number here and goes on exactly.
void SpecialEvents::Load() {
    EndAll();
    Serialize();
    ApplyAllRunning();
}

float GetEventVehicleTravellingCostFactor(int32_t fuelType) {
    return Lookup(SpecialEvents::TravellingCostFactors(), fuelType);
}

float GetEventFreightPriceFactor(int32_t product) {
    return Lookup(SpecialEvents::FreightPriceFactors(), product);
}

float GetEventRouteCostFactor(int32_t routeType) {
    return Lookup(SpecialEvents::RouteCostFactors(), routeType);
}

void ClearSpecialEventsTable() {
    SpecialEventsTable::Clear();
}

void ClearSpecialNewsTable() {
    SpecialNewsTable::Clear();
}
