#include "tests/world/economy_fixture.h"
#include "world/headquarter.h"
#include "world/prices.h"

#include <cmath>
#include <limits>

using namespace economy_fixture;

namespace {

class PricesTest : public EconomyTest {
protected:
    void SetUp() override {
        EconomyTest::SetUp();
        GlobalConstantsRow* constants = GlobalConstantsTable::GetOrCreateRow(0);
        constants->TrafficCostModifier = MakeTable({{1850, 1.0f}, {1900, 2.0f}});
        constants->BrigdeTunnelCostModifier = MakeTable({{1850, 4.0f}});
        constants->FreightPriceModifiers = MakeTable({{1850, 0.5f}});
        RouteBuilderRow* track = RouteBuilderTable::GetOrCreateRow(1);
        track->ConstructionCost = 1000;
        track->DemolitionCost = 300;
        RouteBuilderRow* bridge = RouteBuilderTable::GetOrCreateRow(2);
        bridge->ConstructionCost = 1000;
        bridge->DemolitionCost = 300;
        bridge->IsBridge = 1;
        SpecialTracksTable::GetOrCreateRow(0)->ConstructionCostMultiplier = 3;
        WaterTowerTable::GetOrCreateRow(0)->BaseCosts = 50;
        VehicleTable::GetOrCreateRow(0)->PurchasePrice = 20000;
        HeadquarterTable::GetOrCreateRow(1)->Modifier = 0.75f;
        ProductRow* coal = ProductTable::GetOrCreateRow(0);
        coal->FreightPrice = 100;
        coal->FreightPriceModifier = MakeTable({{0.5f, 10.0f}});
    }
};

} // namespace

TEST_F(PricesTest, PricesFollowModifiersAndEventsOverTheYears) {
    // An event that doubles track building from 1870 on.
    SpecialEventsRow* event = SpecialEventsTable::GetOrCreateRow(0);
    event->RouteCostChange = MakeTable({{1, 2.0f}});

    struct Case {
        uint32_t year;
        bool eventRunning;
        int32_t track, trackDemolition, bridge, specialTrack, waterTower;
    };
    const Case cases[] = {
        // 1850: traffic 1.01, bridges 1.04.
        {1850, false, 1010, 303, 1040, 3030, 50},
        {1899, false, 1500, 450, 3000, 4500, 75},
        {1900, true, 3040, 456, 3040, 9120, 76},
        {1910, true, 3440, 516, 3440, 10320, 86},
    };
    for (const Case& c : cases) {
        SetYear(c.year);
        SpecialEvents::EndAll();
        if (c.eventRunning) {
            // Start kind 0 in February of the year with a plan of this event.
            event->StartYear = 1850;
            event->EndYear = 3000;
            event->Probability = 100;
            event->NrOfYearsRunning = 5;
            GetGameClock()->AddTicks(749);
            SpecialEvents::Update();
            ASSERT_EQ(SpecialEvents::RunningEvent(0), 0);
        }
        EXPECT_EQ(GetRouteConstructionCost(1), c.track) << c.year;
        EXPECT_EQ(GetRouteDemolitionCost(1), c.trackDemolition) << c.year;
        EXPECT_EQ(GetRouteConstructionCost(2), c.bridge) << c.year;
        EXPECT_EQ(GetSpecialTrackConstructionCost(0, 1), c.specialTrack) << c.year;
        EXPECT_EQ(GetWaterTowerBaseCosts(0), c.waterTower) << c.year;
    }
}

TEST_F(PricesTest, MissingRowsCostNothing) {
    EXPECT_EQ(GetRouteConstructionCost(-1), 0);
    EXPECT_EQ(GetRouteConstructionCost(99), 0);
    EXPECT_EQ(GetWaterTowerPrice(-1), 0);
    EXPECT_EQ(GetVehiclePrice(5, 0), 0);
    EXPECT_EQ(GetStationPurchasePriceValue(0, 0, 0), -1);
}

TEST_F(PricesTest, VehiclePriceIgnoresTheYearButNotTheHeadquarters) {
    CreatePlayers();
    SetYear(1850);
    EXPECT_EQ(GetVehiclePrice(0, 0), 20000);
    SetYear(1950);
    EXPECT_EQ(GetVehiclePrice(0, 0), 20000);
    auto* headquarters = static_cast<Headquarter*>(CreateMapObject(1, Headquarter::kSubtype));
    ASSERT_NE(headquarters, nullptr);
    headquarters->SetOwner(uint8_t(0));
    EXPECT_EQ(GetVehiclePrice(0, 0), 20000);
    headquarters->AddPart(1);
    EXPECT_EQ(GetVehiclePrice(0, 0), 15000);
    EXPECT_EQ(GetVehiclePrice(0, 1), 20000);
    DeleteMapObject(headquarters->GetId());
    EXPECT_EQ(GetVehiclePrice(0, 0), 20000);
}

TEST_F(PricesTest, FreightIncomeDecaysWithTheAverageTime) {
    SetYear(1850);
    // Price 100 x freight modifier 0.995.
    const float price = GetProductFreightPrice(0);
    EXPECT_NEAR(price, 99.5f, 1e-3f);
    struct Case {
        const char* name;
        float factor;
        uint32_t totalTime;
        uint32_t amount;
        float priceFactor;
        int32_t expected;
    };
    const Case cases[] = {
        {"no time: full price", 1.0f, 0, 10, 1.0f, 995},
        {"time constant reached: three quarters", 1.0f, 100, 10, 1.0f, 746},
        {"amount 0 counts as one unit", 1.0f, 10, 0, 1.0f, 74},
        {"negative factor pays nothing", -1.0f, 0, 10, 1.0f, 0},
        {"price factor doubles", 1.0f, 0, 10, 2.0f, 1990},
        {"huge results saturate", 1e30f, 0, 10, 1.0f, std::numeric_limits<int32_t>::max()},
        {"not a number pays nothing", std::nanf(""), 0, 10, 1.0f, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CalcFreightIncome(0, c.factor, c.totalTime, c.amount, c.priceFactor), c.expected) << c.name;
}

TEST_F(PricesTest, FreightIncomeWithACancellingTimeConstantPaysNothing) {
    ProductTable::GetOrCreateRow(0)->FreightPriceModifier = MakeTable({{0.5f, 0.0f}});
    EXPECT_EQ(CalcFreightIncome(0, 1.0f, 0, 1, 1.0f), 0);
    // The time constant -1 of a missing column meets an average time of 1.
    ProductTable::GetOrCreateRow(0)->FreightPriceModifier = ValueTable{};
    EXPECT_EQ(CalcFreightIncome(0, 1.0f, 1, 1, 1.0f), 0);
}

TEST_F(PricesTest, MissionDifficultyScalesFreightOnlyDuringMissions) {
    GlobalConstantsTable::GetOrCreateRow(0)->MissionDifficultyFreightPriceModifier = MakeTable({{2.0f}});
    GetUiState().MissionDifficulty = 0;
    SetYear(1850);
    EXPECT_NEAR(GetProductFreightPrice(0), 99.5f, 1e-3f);
    GetUiState().CurrentMission = 3;
    EXPECT_NEAR(GetProductFreightPrice(0), 199.0f, 1e-3f);
}

TEST_F(PricesTest, ProductListFollowsDisplayOrder) {
    ClearProductTable();
    ProductTable::GetOrCreateRow(0)->UIOrderIndex = 5;
    ProductTable::GetOrCreateRow(2)->UIOrderIndex = 1;
    ProductTable::GetOrCreateRow(3)->UIOrderIndex = 3;
    EXPECT_EQ(GetProductList(), (std::vector<int32_t>{2, 3, 0}));
    ClearProductTable();
}

TEST_F(PricesTest, ProductFlagsIgnoreIndicesOutsideTheSet) {
    ClearProductFlags();
    SetProductFlag(3);
    SetProductFlag(kProductFlagCount);
    EXPECT_TRUE(TestProductFlag(3));
    EXPECT_FALSE(TestProductFlag(4));
    EXPECT_FALSE(TestProductFlag(kProductFlagCount));
}
