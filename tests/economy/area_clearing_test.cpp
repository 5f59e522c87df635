#include "economy/area_clearing.h"
#include "tests/world/world_fixture.h"

#include "data/generated/town_tables.h"
#include "world/living_building.h"

#include <gtest/gtest.h>

namespace {

class AreaClearingTest : public WorldTest {
protected:
    void SetUp() override {
        WorldTest::SetUp();
        LivingBuildingTable::Clear();
        LivingBuildingRow* style = LivingBuildingTable::GetOrCreateRow(0);
        style->DemolitionCost.Resize(1, 2);
        style->DemolitionCost.SetCell(0, 0, 40);
        style->DemolitionCost.SetCell(0, 1, 70);
    }
    void TearDown() override {
        DeleteAllMapObjects();
        WorldTest::TearDown();
    }

    static LivingBuilding* House(int32_t x, int32_t y, int32_t w, int32_t h, uint8_t level) {
        auto* house =
            dynamic_cast<LivingBuilding*>(CreateMapObject(kCategoryBuilding, LivingBuilding::kSubtype));
        EXPECT_NE(house, nullptr);
        house->Init(1, 0, level, 0);
        EXPECT_TRUE(house->Place(x, y, LivingBuilding::kSubtype, w, h, 1));
        return house;
    }
};

TEST_F(AreaClearingTest, HousesAreClearedAndChargedOnce) {
    House(10, 10, 2, 2, 1);
    House(12, 10, 1, 1, 2);
    int32_t cost = -1;
    EXPECT_TRUE(IsAreaFree(9, 9, 5, 4, cost));
    EXPECT_EQ(cost, 110);
    EXPECT_TRUE(IsAreaFree(20, 20, 3, 3, cost));
    EXPECT_EQ(cost, 0);

    TownBuildingDemolished() = false;
    cost = 5;
    EXPECT_TRUE(ClearArea(9, 9, 5, 4, 0, cost));
    EXPECT_EQ(cost, 115);
    EXPECT_TRUE(TownBuildingDemolished());
    EXPECT_EQ(Map().GetBuildingAt(10, 10), 0u);
    EXPECT_EQ(Map().GetBuildingAt(12, 10), 0u);
    EXPECT_TRUE(IsAreaFree(9, 9, 5, 4, cost));
}

TEST_F(AreaClearingTest, WaysWaterOtherBuildingsAndTheMapEdgeRefuse) {
    LivingBuilding* house = House(30, 30, 1, 1, 1);
    Map().SetRouteKind(5, 5, 2);
    Map().SetRoadDirections(5, 5, 10);
    SetTerrainOfCell(7, 5, kWater);
    MapObject* other = CreateMapObject(kCategoryBuilding, 0);
    ASSERT_NE(other, nullptr);
    static_cast<Building*>(other)->Place(9, 5, 0, 1, 1, 1);
    struct Case {
        int32_t x, y, w, h;
    };
    const Case refused[] = {{4, 4, 3, 3},   {7, 5, 1, 1},  {9, 5, 1, 1},
                            {62, 62, 3, 3}, {-1, 0, 2, 2}, {0, 0, 2, -1}};
    for (const Case& c : refused) {
        int32_t cost = 0;
        EXPECT_FALSE(IsAreaFree(c.x, c.y, c.w, c.h, cost)) << c.x << "," << c.y;
        // Nothing is removed when the area is refused, even with a house on it.
        EXPECT_FALSE(ClearArea(c.x, c.y, c.w, c.h, 0, cost));
    }
    int32_t cost = 0;
    EXPECT_FALSE(ClearArea(29, 29, 2, 100000, 0, cost));
    EXPECT_FALSE(ClearArea(30, 30, 40, 1, 0, cost)); // runs off the map
    EXPECT_EQ(Map().GetBuildingAt(30, 30), house->GetId());
}

} // namespace
