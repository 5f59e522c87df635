// A station built by command on town land: the houses in its way are
// cleared and their demolition cost booked after the station's price.
#include "data/generated/route_tables.h"
#include "data/generated/town_tables.h"
#include "gameloop/station_commands.h"
#include "tests/economy/town_fixture.h"
#include "transport/station.h"
#include "transport/station_layout.h"
#include "world/living_building.h"
#include "world/player.h"
#include "world/prices.h"

namespace {

class StationOnTownLand : public TownTest {
protected:
    void SetUp() override {
        TownTest::SetUp();
        StationTable::Clear();
        StationRow* halt = StationTable::GetOrCreateRow(0);
        halt->ConnectionType = 1;
        halt->XSizeInMapSquares = 1;
        halt->YSizeInMapSquares = 3;
        halt->LayoutIndex = 0;
        GetStationLayouts().Clear();
        GetStationLayouts().Read("STATION_DESC_BEGIN 0\n"
                                 "AREA 0 0 0 0 2 5\n"
                                 "AREA 3 0 0 0 2 0\n"
                                 "AREA 5 0 0 0 2 0\n"
                                 "LOAD_AREA 1 0 0 0 2 5\n"
                                 "LOAD_POINT 1 0 1 5\n"
                                 "CONN_POINT 1 0 0 1\n"
                                 "CONN_POINT 2 0 2 4\n"
                                 "PART 0 0 0 1 0\n"
                                 "STATION_DESC_END\n",
                                 "test");
        LivingBuildingRow* style = LivingBuildingTable::GetOrCreateRow(0);
        style->DemolitionCost.Resize(1, 1);
        style->DemolitionCost.SetCell(0, 0, 250);
    }
    void TearDown() override {
        DeleteAllMapObjects();
        StationTable::Clear();
        GetStationLayouts().Clear();
        TownTest::TearDown();
    }
};

TEST_F(StationOnTownLand, HousesInTheWayAreClearedAndCharged) {
    auto* house = dynamic_cast<LivingBuilding*>(CreateMapObject(kCategoryBuilding, LivingBuilding::kSubtype));
    ASSERT_NE(house, nullptr);
    house->Init(1, 0, 1, 0);
    ASSERT_TRUE(house->Place(20, 21, LivingBuilding::kSubtype, 1, 1, 1));
    Player* player = GetPlayer(0);
    ASSERT_NE(player, nullptr);
    player->Pay(1000000, -1, 0);
    const int64_t money = player->GetMoney();

    BuildStationCommand build(20, 20, 0, 0, 0, 0);
    build.SetPlayerId(0);
    ASSERT_TRUE(game_.Post(build));
    game_.DrainCommands();
    ASSERT_EQ(AllStations().size(), 1u);
    EXPECT_EQ(Map().GetBuildingAt(20, 21), 0u);
    EXPECT_EQ(Map().GetCellBuilding(20, 21), AllStations()[0]->GetId());
    EXPECT_EQ(player->GetMoney(), money - GetStationPrice(0, 0) - 250);

    // Without the money for price and clearing nothing is built.
    auto* other = dynamic_cast<LivingBuilding*>(CreateMapObject(kCategoryBuilding, LivingBuilding::kSubtype));
    other->Init(1, 0, 1, 0);
    ASSERT_TRUE(other->Place(30, 31, LivingBuilding::kSubtype, 1, 1, 1));
    player->Pay(-player->GetMoney() + GetStationPrice(0, 0) + 249, -1, 0);
    BuildStationCommand poor(30, 30, 0, 0, 0, 0);
    poor.SetPlayerId(0);
    ASSERT_TRUE(game_.Post(poor));
    game_.DrainCommands();
    EXPECT_EQ(AllStations().size(), 1u);
    EXPECT_EQ(Map().GetBuildingAt(30, 31), other->GetId());
}

} // namespace
