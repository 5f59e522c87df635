// Special events: periods of years in which travelling costs, freight
// prices and construction costs change. Three kinds run side by side, at
// most one event of each; each kind follows a plan drawn ahead from the
// SpecialEvents table and starts and ends its events at its own month. The
// running events' combined effect lives in three factor maps.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <vector>

class SpecialEvents {
public:
    static constexpr uint32_t kKindCount = 3;
    // A plan never holds more events, nor reaches further ahead in years.
    static constexpr uint32_t kMaxPlannedEvents = 40;
    static constexpr uint32_t kPlanYears = 100;

    // The monthly step: ends the events whose time is over and starts the
    // next planned ones (kind 0 in February, 1 in March, 2 in April).
    static void Update();
    // Nothing running, nothing planned, no factors.
    static void Reset();
    static void EndAll();
    static void ApplyAllRunning();
    // The chunks "spe1" (running events and end years) and "spe2" (plans)
    // in the direction of the current stream. Loading checks every row.
    static void Serialize();
    // The whole load: ends what runs, reads, re-applies, steps once.
    static void Load();

    static int16_t RunningEvent(uint32_t kind) {
        return kind < kKindCount ? Current().running[kind] : int16_t(-1);
    }
    static uint16_t EventEndYear(uint32_t kind) {
        return kind < kKindCount ? Current().endYear[kind] : uint16_t(0);
    }
    static const std::vector<uint32_t>& Plan(uint32_t kind) { return Current().plans[kind % kKindCount]; }

    // Factor maps: key -> factor, 1.0 for an absent key.
    using FactorMap = std::map<int32_t, float>;
    static const FactorMap& TravellingCostFactors() { return Current().travellingFactors; }
    static const FactorMap& FreightPriceFactors() { return Current().freightFactors; }
    static const FactorMap& RouteCostFactors() { return Current().routeFactors; }

    // What a world keeps of its events.
    struct State {
        std::array<int16_t, kKindCount> running{-1, -1, -1};
        std::array<uint16_t, kKindCount> endYear{};
        std::array<std::vector<uint32_t>, kKindCount> plans;
        FactorMap travellingFactors;
        FactorMap freightFactors;
        FactorMap routeFactors;
    };
    // The current world's.
    static State& Current();

    // Hooks of the layers above: the factory events' reset and monthly
    // step, and the announcement of a started event (its row) to a human
    // player. Empty hooks do nothing.
    struct Hooks {
        std::function<void()> resetFactoryEvents;
        std::function<void()> factoryEventsMonthly;
        std::function<void(uint32_t row)> announce;
    };
    static void SetHooks(Hooks hooks);

private:
    static void BuildPlan(uint32_t kind);
    static void TryStartEvent(uint32_t kind);
    static void ApplyEvent(int32_t row);
    static void EndEvent(int32_t row);
    static void CheckLoadedState();
    static Hooks& CurrentHooks();
};

float GetEventVehicleTravellingCostFactor(int32_t fuelType);
float GetEventFreightPriceFactor(int32_t product);
float GetEventRouteCostFactor(int32_t routeType);

// Frees the rows of the SpecialEvents and SpecialNews tables.
void ClearSpecialEventsTable();
void ClearSpecialNewsTable();
