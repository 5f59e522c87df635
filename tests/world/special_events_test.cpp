#include "tests/world/economy_fixture.h"
#include "world/random_streams.h"
#include "world/special_events.h"
#include "world/world_warnings.h"

#include <map>

using namespace economy_fixture;

namespace {

class SpecialEventsTest : public EconomyTest {
protected:
    SpecialEventsRow* AddEvent(int32_t row, int32_t kind, int32_t start, int32_t end, int32_t probability,
                               int32_t years, int32_t limit) {
        SpecialEventsRow* event = SpecialEventsTable::GetOrCreateRow(row);
        event->EventTyp = kind;
        event->StartYear = start;
        event->EndYear = end;
        event->Probability = probability;
        event->NrOfYearsRunning = years;
        event->CounterPer100Years = limit;
        return event;
    }

    // Runs the monthly step at every month change for that many months.
    void RunMonths(uint32_t months) {
        GameClock& clock = *GetGameClock();
        for (uint32_t i = 0; i < months; ++i) {
            clock.AddTicks(749 - uint32_t(clock.GetTicks() % 750));
            SpecialEvents::Update();
            clock.Tick();
        }
    }
};

} // namespace

TEST_F(SpecialEventsTest, ThirtyYearsKeepEveryLimit) {
    for (int32_t kind = 0; kind < 3; ++kind) {
        AddEvent(kind * 3, kind, 1850, 2100, 100, 2, 1);
        AddEvent(kind * 3 + 1, kind, 1850, 2100, 60, 3, 0);
        AddEvent(kind * 3 + 2, kind, 1870, 1880, 30, 1, 2);
    }
    ProductTable::GetOrCreateRow(0);
    SpecialEventsTable::FindMutable(0)->ProductFreightPriceChange = MakeTable({{-1, 1.5f}});
    std::vector<uint32_t> announced;
    SpecialEvents::SetHooks({{}, {}, [&](uint32_t row) { announced.push_back(row); }});
    CreatePlayers();
    SetGameRandomSeed(12345);
    SetYear(1860);
    SpecialEvents::Reset();

    std::map<int32_t, uint32_t> starts;
    std::array<int16_t, 3> running{-1, -1, -1};
    for (uint32_t month = 0; month < 30 * 12; ++month) {
        RunMonths(1);
        for (uint32_t kind = 0; kind < 3; ++kind) {
            const int16_t now = SpecialEvents::RunningEvent(kind);
            if (now != -1 && now != running[kind])
                ++starts[now];
            if (now != -1) {
                // Only events of the kind run, within their years.
                const SpecialEventsRow* event = SpecialEventsTable::Find(now);
                ASSERT_NE(event, nullptr);
                EXPECT_EQ(event->EventTyp, int32_t(kind));
            }
            running[kind] = now;
            for (uint32_t k = 0; k < 3; ++k)
                EXPECT_LE(SpecialEvents::Plan(k).size(), SpecialEvents::kMaxPlannedEvents);
        }
    }
    for (const auto& [row, count] : starts) {
        const int32_t limit = SpecialEventsTable::Find(row)->CounterPer100Years;
        if (limit != 0) {
            EXPECT_LE(count, uint32_t(limit)) << "row " << row;
        }
    }
    EXPECT_FALSE(starts.empty());
    EXPECT_FALSE(announced.empty());
}

TEST_F(SpecialEventsTest, FactorsOfRunningEventsMultiplyAndEndingRebuildsThem) {
    ProductTable::GetOrCreateRow(0);
    ProductTable::GetOrCreateRow(1);
    SpecialEventsRow* a = AddEvent(0, 0, 1850, 1850, 100, 1, 0);
    a->ProductFreightPriceChange = MakeTable({{0, 2.0f}});
    a->VehicleTravellingCostChange = MakeTable({{3, 1.5f}});
    SpecialEventsRow* b = AddEvent(1, 1, 1850, 1850, 100, 2, 0);
    b->ProductFreightPriceChange = MakeTable({{-1, 3.0f}});
    b->RouteCostChange = MakeTable({{4, 0.5f}});
    CreatePlayers();
    SetYear(1850);
    RunMonths(3); // January, February: kind 0 starts; March: kind 1 starts.
    EXPECT_EQ(SpecialEvents::RunningEvent(0), 0);
    EXPECT_EQ(SpecialEvents::RunningEvent(1), 1);
    EXPECT_FLOAT_EQ(GetEventFreightPriceFactor(0), 6.0f);
    EXPECT_FLOAT_EQ(GetEventFreightPriceFactor(1), 3.0f);
    EXPECT_FLOAT_EQ(GetEventVehicleTravellingCostFactor(3), 1.5f);
    EXPECT_FLOAT_EQ(GetEventRouteCostFactor(4), 0.5f);
    EXPECT_FLOAT_EQ(GetEventRouteCostFactor(5), 1.0f);
    // Kind 0 ends at the start of February 1851; kind 1's factors stay.
    RunMonths(11);
    EXPECT_EQ(SpecialEvents::RunningEvent(0), -1);
    EXPECT_EQ(SpecialEvents::RunningEvent(1), 1);
    EXPECT_FLOAT_EQ(GetEventFreightPriceFactor(0), 3.0f);
    EXPECT_FLOAT_EQ(GetEventVehicleTravellingCostFactor(3), 1.0f);
}

TEST_F(SpecialEventsTest, ImpossibleEventsNeverStart) {
    AddEvent(0, 0, 1850, 2500, 0, 1, 0);
    AddEvent(1, 1, 2200, 2300, 100, 1, 0);
    SetYear(1850);
    RunMonths(24);
    EXPECT_EQ(SpecialEvents::RunningEvent(0), -1);
    EXPECT_EQ(SpecialEvents::RunningEvent(1), -1);
    EXPECT_TRUE(SpecialEvents::Plan(0).empty());
    EXPECT_TRUE(SpecialEvents::Plan(1).empty());
}

TEST_F(SpecialEventsTest, PlannedEventWhoseYearsPassedIsDroppedInsteadOfBlocking) {
    AddEvent(0, 0, 1850, 1855, 100, 1, 0);
    AddEvent(1, 0, 1850, 2000, 100, 1, 0);
    // A loaded plan whose first event can no longer run.
    ChunkWriter w;
    w.Begin(ChunkTag("spe1"));
    for (int i = 0; i < 3; ++i)
        w.U16(0xFFFF);
    for (int i = 0; i < 3; ++i)
        w.U16(0);
    w.End();
    w.Begin(ChunkTag("spe2"));
    w.U32(2);
    w.U32(4);
    w.U32(0);
    w.U32(1);
    for (int i = 0; i < 2; ++i) {
        w.U32(0);
        w.U32(4);
    }
    w.End();
    w.Empty();
    SetYear(1900);
    ASSERT_TRUE(LoadSection(WrapSection(w.bytes), [] { SpecialEvents::Serialize(); }));
    EXPECT_EQ(SpecialEvents::Plan(0), (std::vector<uint32_t>{0, 1}));
    RunMonths(2);
    EXPECT_EQ(SpecialEvents::RunningEvent(0), 1);
}

TEST_F(SpecialEventsTest, SectionRoundTripsAndDamagedRowsAreDropped) {
    for (int32_t kind = 0; kind < 3; ++kind)
        AddEvent(kind, kind, 1850, 2100, 100, 4, 0);
    CreatePlayers();
    SetYear(1850);
    RunMonths(5);
    const Bytes stored = StoreSection([] { SpecialEvents::Serialize(); });
    const auto plan = SpecialEvents::Plan(2);
    const int16_t running = SpecialEvents::RunningEvent(1);
    SpecialEvents::EndAll();
    ASSERT_TRUE(LoadSection(stored, [] { SpecialEvents::Serialize(); }));
    EXPECT_EQ(SpecialEvents::Plan(2), plan);
    EXPECT_EQ(SpecialEvents::RunningEvent(1), running);
    EXPECT_EQ(StoreSection([] { SpecialEvents::Serialize(); }), stored);

    // Rows that do not exist or belong to another kind.
    ChunkWriter w;
    w.Begin(ChunkTag("spe1"));
    w.U16(7);
    w.U16(0);
    w.U16(2);
    for (int i = 0; i < 3; ++i)
        w.U16(1900);
    w.End();
    w.Begin(ChunkTag("spe2"));
    w.U32(3);
    w.U32(4);
    w.U32(0);
    w.U32(2);
    w.U32(99);
    w.U32(0);
    w.U32(4);
    w.U32(0);
    w.U32(4);
    w.End();
    w.Empty();
    const uint32_t warnings = WorldWarningCount();
    ASSERT_TRUE(LoadSection(WrapSection(w.bytes), [] { SpecialEvents::Load(); }));
    EXPECT_EQ(SpecialEvents::RunningEvent(0), -1);
    EXPECT_EQ(SpecialEvents::RunningEvent(1), -1);
    EXPECT_EQ(SpecialEvents::RunningEvent(2), 2);
    EXPECT_GT(WorldWarningCount(), warnings);
}
