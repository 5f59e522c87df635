#include "gameloop/building_commands.h"
#include "gameloop/route_commands.h"

#include "data/database.h"
#include "gameloop/game.h"
#include "gameloop/new_game.h"
#include "gameloop/world_model.h"
#include "platform/clock.h"
#include "platform/file.h"
#include "world/headquarter.h"
#include "world/headquarter_registry.h"
#include "world/object_manager.h"
#include "world/player.h"
#include "world/prices.h"
#include "world/small_static_objects.h"

#include <gtest/gtest.h>

#include <string>

namespace {

constexpr int64_t kMoney = 10000000;

// A started game with the shipped data; player 0 issues the commands.
class HeadquarterCommandTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        std::string database;
        ASSERT_TRUE(plat::ReadWholeFile("gamedata/config/MDConfig.gen", database));
        Database& db = GetDatabase();
        db.Init();
        ASSERT_TRUE(db.Read(database));
        ASSERT_TRUE(db.ApplyAllTables(KindSelector::All));
    }
    void SetUp() override {
        plat::Clock::UseFake(0);
        ConnectWorldModel(game_, hooks_);
        StartGame(game_, 1);
        ResetHeadquarters();
        ASSERT_NE(GetPlayer(0), nullptr);
        GetPlayer(0)->Pay(kMoney - GetPlayer(0)->GetMoney(), -1, 0);
    }
    void TearDown() override {
        DeleteAllMapObjects();
        ResetHeadquarters();
    }
    void Run(const GameCommand& command) {
        ASSERT_TRUE(game_.Post(command));
        game_.DrainCommands();
    }
    static int64_t Spent() { return kMoney - GetPlayer(0)->GetMoney(); }

    Game game_;
    WorldModelHooks hooks_;
};

TEST_F(HeadquarterCommandTest, BuiltOncePerCompanyAndUpgradedOncePerPart) {
    Run(UpdateStationCommand(1));
    EXPECT_EQ(Spent(), 0) << "an upgrade without headquarters";
    Run(BuildHeadquarterCommand(10, 10));
    Headquarter* headquarter = GetPlayerHeadquarter(0);
    ASSERT_NE(headquarter, nullptr);
    EXPECT_EQ(GetWorldMap().GetBuildingAt(11, 11), headquarter->GetId());
    EXPECT_EQ(Spent(), GetHeadquarterPrice(0));
    EXPECT_GT(Spent(), 0);
    // A second one is refused.
    Run(BuildHeadquarterCommand(20, 20));
    EXPECT_EQ(GetWorldMap().GetBuildingAt(21, 21), 0u);
    EXPECT_EQ(Spent(), GetHeadquarterPrice(0));

    Run(UpdateStationCommand(2));
    EXPECT_TRUE(headquarter->HasFlag(2));
    const int64_t withPart = GetHeadquarterPrice(0) + GetHeadquarterPrice(2);
    EXPECT_EQ(Spent(), withPart);
    // A part bought already, one beyond the building, a huge number.
    for (uint32_t part : {2u, 5u, 40u, 0xFFFFFFFFu})
        Run(UpdateStationCommand(part));
    EXPECT_EQ(Spent(), withPart);
    EXPECT_EQ(headquarter->GetPartCount(), 1u);
}

TEST_F(HeadquarterCommandTest, RefusedWhereItDoesNotFitOrIsNotAfforded) {
    const uint32_t w = GetWorldMap().GetWidth(), h = GetWorldMap().GetHeight();
    Run(BuildHeadquarterCommand(w - 2, h / 2));
    Run(BuildHeadquarterCommand(0xFFFFFFFFu, 3));
    EXPECT_EQ(GetPlayerHeadquarter(0), nullptr);
    GetPlayer(0)->Pay(-GetPlayer(0)->GetMoney() - 1000000000, -1, 0);
    Run(BuildHeadquarterCommand(10, 10));
    EXPECT_EQ(GetPlayerHeadquarter(0), nullptr);
}

} // namespace

namespace {

TEST_F(HeadquarterCommandTest, DecorationsArePlacedPreviewedAndRemovedFreeOfCharge) {
    Run(GameCommand42(30, 30, 1, 7, 2));
    auto* piece = dynamic_cast<TrackEndPiece*>(BuildingFromId(GetWorldMap().GetBuildingAt(30, 30)));
    ASSERT_NE(piece, nullptr);
    EXPECT_TRUE(piece->IsProvisional());
    EXPECT_EQ(piece->GetNameFieldA(), 2u);
    EXPECT_EQ(piece->GetNameFieldB(), 7u);
    // Placed for real where the preview stands: the preview becomes final.
    Run(GameCommand42(30, 30, 0, 7, 2));
    EXPECT_FALSE(piece->IsProvisional());
    EXPECT_EQ(BuildingsOf<TrackEndPiece>(TrackEndPiece::kSubtype).size(), 1u);
    Run(GameCommand43(31, 30));
    Run(GameCommand43(0xFFFFFFFFu, 30));
    Run(GameCommand42(0xFFFFFFFFu, 30, 0, 0, 0));
    EXPECT_EQ(BuildingsOf<TrackEndPiece>(TrackEndPiece::kSubtype).size(), 1u);
    Run(GameCommand43(30, 30));
    EXPECT_EQ(GetWorldMap().GetBuildingAt(30, 30), 0u);
    EXPECT_EQ(Spent(), 0);
}

TEST_F(HeadquarterCommandTest, WaterTowerDemolitionChargesOnlyFinalTowers) {
    auto place = [](int32_t x, bool provisional) {
        auto* tower = dynamic_cast<WaterTower*>(CreateMapObject(kCategoryBuilding, WaterTower::kSubtype));
        EXPECT_TRUE(tower && tower->Place(x, 40, WaterTower::kSubtype, 1, 1, 0));
        tower->SetProvisional(provisional);
    };
    place(40, true);
    place(42, false);
    Run(DemolishWaterTowerCommand(40, 40));
    EXPECT_EQ(GetWorldMap().GetBuildingAt(40, 40), 0u);
    EXPECT_EQ(Spent(), 0);
    Run(DemolishWaterTowerCommand(41, 40));
    Run(DemolishWaterTowerCommand(42, 40));
    EXPECT_EQ(GetWorldMap().GetBuildingAt(42, 40), 0u);
    EXPECT_EQ(Spent(), GetWaterTowerDemolitionCost(0));
}

} // namespace

namespace {

// A decoration that construction took away comes back through its cells.
TEST_F(HeadquarterCommandTest, SpriteCellsPutADecorationBack) {
    ASSERT_TRUE(GetWorldMap().PlaceDecoration(50, 50, 3, 1));
    const uint32_t number = GetWorldMap().GetDecorationNumber(50, 50);
    GetWorldMap().RemoveDecorationAt(50, 50);
    ASSERT_NE(GetWorldMap().GetCellKind(50, 50), uint32_t(kCellDecoration));
    Run(GameCommand37(50, 50, 3, 1));
    EXPECT_EQ(GetWorldMap().GetCellKind(50, 50), uint32_t(kCellDecoration));
    EXPECT_EQ(GetWorldMap().GetDecorationNumber(50, 50), number);
    // Off the map or over a building nothing is placed.
    Run(BuildHeadquarterCommand(60, 60));
    Run(GameCommand37(61, 61, 3, 1));
    Run(GameCommand37(0xFFFFFFFFu, 3, 3, 1));
    EXPECT_NE(GetWorldMap().GetCellKind(61, 61), uint32_t(kCellDecoration));
}

} // namespace
