// Vehicle costs, wear, water and value; type queries; the company commands
// through the command path.
#include "data/database.h"
#include "data/generated/vehicle_tables.h"
#include "gameloop/game.h"
#include "gameloop/new_game.h"
#include "gameloop/saved_game.h"
#include "gameloop/vehicle_commands.h"
#include "platform/clock.h"
#include "platform/file.h"
#include "vehicles/vehicle.h"
#include "vehicles/vehicle_costs.h"
#include "vehicles/vehicle_services.h"
#include "vehicles/vehicle_types.h"
#include "world/game_settings.h"
#include "world/object_manager.h"
#include "world/player.h"
#include "world/prices.h"
#include "world/static_object_services.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

constexpr int32_t kCostsEngine = 40;
constexpr int32_t kWaggon = 41;

struct VehicleCostsTest : testing::Test {
    static void SetUpTestSuite() {
        std::string text;
        ASSERT_TRUE(plat::ReadWholeFile("gamedata/config/MDConfig.gen", text));
        GetDatabase().Init();
        ASSERT_TRUE(GetDatabase().Read(text));
        ASSERT_TRUE(GetDatabase().ApplyAllTables(KindSelector::All));
    }

    VehicleCostsTest() {
        plat::Clock::UseFake(0);
        ConnectWorldModel(game, hooks);
        InstallVehicles(game);
        StartGame(game, 9);
        GetWorldMap().SetMapSizeNoReset(32, 32);
        for (int32_t t : {kCostsEngine, kWaggon}) {
            VehicleRow* row = VehicleTable::GetOrCreateRow(t);
            row->Name = "Test\\nengine";
            row->ConnectionType = 1;
            row->VehicleType = 5;
            row->PurchasePrice = 1000;
            row->TravelTimeMsPerSquare = t == kCostsEngine ? 500 : 800;
            row->Accelaration = t == kCostsEngine ? 10 : 4;
            row->TractivePower = 100;
            row->Reliability = 10;
            row->TravellingCostPerSquare = 2.5f;
            row->RepairCostPerPercentage = 3;
            row->WaterDemandPerSquare = 30.0f;
            row->RegionCode = 7;
        }
        GetPlayer(0)->Pay(100000 - GetPlayer(0)->GetMoney(), -1, 0);
    }
    ~VehicleCostsTest() override { DeleteAllMapObjects(); }

    Vehicle* Make(int32_t type) {
        auto* v = dynamic_cast<Vehicle*>(CreateMapObject(kCategoryMoving, kVehicleSubtype));
        v->Init(type, 0, 0);
        v->SetUnit(0, v->GetId());
        return v;
    }

    Game game;
    VehicleWorldHooks hooks;
};

TEST_F(VehicleCostsTest, AccelerationFallsWithWeightAndNeverReachesZero) {
    Vehicle* v = Make(kCostsEngine);
    v->UpdateConsistLimits();
    struct Case {
        float weight;
        float factor;
    } cases[] = {{0.0f, 1.0f}, {100.0f, 1.0f}, {150.0f, 0.5f}, {200.0f, 0.01f}, {1000.0f, 0.01f}};
    for (const Case& c : cases) {
        v->SetTrainWeight(c.weight);
        EXPECT_FLOAT_EQ(v->GetAccelerationFactor(), 10.0f * c.factor) << c.weight;
    }
    // No power at all: any weight crawls, none gets the full value.
    VehicleTable::FindMutable(kCostsEngine)->TractivePower = 0;
    v->SetTrainWeight(1.0f);
    EXPECT_FLOAT_EQ(v->GetAccelerationFactor(), 0.1f);
    v->SetTrainWeight(0.0f);
    EXPECT_FLOAT_EQ(v->GetAccelerationFactor(), 10.0f);
}

TEST_F(VehicleCostsTest, BreakdownRiskAndDataDivisors) {
    Vehicle* v = Make(kCostsEngine);
    struct Case {
        float condition;
        int32_t reliability;
        float risk;
    } cases[] = {
        {0.5f, 10, 100.0f}, {50.0f, 10, 5.0f}, {100.0f, 10, 0.0f}, {50.0f, 0, 0.0f}, {50.0f, -3, 0.0f}};
    for (const Case& c : cases) {
        VehicleTable::FindMutable(kCostsEngine)->Reliability = c.reliability;
        v->SetCondition(c.condition);
        EXPECT_FLOAT_EQ(v->GetBreakDownRisk(), c.risk) << c.condition << " " << c.reliability;
    }
}

TEST_F(VehicleCostsTest, WearAndWaterStayInRange) {
    Vehicle* v = Make(kCostsEngine);
    GetUiState().VehicleWear = 1;
    GetUiState().MissionDifficulty = 1;
    VehicleTable::FindMutable(kCostsEngine)->DetoriationPerSquare = 7.0f;
    for (int i = 0; i < 40; ++i)
        v->OnSquareTravelled();
    EXPECT_EQ(v->GetTilesTravelled(), 40u);
    EXPECT_FLOAT_EQ(v->GetCondition(), 0.0f);
    EXPECT_FLOAT_EQ(v->GetWater(), 0.0f);
    for (int i = 0; i < 10; ++i)
        v->TakeWater();
    EXPECT_LE(v->GetWater(), 100.0f);
    EXPECT_GT(v->GetWater(), 0.0f);
    // Without the wear setting nothing wears.
    GetUiState().VehicleWear = 0;
    v->SetCondition(80.0f);
    v->OnSquareTravelled();
    EXPECT_FLOAT_EQ(v->GetCondition(), 80.0f);
    GetUiState() = UiState{};
}

TEST_F(VehicleCostsTest, RunningCostsBookOnlyNewSquaresAndRepairChargesTheConsist) {
    Vehicle* v = Make(kCostsEngine);
    Vehicle* second = Make(kWaggon);
    v->SetUnit(1, second->GetId());
    v->SetState(kStateMoving);
    for (int i = 0; i < 10; ++i)
        v->OnSquareTravelled();
    const int64_t before = GetPlayer(0)->GetMoney();
    EXPECT_FLOAT_EQ(v->BookConsistRunningCost(), 25.0f);
    EXPECT_EQ(GetPlayer(0)->GetMoney(), before - 25);
    EXPECT_FLOAT_EQ(v->BookConsistRunningCost(), 0.0f);
    EXPECT_EQ(v->GetRunningCostBookings(), 3u);

    v->SetCondition(90.0f);
    second->SetCondition(80.0f);
    const int64_t money = GetPlayer(0)->GetMoney();
    EXPECT_FLOAT_EQ(v->Repair(false), 3.0f * 10 + 3.0f * 20);
    EXPECT_EQ(GetPlayer(0)->GetMoney(), money - 90);
    EXPECT_FLOAT_EQ(v->GetCondition(), 100.0f);
    EXPECT_FLOAT_EQ(second->GetCondition(), 100.0f);
}

TEST_F(VehicleCostsTest, ValueFallsInWholeYearsAndSurvivesAZeroLifetime) {
    Vehicle* v = Make(kCostsEngine);
    VehicleConstantsRow* constants = VehicleConstantsTable::GetOrCreateRow(0);
    constants->DepreciationTime = 0;
    EXPECT_EQ(v->GetCurrentValue(), 0);
    constants->DepreciationTime = 4;
    EXPECT_EQ(v->GetCurrentValue(), int64_t(GetVehiclePrice(kCostsEngine, 0)));
}

TEST_F(VehicleCostsTest, ConsistLimitsTakeTheWeakestUnit) {
    Vehicle* v = Make(kCostsEngine);
    v->UpdateConsistLimits();
    EXPECT_EQ(v->GetSpeedType(), kCostsEngine);
    EXPECT_EQ(v->GetAccelerationType(), kCostsEngine);
    // All StartSpeed 0: the start type keeps the acceleration type.
    EXPECT_EQ(v->GetStartType(), kCostsEngine);
    Vehicle* slow = Make(kWaggon);
    v->SetUnit(1, slow->GetId());
    v->UpdateConsistLimits();
    EXPECT_EQ(v->GetSpeedType(), kWaggon);
    EXPECT_EQ(v->GetAccelerationType(), kWaggon);
    EXPECT_EQ(v->GetTimePerSquare(), 800u);
}

TEST_F(VehicleCostsTest, ProductSetsKindsAndTexts) {
    VehicleRow* row = VehicleTable::FindMutable(kCostsEngine);
    row->CanTransportProduct.Resize(1, 1);
    row->CanTransportProduct.SetCell(0, 0, -1.0f);
    EXPECT_TRUE(GetTransportableProducts(kCostsEngine, 0).any());
    row->CanTransportProduct.Resize(3, 1);
    row->CanTransportProduct.SetCell(0, 0, 2.0f);
    row->CanTransportProduct.SetCell(1, 0, 5000.0f);
    row->CanTransportProduct.SetCell(2, 0, -1.0f);
    const ProductSet set = GetTransportableProducts(kCostsEngine, 0);
    EXPECT_EQ(set.count(), 1u);
    EXPECT_TRUE(set.test(2));
    EXPECT_TRUE(GetTransportableProducts(kCostsEngine, 1).none());
    row->CanTransportProduct.Resize(0, 0);
    EXPECT_TRUE(GetTransportableProducts(kCostsEngine, 0).none());

    struct Kinds {
        int32_t a, b;
        bool ok;
    } kinds[] = {{2, 9, true},   {5, 9, false},  {5, 11, true},  {9, 9, true},
                 {9, 10, false}, {17, 5, false}, {12, 17, true}, {18, 9, true}};
    for (const Kinds& k : kinds)
        EXPECT_EQ(AreVehicleKindsCompatible(k.a, k.b), k.ok) << k.a << " " << k.b;

    EXPECT_EQ(GetVehicleTypeName(kCostsEngine), "Test\nengine");
    CurrentRegion() = 1;
    EXPECT_EQ(FormatSpeed(500.0f).substr(0, 4), "103 ");
    EXPECT_EQ(FormatSpeed(0.0f).substr(0, 2), "0 ");
    CurrentRegion() = 2;
    EXPECT_EQ(FormatSpeed(500.0f).substr(0, 3), "62 ");
    CurrentRegion() = 1;
}

TEST_F(VehicleCostsTest, RangesStayOpenWithoutTypes) {
    const VehicleValueRange none = GetSpeedRange(7, -1);
    EXPECT_FLOAT_EQ(none.min, 2147483648.0f);
    EXPECT_FLOAT_EQ(none.max, -2147483648.0f);
    VehicleTable::FindMutable(kCostsEngine)->TravelTimeMsPerSquare = 0;
    const VehicleValueRange speeds = GetSpeedRange(1, 5);
    EXPECT_FLOAT_EQ(speeds.min, 0.0f);
}

TEST_F(VehicleCostsTest, TypesOnOfferFollowTheYearAndCarryProducts) {
    CurrentRegion() = 1;
    std::vector<OfferedVehicleType> offer;
    ListAvailableVehicleTypes(0, -1, offer);
    std::vector<int32_t> types;
    for (const OfferedVehicleType& entry : offer) {
        EXPECT_TRUE(entry.products.any());
        types.push_back(entry.type);
    }
    // The game starts in the omnibus's first year; the motor bus comes later.
    EXPECT_NE(std::find(types.begin(), types.end(), 0), types.end());
    EXPECT_EQ(std::find(types.begin(), types.end(), 1), types.end());
    // A type without products is never on offer.
    VehicleTable::FindMutable(0)->CanTransportProduct.Resize(0, 0);
    ListAvailableVehicleTypes(0, -1, offer);
    for (const OfferedVehicleType& entry : offer)
        EXPECT_NE(entry.type, 0);
}

TEST_F(VehicleCostsTest, BuyingThreeWithMoneyForTwoMakesTwo) {
    GetPlayer(0)->Pay(2000 - GetPlayer(0)->GetMoney(), -1, 0);
    BuyVehicleCommand buy(uint32_t(kCostsEngine), 0, 3, 0);
    game.Post(buy);
    game.DrainCommands();
    EXPECT_EQ(AllVehicles().size(), 2u);
    EXPECT_EQ(GetPlayer(0)->GetMoney(), 0);
}

bool AllowPurchase(uint32_t, uint32_t, int64_t& price) {
    price = 500;
    return true;
}

TEST_F(VehicleCostsTest, CompanyCommandsTakeOverAndReplaceOnlyWhatTheyMay) {
    ComputerPlayerBase* computer = CreateAIPlayer(-1, 0);
    ASSERT_NE(computer, nullptr);
    const uint32_t slot = GetPlayerIndex(computer);
    BuyVehicleCommand buy(uint32_t(kCostsEngine), 0, 1, 0);
    buy.SetPlayerId(slot);
    computer->Pay(5000, -1, 0);
    game.Post(buy);
    game.DrainCommands();
    ASSERT_EQ(AllVehicles().size(), 1u);

    // A human company is never replaced; a purchase without a test is refused.
    GameCommand39 wipeHuman(0);
    game.Post(wipeHuman);
    BuyPlayerCommand refused(0, slot);
    game.Post(refused);
    game.DrainCommands();
    EXPECT_NE(GetPlayer(0), nullptr);
    EXPECT_NE(GetPlayer(slot), nullptr);

    // Buying for another company is refused too.
    SetCompanyPurchaseTest(AllowPurchase);
    BuyPlayerCommand forged(slot, 0);
    game.Post(forged);
    game.DrainCommands();
    EXPECT_NE(GetPlayer(0), nullptr);

    const int64_t money = GetPlayer(0)->GetMoney();
    BuyPlayerCommand take(0, slot);
    game.Post(take);
    game.DrainCommands();
    SetCompanyPurchaseTest(nullptr);
    EXPECT_EQ(GetPlayer(slot), nullptr);
    EXPECT_EQ(AllVehicles()[0]->GetOwner(), 0);
    EXPECT_EQ(GetPlayer(0)->GetMoney(), money - 500);

    // Saved and loaded, the taken-over vehicle stays the buyer's.
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(SaveGameToMemory(game, bytes));
    ASSERT_TRUE(LoadGameFromMemory(game, bytes));
    ASSERT_EQ(AllVehicles().size(), 1u);
    EXPECT_EQ(AllVehicles()[0]->GetOwner(), 0);

    // A replaced computer company loses its vehicles and a new one comes.
    ComputerPlayerBase* other = CreateAIPlayer(-1, 0);
    ASSERT_NE(other, nullptr);
    const uint32_t otherSlot = GetPlayerIndex(other);
    other->Pay(5000, -1, 0);
    buy.SetPlayerId(otherSlot);
    game.Post(buy);
    game.DrainCommands();
    ASSERT_EQ(AllVehicles().size(), 2u);
    GameCommand39 replace(otherSlot);
    game.Post(replace);
    game.DrainCommands();
    EXPECT_EQ(AllVehicles().size(), 1u);
    ASSERT_NE(GetPlayer(otherSlot), nullptr);
    EXPECT_NE(GetPlayer(otherSlot)->GetPlayerKind(), uint32_t(kPlayerKindHuman));
}

} // namespace
