#include "platform/message.h"
#include "tests/files/scratch_folder.h"
#include "tests/world/world_fixture.h"
#include "world/cell_rows.h"
#include "world/game_settings.h"
#include "world/island_template.h"
#include "world/map_check.h"
#include "world/world_warnings.h"

#include <string>
#include <vector>

namespace {

class MapCheckTest : public WorldTest {
protected:
    void TearDown() override {
        SetMovingObjectQuery({});
        InstallPath() = ".";
        WorldTest::TearDown();
    }
};

// The block of points (4, 4)-(5, 5) reads the cells its points paint:
// (2, 2), (3, 2), (2, 3) and (3, 3), in that order.
TEST_F(MapCheckTest, TerrainBlocks) {
    constexpr uint32_t kOddWater = 7, kNoRow = 9;
    TerrainTable::GetOrCreateRow(kOddWater)->IsWater = 2;
    struct Case {
        const char* what;
        uint32_t a, b, c, d;
        bool passes;
    } cases[] = {
        {"four land", kLand, kLand, kLand, kLand, true},
        {"four water", kWater, kWater, kWater, kWater, true},
        {"land and rock", kLand, kRock, kRock, kLand, true},
        {"water, land in the fourth", kWater, kWater, kWater, kLand, false},
        {"land, water in the second", kLand, kWater, kLand, kLand, false},
        {"land, water in the third", kRock, kLand, kWater, kLand, false},
        {"water beside an odd value", kWater, kOddWater, kOddWater, kWater, true},
        {"an odd value first", kOddWater, kLand, kWater, kLand, true},
        {"a missing row first", kNoRow, kWater, kLand, kWater, true},
        {"land beside a missing row", kLand, kNoRow, kNoRow, kLand, true},
    };
    for (const Case& c : cases) {
        ResetWorld(16, 16);
        TerrainTable::GetOrCreateRow(kOddWater)->IsWater = 2;
        SetTerrainOfCell(2, 2, c.a);
        SetTerrainOfCell(3, 2, c.b);
        SetTerrainOfCell(2, 3, c.c);
        SetTerrainOfCell(3, 3, c.d);
        EXPECT_EQ(MapCheck(), c.passes) << c.what;
        const uint32_t expected[4] = {c.passes ? c.a : c.d, c.passes ? c.b : c.d, c.passes ? c.c : c.d, c.d};
        EXPECT_EQ(Map().GetTerrainIndex(2, 2), expected[0]) << c.what;
        EXPECT_EQ(Map().GetTerrainIndex(3, 2), expected[1]) << c.what;
        EXPECT_EQ(Map().GetTerrainIndex(2, 3), expected[2]) << c.what;
        EXPECT_EQ(Map().GetTerrainIndex(3, 3), expected[3]) << c.what;
        // Once repaired, the map passes.
        EXPECT_TRUE(MapCheck()) << c.what;
    }
}

TEST_F(MapCheckTest, BlocksAtTheEdgesReadClampedCells) {
    // The block at (2, 0) reads cells (0, 0), (1, 0), (0, 0), (1, 0).
    SetTerrainOfCell(0, 0, kWater);
    SetTerrainOfCell(0, 1, kWater);
    EXPECT_FALSE(MapCheck());
    EXPECT_EQ(Map().GetTerrainIndex(0, 0), kLand);
    EXPECT_TRUE(MapCheck());
    // Cells of the last two columns and rows are painted, never read.
    SetTerrainOfCell(63, 63, kWater);
    EXPECT_TRUE(MapCheck());
}

TEST_F(MapCheckTest, DecorationCutOffFromItsOriginBecomesPlain) {
    Services().decorationSize = [](uint32_t number, uint32_t) { return number == 9 ? 2u : 1u; };
    ASSERT_TRUE(Map().PlaceDecoration(10, 10, 9, 0));
    ASSERT_TRUE(Map().PlaceDecoration(20, 20, 9, 1));
    ASSERT_TRUE(Map().PlaceDecoration(30, 30, 4, 0));
    EXPECT_TRUE(MapCheck::CheckCells());

    // An island's terrain pass overwrote the first decoration's origin.
    ChangeKind(*Map().CellAt(10, 10), kCellPlain);
    // A cell whose offsets lead off the map.
    WorldCell& stray = *Map().CellAt(1, 0);
    ChangeKind(stray, kCellDecoration);
    stray.word1 |= 3u << 26;
    EXPECT_FALSE(MapCheck::CheckCells());
    for (auto [x, y] : {std::pair{11u, 10u}, {10u, 11u}, {11u, 11u}, {1u, 0u}}) {
        EXPECT_EQ(Map().GetCellKind(x, y), uint32_t(kCellPlain)) << x << "," << y;
        EXPECT_EQ(Map().CellAt(x, y)->RowBits(), 0u) << x << "," << y;
    }
    for (auto [x, y] : {std::pair{20u, 20u}, {21u, 21u}, {30u, 30u}})
        EXPECT_EQ(Map().GetCellKind(x, y), uint32_t(kCellDecoration)) << x << "," << y;
    EXPECT_TRUE(MapCheck::CheckCells());
}

TEST_F(MapCheckTest, ClearRouteFlags) {
    Map().SetRouteKindAndClear(3, 3, 3);
    for (uint32_t layer : {1u, 2u}) {
        Map().SetRouteFlagA(layer, 3, 3, true);
        Map().SetRouteFlagB(layer, 3, 3, true);
    }
    Map().SetRouteDirections(1, 3, 3, 5);
    ClearRouteFlags();
    for (uint32_t layer : {1u, 2u}) {
        EXPECT_FALSE(Map().GetRouteFlagA(layer, 3, 3)) << layer;
        EXPECT_FALSE(Map().GetRouteFlagB(layer, 3, 3)) << layer;
    }
    EXPECT_EQ(Map().GetRouteDirections(1, 3, 3), 5u);
}

TEST_F(MapCheckTest, StaleRouteReservations) {
    MapObject* vehicle = CreateMapObject(kCategoryMoving, 2);
    ASSERT_NE(vehicle, nullptr);
    struct Answer {
        int32_t mode, x, y;
    } answer{1, 9, 9};
    struct Case {
        const char* what;
        Answer answer;
        uint32_t value;
        bool cleared;
    } cases[] = {
        {"elsewhere in both coordinates", {1, 9, 9}, vehicle->GetId(), true},
        {"in the same column", {1, 5, 9}, vehicle->GetId(), false},
        {"in the same row", {1, 9, 5}, vehicle->GetId(), false},
        {"in another mode", {0, 9, 9}, vehicle->GetId(), false},
        {"a handle of no object", {1, 9, 9}, MakeObjectHandle(kCategoryMoving, 40), false},
        {"a building's handle", {1, 9, 9}, MakeObjectHandle(kCategoryBuilding, 0), false},
    };
    CreateMapObject(kCategoryBuilding, 0);
    SetMovingObjectQuery([&answer](const MapObject&, int32_t& mode, int32_t& x, int32_t& y) {
        mode = answer.mode;
        x = answer.x;
        y = answer.y;
        return true;
    });
    Map().SetRouteKindAndClear(5, 5, 1);
    for (const Case& c : cases) {
        answer = c.answer;
        Map().SetRouteSlotValue(5, 5, 0, c.value, 0, 15);
        EXPECT_EQ(ClearStaleRouteReservations(), c.cleared ? 1u : 0u) << c.what;
        EXPECT_EQ(Map().GetRouteSlotValue(5, 5, 0, 0, 15), c.cleared ? 0u : c.value) << c.what;
    }
    // Without anyone to answer, nothing counts as stale.
    SetMovingObjectQuery({});
    answer = {1, 9, 9};
    Map().SetRouteSlotValue(5, 5, 0, vehicle->GetId(), 0, 15);
    EXPECT_EQ(ClearStaleRouteReservations(), 0u);
    EXPECT_EQ(Map().GetRouteSlotValue(5, 5, 0, 0, 15), vehicle->GetId());
}

TEST_F(MapCheckTest, TestIslandFilesCountsFailures) {
    ScratchFolder folder;
    InstallPath() = folder.Path();
    folder.MakeFolder("Islands");
    IslandTemplate island;
    island.width = island.height = 4;
    island.cells.resize(16);
    for (WorldCell& cell : island.cells)
        cell.SetTerrainIndex(kLand);
    ASSERT_TRUE(SaveIsland(folder / "Islands/1111_sound.mdi", &island));
    // A block of water beside land fails the terrain check.
    island.cells[0].SetTerrainIndex(kWater);
    ASSERT_TRUE(SaveIsland(folder / "Islands/1111_mixed.mdi", &island));
    // Odd sizes cannot become the world.
    island.width = 3;
    island.cells.resize(12);
    ASSERT_TRUE(SaveIsland(folder / "Islands/1111_odd.mdi", &island));
    folder.Write("Islands/1111_cut.mdi", "cut");

    std::vector<std::string> shown;
    plat::MessageSink previous =
        plat::SetMessageSink([&shown](const std::string& text, const std::string& caption) {
            shown.push_back(text + "|" + caption);
        });
    const uint32_t warnings = WorldWarningCount();
    EXPECT_EQ(TestIslandFiles(), 3u);
    plat::SetMessageSink(previous);
    EXPECT_EQ(WorldWarningCount() - warnings, 3u);
    EXPECT_EQ(shown, std::vector<std::string>{"Testfunktion fertig|Test abgeschlossen"});
}

} // namespace
