// Breakdowns scrap the whole train; computer companies' vehicles and the
// never-break-down setting keep running; repairs on arrival at a station
// with a repair extension, which hold the vehicle there for a while.
#include "tests/vehicles/cargo_fixture.h"

#include "data/generated/ai_tables.h"
#include "vehicles/moving_object.h"
#include "vehicles/vehicle_breakdown.h"
#include "world/player_statistics.h"

namespace {

// The world hooks of the fixture that also keep the news they are told.
struct NewsRecorder : VehicleWorldHooks {
    struct Item {
        uint32_t kind;
        int32_t x, y, value;
    };
    std::vector<Item> items;
    void AddNewsAt(uint32_t kind, int32_t x, int32_t y, int32_t value) override {
        items.push_back({kind, x, y, value});
    }
};

struct BreakdownTest : CargoFixture {
    BreakdownTest() { game.SetWorldHooks(&news); }
    ~BreakdownTest() override { game.SetWorldHooks(&hooks); }
    NewsRecorder news;
};

TEST_F(BreakdownTest, WhoBreaksDown) {
    struct Case {
        const char* what;
        bool computer;
        int32_t neverBreaksDown;
        float condition;
        int32_t threshold;
        bool breaks;
        // Whether it breaks down on the very first check.
        bool first;
    };
    // With condition below 1 the risk is 100; with condition 60 and a
    // reliability of 1 it is 40.
    const Case cases[] = {
        {"a worn-out vehicle of a human company", false, 0, 0.0f, 50, true, true},
        {"a risk equal to the threshold of 100", false, 0, 0.5f, 100, true, true},
        {"a risk of 40 at a threshold of 40", false, 0, 60.0f, 40, true, false},
        {"a risk below the threshold", false, 0, 60.0f, 50, false, false},
        {"a new vehicle with no threshold", false, 0, 100.0f, 0, false, false},
        {"a computer company's vehicle", true, 0, 0.0f, 0, false, false},
        {"the never-break-down setting", false, 1, 0.0f, 0, false, false},
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
        bus->SetHead(13, 21);
        news.items.clear();
        // Twenty checks: a breakdown at risk 100 comes on the first one.
        bool broke = false;
        int checks = 0;
        for (; checks < 20 && !broke; ++checks)
            broke = bus->CheckBreakdown();
        EXPECT_EQ(broke, c.breaks);
        EXPECT_EQ(bus->GetState() == kStateReadyToBeRemoved, c.breaks);
        if (c.first) {
            EXPECT_EQ(checks, 1);
        }
        // The owner is told once, with the head's tile and the type.
        ASSERT_EQ(news.items.size(), c.breaks ? 1u : 0u);
        if (c.breaks) {
            EXPECT_EQ(news.items[0].kind, kNewsVehicleBrokeDown);
            EXPECT_EQ(news.items[0].x, 13);
            EXPECT_EQ(news.items[0].y, 21);
            EXPECT_EQ(news.items[0].value, kBus);
        }
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

TEST_F(BreakdownTest, AScrappedVehicleFreesItsLanesItsStationAndItsCount) {
    Vehicle* bus = Line({kPassengerCargo}, {kPassengerCargo});
    ASSERT_NE(bus, nullptr);
    const ObjectHandle id = bus->GetId();
    bus->SetReservedSlot(1);
    a->SetLoadAreaReserved(1, true);
    a->AddKey(id);
    bus->SetHead(12, 20);
    bus->SetState(kStateMoving);
    bus->ClaimLanes();
    auto holdsLane = [&] { return GetLaneHolder(0, 12, 20, 0) == id || GetLaneHolder(0, 12, 20, 1) == id; };
    ASSERT_TRUE(holdsLane());
    PlayerStatistics* statistics = GetPlayer(0)->GetStatistics();
    const int64_t counted = statistics->GetAccount(0);
    bus->Scrap();
    EXPECT_FALSE(holdsLane()) << "its lanes are free";
    EXPECT_FALSE(a->IsLoadAreaReserved(1));
    EXPECT_FALSE(a->HasVehicle(id)) << "the station no longer lists it";
    EXPECT_EQ(statistics->GetAccount(0), counted - 1) << "the company counts one vehicle less";
    // Scrapping again (it is already gone) counts nothing more.
    bus->Scrap();
    EXPECT_EQ(statistics->GetAccount(0), counted - 1);
    UpdateMovingObjects(1);
    EXPECT_EQ(GetVehicle(id), nullptr);
}

TEST_F(BreakdownTest, ArrivingAtARepairStationWaitsForTheRepair) {
    // The repair extension: the first of its type in the data, else one
    // made for the test.
    int32_t repair = -1;
    for (int32_t row = 0; row < StationExtentionTable::RowCount() && repair < 0; ++row)
        if (const StationExtentionRow* r = StationExtentionTable::Find(row); r && r->Type == 3)
            repair = row;
    if (repair < 0) {
        repair = StationExtentionTable::RowCount();
        StationExtentionTable::GetOrCreateRow(repair)->Type = 3;
    }
    VehicleConstantsRow* constants = VehicleConstantsTable::GetOrCreateRow(0);
    const int32_t savedTime = constants->RepairTimePerPercent;
    constants->RepairTimePerPercent = 50;
    struct Case {
        const char* what;
        bool repairs;
        float condition;
        uint32_t extraWait;
    };
    const Case cases[] = {
        {"a worn vehicle at a station without repairs", false, 40.0f, 0},
        {"a worn vehicle at a repair station", true, 40.0f, 60 * 50},
        {"a vehicle in full condition at a repair station", true, 100.0f, 0},
    };
    // The wait after the arrival at the same place without a repair.
    uint32_t plainWait = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Vehicle* bus = Line({kPassengerCargo}, {kPassengerCargo});
        ASSERT_NE(bus, nullptr);
        if (c.repairs)
            b->AddExtension(uint32_t(repair));
        ASSERT_EQ(b->HasExtensionType(8), c.repairs);
        bus->SetCondition(c.condition);
        bus->SetHead(40, 20);
        bus->SetState(kStateArrives);
        const uint32_t arrived = bus->GetWakeTime();
        bus->Step();
        EXPECT_EQ(bus->GetCondition(), c.repairs ? 100.0f : c.condition);
        const uint32_t wait = bus->GetWakeTime() - arrived;
        if (!c.repairs)
            plainWait = wait;
        EXPECT_EQ(wait, plainWait + c.extraWait);
        DeleteAllMapObjects();
    }
    constants->RepairTimePerPercent = savedTime;
}

} // namespace
