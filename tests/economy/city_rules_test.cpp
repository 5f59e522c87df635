// The towns' plan rules file, the building-site priority grid and the town
// plan: what the reader keeps and refuses, how the grid's buckets and
// searches behave, and how the planner lays and repairs blocks.
#include "economy/city_config.h"
#include "economy/town_predicates.h"
#include "platform/file.h"
#include "tests/economy/town_fixture.h"
#include "world/living_building.h"

#include <string>

namespace {

using CityRulesTest = TownTest;

TEST_F(CityRulesTest, TheRulesFileKeepsWhatHoldsAndLeavesOutTheRest) {
    struct Case {
        const char* what;
        std::string text;
        bool clean;
        uint32_t set, blocks, fixedBlocks, level1Class5;
    } cases[] = {
        {"two sets, numbers over any lines",
         "BUILDING_SIZE_DISTRIBUTION_SET_BEGIN 7\n1 2 3 4\n5 6\n7 8 9 10 11 12 13 14 15 16 17 18 19 20 21 22 "
         "23 "
         "24\nEND\nBLOCK_SIZE_DISTRIBUTION_SET_BEGIN 7\n  5 5\n\n6 7\nBLOCK_SIZE_DISTRIBUTION_SET_END\n",
         true, 7, 2, 6, 21},
        {"a later set of the same number overwrites",
         "BLOCK_SIZE_DISTRIBUTION_SET_BEGIN 3\n5 5\nBLOCK_SIZE_DISTRIBUTION_SET_END\n"
         "BLOCK_SIZE_DISTRIBUTION_SET_BEGIN 3\n5 5\n6 6\n7 7\nBLOCK_SIZE_DISTRIBUTION_SET_END\n",
         true, 3, 3, 7, 0},
        {"set 100 is out of range",
         "BLOCK_SIZE_DISTRIBUTION_SET_BEGIN 100\n5 5\nBLOCK_SIZE_DISTRIBUTION_SET_END\n", false, 99, 0, 0, 0},
        {"a negative set", "BLOCK_SIZE_DISTRIBUTION_SET_BEGIN -1\n5 5\nBLOCK_SIZE_DISTRIBUTION_SET_END\n",
         false, 0, 0, 0, 0},
        {"22 sizes overflow the set",
         "BLOCK_SIZE_DISTRIBUTION_SET_BEGIN 4\n" +
             [] {
                 std::string lines;
                 for (int i = 0; i < 22; ++i)
                     lines += "5 6\n";
                 return lines;
             }() +
             "BLOCK_SIZE_DISTRIBUTION_SET_END\n",
         false, 4, 0, 0, 0},
        {"21 sizes fit",
         "BLOCK_SIZE_DISTRIBUTION_SET_BEGIN 4\n" +
             [] {
                 std::string lines;
                 for (int i = 0; i < 21; ++i)
                     lines += "5 6\n";
                 return lines;
             }() +
             "BLOCK_SIZE_DISTRIBUTION_SET_END\n",
         true, 4, 21, 25, 0},
        {"the end of the file ends a block set", "BLOCK_SIZE_DISTRIBUTION_SET_BEGIN 2\n5 5\n6 6", false, 2, 2,
         6, 0},
        {"a bad size line is skipped",
         "BLOCK_SIZE_DISTRIBUTION_SET_BEGIN 2\n5 x\n0 4\n5 5\nBLOCK_SIZE_DISTRIBUTION_SET_END", false, 2, 1,
         5, 0},
        {"a short building set is left out", "BUILDING_SIZE_DISTRIBUTION_SET_BEGIN 1\n1 2 3\nEND\n", false, 1,
         0, 0, 0},
        {"a very long line", std::string(100000, 'B') + " 5\n", true, 0, 0, 0, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ParseCityConfig(c.text, "test"), c.clean) << c.what;
        EXPECT_EQ(GetBlockSizeSet(c.set, false).count, c.blocks) << c.what;
        const BlockSizeSet& fixed = GetBlockSizeSet(c.set, true);
        EXPECT_EQ(fixed.count, c.fixedBlocks) << c.what;
        if (fixed.count >= 4) {
            EXPECT_EQ(fixed.sizes[fixed.count - 4].width, 3u) << c.what;
            EXPECT_EQ(fixed.sizes[fixed.count - 1].width, 4u) << c.what;
            EXPECT_EQ(fixed.sizes[fixed.count - 1].height, 3u) << c.what;
        }
        EXPECT_EQ(GetBuildingSizeSet(c.set)[5][0], c.level1Class5) << c.what;
    }
    EXPECT_EQ(GetBlockSizeSet(100, true).count, 0u);
}

TEST_F(CityRulesTest, TheShippedRulesReadCleanly) {
    std::string text;
    ASSERT_TRUE(plat::ReadWholeFile("gamedata/config/city_config.txt", text));
    EXPECT_TRUE(ParseCityConfig(text, "city_config.txt"));
    for (uint32_t set : {0u, 1u, 2u}) {
        EXPECT_GT(GetBlockSizeSet(set, false).count, 0u) << set;
        EXPECT_EQ(GetBuildingSizeSet(set)[0][0], 100u) << set;
    }
}

int32_t PassAll(int32_t, int32_t, int32_t, void*) {
    return 1;
}
int32_t PassEvenX(int32_t, int32_t x, int32_t, void*) {
    return x % 2 == 0 ? 1 : 0;
}

TEST_F(CityRulesTest, BucketsHoldOnlyPrioritiesOneToNinetyNine) {
    City* city = CreateCity(20, 20, 9, 9, 0);
    CitySiteGrid& grid = city->GetGrid(kGridShape);
    grid.ClearValues();
    grid.Set(16, 16, 0);
    grid.Set(17, 16, -5);
    grid.Set(18, 16, 100);
    grid.Set(19, 16, 1);
    grid.Set(20, 16, 99);
    grid.Set(21, 16, 80);
    grid.Set(22, 16, 80);
    grid.Set(23, 16, 79);
    grid.ClearBuilt(2);
    grid.BuildLayer(2);
    uint32_t entries = 0;
    for (const auto& bucket : grid.GetLayer(2).buckets)
        entries += uint32_t(bucket.size());
    EXPECT_EQ(entries, 5u);
    // Set after building is seen only once the layer is rebuilt.
    grid.Set(20, 16, 0);
    int32_t x = 0, y = 0;
    uint32_t count = 0;
    const Predicate all[] = {{PassAll, nullptr}};
    EXPECT_EQ(grid.FindSite(2, all, x, y, count, false, false), 99);
    grid.ClearBuilt(2);
    // Hits at 80 end the search before 79; FindAllSites goes on.
    EXPECT_EQ(grid.FindSite(2, all, x, y, count, false, false), 80);
    EXPECT_EQ(count, 2u);
    EXPECT_EQ(x, 21);
    EXPECT_EQ(grid.FindAllSites(2, all, x, y, count, false, false), 1);
    EXPECT_EQ(count, 4u);
    EXPECT_EQ(grid.GetLayer(2).results.front().x, 21u);
    // With prune, a failing tile leaves the layer for good.
    const Predicate even[] = {{PassEvenX, nullptr}};
    EXPECT_EQ(grid.FindSite(2, even, x, y, count, false, true), 80);
    EXPECT_EQ(x, 22);
    EXPECT_EQ(grid.GetLayer(2).buckets[80].size(), 1u);
    EXPECT_EQ(grid.FindSite(2, all, x, y, count, true, false), 80);
    EXPECT_EQ(x, 22);
    // Nothing passes: the smallest signed value and no count.
    const Predicate none[] = {{PassEvenX, nullptr}, {PassEvenX, nullptr}};
    grid.ClearValues();
    grid.Set(21, 16, 50);
    grid.ClearBuilt(2);
    EXPECT_EQ(grid.FindSite(2, none, x, y, count, false, false), CitySiteGrid::kNothing);
    EXPECT_EQ(count, 0u);
}

TEST_F(CityRulesTest, ConesSpreadInsideTheTownOnly) {
    City* city = CreateCity(20, 20, 9, 9, 0);
    CitySiteGrid& grid = city->GetGrid(kGridShape);
    grid.ClearValues();
    grid.SpreadCone(20, 20, 10);
    EXPECT_EQ(grid.Get(20, 20), 10);
    EXPECT_EQ(grid.Get(23, 20), 7);
    EXPECT_EQ(grid.Get(23, 23), 5); // distance 4.24
    EXPECT_EQ(grid.Get(23, 24), 0); // on the outermost row
    EXPECT_EQ(grid.Get(16, 16), 0); // the outermost ring counts as outside
    // Two overlapping added cones add up and leave the candidate range.
    grid.SpreadAdd(20, 20, 60);
    grid.SpreadAdd(20, 20, 60);
    EXPECT_EQ(grid.Get(20, 20), int8_t(uint8_t(130)));
    grid.ClearBuilt(1);
    grid.BuildLayer(1);
    for (const CitySiteGrid::Tile& t : grid.GetLayer(1).buckets[0])
        ADD_FAILURE() << t.x;
}

TEST_F(CityRulesTest, ThePlannerLaysBlocksAroundTheCentreCross) {
    City* city = Found(32, 32, 21, 21);
    const CityPlan& plan = city->GetPlan();
    ASSERT_TRUE(plan.IsPlanned());
    // The cross is a street of the plan's blocks; blocks stay inside the
    // town's inner rectangle.
    EXPECT_EQ(plan.GetValue(33, 33), kPlanLot);
    for (int32_t i = 22; i <= 42; ++i) {
        EXPECT_NE(plan.GetValue(i, 22), kPlanRoad) << i;
        EXPECT_NE(plan.GetValue(22, i), kPlanRoad) << i;
    }
    // Every lot is enclosed: walking any way from it meets a planned street.
    for (int32_t y = 23; y < 42; ++y)
        for (int32_t x = 23; x < 42; ++x) {
            if (plan.GetValue(x, y) != kPlanLot)
                continue;
            bool enclosed = true;
            for (auto [dx, dy] : {std::pair{1, 0}, {-1, 0}, {0, 1}, {0, -1}}) {
                int32_t i = x, j = y;
                while (plan.InPlan(i, j) && plan.GetValue(i, j) != kPlanRoad) {
                    i += dx;
                    j += dy;
                }
                enclosed = enclosed && plan.InPlan(i, j);
            }
            EXPECT_TRUE(enclosed) << x << "," << y;
        }
}

TEST_F(CityRulesTest, RepairReopensTheGroundAroundAConflict) {
    City* city = Found(32, 32, 21, 21);
    CityPlan& plan = city->GetPlan();
    EXPECT_EQ(plan.Validate(false), 1);
    // A building over a planned street.
    int32_t rx = -1, ry = -1;
    for (int32_t y = 25; y < 40 && rx < 0; ++y)
        for (int32_t x = 25; x < 40 && rx < 0; ++x)
            if (plan.GetValue(x, y) == kPlanRoad && !Map().HasRoad(uint32_t(x), uint32_t(y))) {
                rx = x;
                ry = y;
            }
    ASSERT_GE(rx, 0);
    Map().PlaceFootprint(uint32_t(rx), uint32_t(ry), 0, 1, 1, 2);
    EXPECT_EQ(plan.Validate(false), 0);
    EXPECT_EQ(plan.GetValue(rx, ry), kPlanRoad); // without repair nothing changes
    EXPECT_EQ(plan.Validate(true), 0);
    for (int32_t y = ry - 2; y <= ry + 2; ++y)
        for (int32_t x = rx - 2; x <= rx + 2; ++x)
            EXPECT_EQ(plan.GetValue(x, y), kPlanOpen) << x << "," << y;
    EXPECT_EQ(plan.Validate(false), 1);
    // The growth state that checks the plan sends the town to lay blocks.
    city->SetGrowthState(kGrowCheckPlan);
    Map().ResetCell(uint32_t(rx), uint32_t(ry));
    Map().PlaceFootprint(uint32_t(rx), uint32_t(ry), 0, 1, 1, 2);
    city->Update(0, true);
    EXPECT_EQ(city->GetGrowthState(), uint32_t(kGrowUpgradeHouse));
}

TEST_F(CityRulesTest, PredicatesOfTheHouseSteps) {
    City* city = Found(32, 32, 21, 21);
    // NoWaterNear looks at the 3 x 3 square for n = 2 and never for 1.
    Map().CellAt(40, 40)->SetTerrainIndex(kWater);
    EXPECT_EQ(NoWaterNear(0, 41, 41, NumberParam(2)), 0);
    EXPECT_EQ(NoWaterNear(0, 42, 41, NumberParam(2)), 1);
    EXPECT_EQ(NoWaterNear(0, 40, 40, NumberParam(1)), 1);
    // Level 1 takes only lots reserved for level 1.
    HouseLevelParam one{city, 1};
    EXPECT_EQ(HouseOfLevelBelow(0, 34, 34, &one), 0);
    city->SetReservation(34, 34, 1);
    EXPECT_EQ(HouseOfLevelBelow(0, 34, 34, &one), 1);
    city->SetReservation(34, 34, 3);
    EXPECT_EQ(HouseOfLevelBelow(0, 34, 34, &one), 0);
    // The centre passes RoadNextToSite by itself.
    EXPECT_EQ(RoadNextToSite(0, 32, 32, city), 1);
    // CountToTarget passes on the target-th call at its priority only.
    CountParam count{50, 0, 2};
    EXPECT_EQ(CountToTarget(49, 0, 0, &count), 0);
    EXPECT_EQ(CountToTarget(50, 0, 0, &count), 0);
    EXPECT_EQ(CountToTarget(50, 0, 0, &count), 1);
}

TEST_F(CityRulesTest, ReservationPropabilityDecidesBetweenLotsAndHouses) {
    for (int32_t chance : {100, 0}) {
        SetMap(64, 64, kLand);
        CityStyleTable::GetOrCreateRow(0)->PlaceReservationPropability = chance;
        City* city = Found(32, 32, 21, 21);
        city->SetGrowthState(kGrowBuildHouse);
        uint32_t reserved = 0, built = 0;
        for (int i = 0; i < 30; ++i) {
            city->SetGrowthState(kGrowBuildHouse);
            const size_t before = BuildingsOf<LivingBuilding>(LivingBuilding::kSubtype).size();
            if (!city->Update(0, true))
                break;
            const size_t after = BuildingsOf<LivingBuilding>(LivingBuilding::kSubtype).size();
            (after > before ? built : reserved) += 1;
        }
        if (chance == 100) {
            EXPECT_EQ(built, 0u);
            EXPECT_GT(reserved, 0u);
        } else {
            EXPECT_GT(built, reserved);
        }
    }
}

} // namespace
