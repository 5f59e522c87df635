// Breakdowns scrap the whole train; computer companies' vehicles and the
// never-break-down setting keep running; repairs on arrival at a station
// with a repair extension.
#include "tests/vehicles/cargo_fixture.h"

#include "data/generated/ai_tables.h"
#include "world/player_statistics.h"

namespace {

using BreakdownTest = CargoFixture;

TEST_F(BreakdownTest, WhoBreaksDown) {
    struct Case {
        const char* what;
        bool computer;
        int32_t neverBreaksDown;
        float condition;
        int32_t threshold;
        bool breaks;
    };
    // With condition below 1 the risk is 100; with condition 60 and a
    // reliability of 1 it is 40.
    const Case cases[] = {
        {"a worn-out vehicle of a human company", false, 0, 0.0f, 50, true},
        {"a risk equal to the threshold of 100", false, 0, 0.5f, 100, true},
        {"a risk below the threshold", false, 0, 60.0f, 50, false},
        {"a new vehicle with no threshold", false, 0, 100.0f, 0, false},
        {"a computer company's vehicle", true, 0, 0.0f, 0, false},
        {"the never-break-down setting", false, 1, 0.0f, 0, false},
    };
    CheatsRow* cheats = CheatsTable::GetOrCreateRow(0);
    VehicleConstantsRow* constants = VehicleConstantsTable::GetOrCreateRow(0);
    const int32_t savedCheat = cheats->VehicleNeverBreaksDown;
    const int32_t savedThreshold = constants->BreakDownTreshold;
    ASSERT_TRUE(AddPlayer(std::make_unique<ComputerPlayerBase>(1), false));
    uint32_t computer = 0;
    for (uint32_t slot = 1; slot < 4; ++slot)
        if (GetPlayer(slot) && !GetPlayer(slot)->IsHumanPlayer())
            computer = slot;
    ASSERT_NE(computer, 0u);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Vehicle* bus = Line({kPassengerCargo}, {kPassengerCargo});
        ASSERT_NE(bus, nullptr);
        if (c.computer)
            bus->SetOwner(int32_t(computer));
        cheats->VehicleNeverBreaksDown = c.neverBreaksDown;
        constants->BreakDownTreshold = c.threshold;
        bus->SetCondition(c.condition);
        bus->SetState(kStateMoving);
        // Twenty checks: a breakdown at risk 100 comes on the first one.
        bool broke = false;
        for (int i = 0; i < 20 && !broke; ++i)
            broke = bus->CheckBreakdown();
        EXPECT_EQ(broke, c.breaks);
        EXPECT_EQ(bus->GetState() == kStateReadyToBeRemoved, c.breaks);
        DeleteAllMapObjects();
    }
    cheats->VehicleNeverBreaksDown = savedCheat;
    constants->BreakDownTreshold = savedThreshold;
}

TEST_F(BreakdownTest, TheBreakdownOfOneUnitScrapsTheWholeTrainAndFreesItsHold) {
    Vehicle* lead = Line({kPassengerCargo}, {kPassengerCargo});
    ASSERT_NE(lead, nullptr);
    // A second unit coupled into the train, worn out.
    BuyVehicleCommand buy(uint32_t(kBus), 0, 1, 0);
    game.Post(buy);
    game.DrainCommands();
    Vehicle* unit = AllVehicles().back();
    ASSERT_NE(unit, lead);
    unit->SetState(kStateCoupled);
    lead->SetUnit(1, unit->GetId());
    unit->SetCondition(0.0f);
    lead->SetReservedSlot(1);
    a->SetLoadAreaReserved(1, true);
    VehicleConstantsRow* constants = VehicleConstantsTable::GetOrCreateRow(0);
    const int32_t saved = constants->BreakDownTreshold;
    constants->BreakDownTreshold = 50;
    lead->SetState(kStateMoving);
    VehicleSchedule* schedule = lead->GetSchedule();
    ASSERT_TRUE(lead->CheckBreakdown());
    EXPECT_EQ(lead->GetState(), kStateReadyToBeRemoved);
    EXPECT_EQ(unit->GetState(), kStateReadyToBeRemoved);
    EXPECT_EQ(lead->GetSchedule(), nullptr);
    EXPECT_EQ(schedule->GetVehicleHandle(), 0u) << "the schedule no longer names it";
    EXPECT_FALSE(a->IsLoadAreaReserved(1)) << "its loading area is free";
    EXPECT_EQ(lead->GetReservedSlot(), 0u);
    constants->BreakDownTreshold = saved;
    // The manager removes both in its next update.
    UpdateMovingObjects(1);
    EXPECT_TRUE(AllVehicles().empty());
}

TEST_F(BreakdownTest, RepairsRestoreTheConditionAndCost) {
    Vehicle* bus = Line({kPassengerCargo}, {kPassengerCargo});
    ASSERT_NE(bus, nullptr);
    bus->SetCondition(40.0f);
    Player* owner = GetPlayer(0);
    const int64_t money = owner->GetMoney();
    const int64_t running = owner->GetStatistics()->GetValue(1, 0);
    // 60 missing percent at 10 each.
    EXPECT_FLOAT_EQ(bus->Repair(false), 600.0f);
    EXPECT_EQ(bus->GetCondition(), 100.0f);
    EXPECT_EQ(owner->GetMoney(), money - 600);
    EXPECT_EQ(owner->GetStatistics()->GetValue(1, 0) - running, 600) << "booked as running costs";
    EXPECT_EQ(bus->GetBreakDownRisk(), 0.0f);
    // Arriving at a stop without a repair extension repairs nothing.
    bus->SetCondition(50.0f);
    bus->OnArrival();
    EXPECT_EQ(bus->GetCondition(), 50.0f);
    EXPECT_EQ(bus->GetStopCosts(), 0.0f);
}

} // namespace
