#include "gameloop/building_commands.h"
#include "gameloop/command_script.h"
#include "gameloop/route_commands.h"

#include "data/database.h"
#include "data/generated/route_tables.h"
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
#include "world/storage_hall.h"
#include "world/world_map.h"

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

// Another company's tower or decoration stays where it is.
TEST_F(HeadquarterCommandTest, OnlyTheOwnerRemovesTowersAndDecorations) {
    auto* tower = dynamic_cast<WaterTower*>(CreateMapObject(kCategoryBuilding, WaterTower::kSubtype));
    ASSERT_TRUE(tower && tower->Place(40, 40, WaterTower::kSubtype, 1, 1, 0));
    tower->SetOwner(1);
    Run(GameCommand42(44, 40, 0, 0, 0));
    auto* piece = dynamic_cast<TrackEndPiece*>(BuildingFromId(GetWorldMap().GetBuildingAt(44, 40)));
    ASSERT_NE(piece, nullptr);
    piece->SetOwner(1);
    Run(DemolishWaterTowerCommand(40, 40));
    Run(GameCommand43(44, 40));
    EXPECT_NE(GetWorldMap().GetBuildingAt(40, 40), 0u);
    EXPECT_NE(GetWorldMap().GetBuildingAt(44, 40), 0u);
    EXPECT_EQ(Spent(), 0);
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

namespace {

StorageHall* HallAt(uint32_t x, uint32_t y) {
    return dynamic_cast<StorageHall*>(BuildingFromId(GetWorldMap().GetBuildingAt(x, y)));
}

TEST_F(HeadquarterCommandTest, StorageHallsAreBoughtAndOnlyTheirOwnerRemovesThem) {
    Run(BuildStorageHallCommand(20, 20, 1));
    StorageHall* hall = HallAt(21, 21);
    ASSERT_NE(hall, nullptr);
    EXPECT_EQ(hall->GetTypeIndex(), 1);
    EXPECT_EQ(hall->GetOwner(), 0);
    const int64_t price = GetStoragePlacePrice(1);
    EXPECT_GT(price, 0);
    EXPECT_EQ(Spent(), price);

    // Overlapping, unknown type, off the map, too dear: nothing is built.
    const uint32_t w = GetWorldMap().GetWidth();
    for (const BuildStorageHallCommand& refused :
         {BuildStorageHallCommand(21, 21, 0), BuildStorageHallCommand(30, 30, 2),
          BuildStorageHallCommand(30, 30, 0xFFFFFFFFu), BuildStorageHallCommand(w - 1, 30, 0),
          BuildStorageHallCommand(0xFFFFFFFFu, 30, 0)})
        Run(refused);
    EXPECT_EQ(BuildingsOf<StorageHall>(StorageHall::kSubtype).size(), 1u);
    EXPECT_EQ(Spent(), price);

    // Another company's hall and a tile without a hall stay as they are.
    hall->SetOwner(1);
    Run(GameCommand33(20, 20));
    hall->SetOwner(0);
    Run(GameCommand33(25, 25));
    Run(GameCommand33(0xFFFFFFFFu, 20));
    EXPECT_EQ(HallAt(20, 20), hall);
    EXPECT_EQ(Spent(), price);

    Run(GameCommand33(21, 20));
    EXPECT_EQ(GetWorldMap().GetBuildingAt(20, 20), 0u);
    EXPECT_EQ(Spent(), price + StoragePlaceTable::Find(1)->DemolitionCosts);
}

// Straight track of type 1 from (x, y0) to (x, y1), laid column-wise.
void LayTrackColumn(uint32_t x, uint32_t y0, uint32_t y1, uint32_t type = 1) {
    WorldMap& map = GetWorldMap();
    for (uint32_t y = y0; y <= y1; ++y) {
        map.SetRouteKindAndClear(x, y, 1);
        map.SetRouteType(1, x, y, type);
        map.SetTrackDirections(x, y, 5);
    }
}

TEST_F(HeadquarterCommandTest, WaterTowersStandBesideStraightPlainTrack) {
    LayTrackColumn(40, 30, 40);
    // Nowhere near track, on the track, two tiles off it: refused.
    for (uint32_t x : {10u, 40u, 42u})
        Run(GameCommand22(x, 35, 0, 0));
    EXPECT_TRUE(BuildingsOf<WaterTower>(WaterTower::kSubtype).empty());
    EXPECT_EQ(Spent(), 0);

    Run(GameCommand22(41, 35, 0, 0));
    ASSERT_EQ(BuildingsOf<WaterTower>(WaterTower::kSubtype).size(), 1u);
    EXPECT_EQ(Spent(), GetWaterTowerPrice(0));

    // Beside a junction no tower stands.
    GetWorldMap().SetTrackDirections(40, 38, 7);
    Run(GameCommand22(41, 38, 0, 0));
    // A track type that takes no water towers.
    LayTrackColumn(50, 30, 40, 5);
    Run(GameCommand22(51, 35, 0, 0));
    EXPECT_EQ(BuildingsOf<WaterTower>(WaterTower::kSubtype).size(), 1u);
    EXPECT_EQ(Spent(), GetWaterTowerPrice(0));
}

TEST_F(HeadquarterCommandTest, AWaterTowerPreviewTurnsRealAtThePayloadPrice) {
    LayTrackColumn(40, 30, 40);
    Run(GameCommand22(39, 32, 1, 0));
    auto* tower = dynamic_cast<WaterTower*>(BuildingFromId(GetWorldMap().GetBuildingAt(39, 32)));
    ASSERT_NE(tower, nullptr);
    EXPECT_TRUE(tower->IsProvisional());
    EXPECT_EQ(Spent(), 0);
    // Another company's preview is not made real.
    tower->SetOwner(1);
    Run(GameCommand22(39, 32, 0, 1234));
    EXPECT_TRUE(tower->IsProvisional());
    EXPECT_EQ(Spent(), 0);
    tower->SetOwner(0);
    Run(GameCommand22(39, 32, 0, 1234));
    EXPECT_FALSE(tower->IsProvisional());
    EXPECT_EQ(Spent(), 1234);
    // A real tower is not charged again.
    Run(GameCommand22(39, 32, 0, 1234));
    EXPECT_EQ(Spent(), 1234);
}

TEST_F(HeadquarterCommandTest, LinkValuesNeedABuildingOfTheIssuer) {
    // No building, a building of another company: refused without harm.
    Run(GameCommand20(0, 1, 2));
    Run(GameCommand20(0xFFFFFFFFu, 1, 2));
    Run(BuildStorageHallCommand(20, 20, 0));
    StorageHall* hall = HallAt(20, 20);
    ASSERT_NE(hall, nullptr);
    hall->SetOwner(1);
    Run(GameCommand20(hall->GetId(), 1, 2));
    hall->SetOwner(0);
    Run(GameCommand20(hall->GetId(), 1, 2));
    EXPECT_EQ(HallAt(20, 20), hall);
}

// Scripts name the building commands by class or by type id.
TEST_F(HeadquarterCommandTest, ScriptsPlaceBuildings) {
    std::vector<ScriptedCommand> commands;
    std::string error;
    ASSERT_TRUE(ParseCommandScript("0 BuildStorageHallCommand 20 20 0\n"
                                   "0 21 30 30 1\n"
                                   "1 GameCommand33 30 30\n",
                                   commands, error))
        << error;
    for (const ScriptedCommand& scripted : commands) {
        scripted.command->SetPlayerId(0);
        Run(*scripted.command);
    }
    EXPECT_NE(HallAt(20, 20), nullptr);
    EXPECT_EQ(HallAt(30, 30), nullptr);
    EXPECT_EQ(Spent(), GetStoragePlacePrice(0) + GetStoragePlacePrice(1) +
                           StoragePlaceTable::Find(1)->DemolitionCosts);
}

} // namespace
