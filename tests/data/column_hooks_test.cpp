// The columns whose accessors do more than store: the hooks they call, the
// waggon-type map, the mountain shapes and the spray curves.
#include "data/column_hooks.h"
#include "data/generated/tables.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <utility>
#include <vector>

namespace {

ValueTable MakeTable(uint32_t columns, std::initializer_list<std::initializer_list<float>> rows) {
    ValueTable table;
    table.Resize(columns, uint32_t(rows.size()));
    uint32_t r = 0;
    for (const auto& row : rows) {
        uint32_t c = 0;
        for (float cell : row)
            table.SetCell(c++, r, cell);
        ++r;
    }
    return table;
}

class ColumnHooksTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetAllTables();
        GetColumnHooks() = {};
    }
    void TearDown() override {
        GetColumnHooks() = {};
        ResetAllTables();
    }
};

TEST_F(ColumnHooksTest, HelicopterRotationTimeIsTruncatedButKeptAsFloat) {
    for (auto [set, expected] : {std::pair{2.9f, 2.0f}, {-2.9f, -2.0f}, {7.0f, 7.0f}}) {
        ASSERT_TRUE(VehicleConstantsTable::SetHelicopterPropellerRotationTime(0, set));
        float out = 0;
        ASSERT_TRUE(VehicleConstantsTable::GetHelicopterPropellerRotationTime(0, &out));
        EXPECT_EQ(out, expected);
    }
    EXPECT_FALSE(VehicleConstantsTable::SetHelicopterPropellerRotationTime(-1, 1.0f));
}

TEST_F(ColumnHooksTest, WholeNumberHooksHearTheStoredNumberAfterStoring) {
    std::vector<int32_t> divisors;
    std::vector<int32_t> sizes;
    GetColumnHooks().vehicleFieldDivisorChanged = [&](int32_t d) {
        EXPECT_EQ(VehicleConstantsTable::Find(0)->VehicleFieldDivisor, d);
        divisors.push_back(d);
    };
    GetColumnHooks().terrainTextureSizeChanged = [&](int32_t s) {
        EXPECT_EQ(EditorTable::Find(0)->TerrainTextureSize, s);
        sizes.push_back(s);
    };

    EXPECT_TRUE(VehicleConstantsTable::SetVehicleFieldDivisor(0, 64.7f));
    EXPECT_TRUE(EditorTable::SetTerrainTextureSize(0, -3.5f));
    EXPECT_FALSE(VehicleConstantsTable::SetVehicleFieldDivisor(-1, 9.0f));
    EXPECT_FALSE(EditorTable::SetTerrainTextureSize(kMaxTableRows, 9.0f));

    EXPECT_EQ(divisors, std::vector<int32_t>{64});
    EXPECT_EQ(sizes, std::vector<int32_t>{-3});
    float out = 0;
    ASSERT_TRUE(VehicleConstantsTable::GetVehicleFieldDivisor(0, &out));
    EXPECT_EQ(out, 64.0f);
}

TEST_F(ColumnHooksTest, MiniMapHookRunsAfterTheBlueIsStored) {
    int calls = 0;
    GetColumnHooks().miniMapColorsChanged = [&] {
        ++calls;
        EXPECT_EQ(MiniMap_S_DlgTable::Find(2)->ColorBlue, 200);
    };
    EXPECT_TRUE(MiniMap_S_DlgTable::SetColorBlue(2, 200.9f));
    EXPECT_FALSE(MiniMap_S_DlgTable::SetColorBlue(-1, 1.0f));
    EXPECT_EQ(calls, 1);
    // The other colours leave the minimap alone.
    EXPECT_TRUE(MiniMap_S_DlgTable::SetColorRed(2, 1.0f));
    EXPECT_EQ(calls, 1);
}

TEST_F(ColumnHooksTest, PlayerColourHookRunsBeforeTheTableIsStored) {
    const ValueTable first = MakeTable(4, {{255, 0, 0, 255}});
    const ValueTable second = MakeTable(4, {{0, 255, 0, 255}});
    ASSERT_TRUE(PlayerColorTable::SetColor(1, first));

    std::vector<ValueTable> seen;
    GetColumnHooks().playerColorsChanged = [&] { seen.push_back(PlayerColorTable::Find(1)->Color); };
    ASSERT_TRUE(PlayerColorTable::SetColor(1, second));
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0], first);

    ValueTable out;
    ASSERT_TRUE(PlayerColorTable::GetColor(1, &out));
    EXPECT_EQ(out, second);
}

TEST_F(ColumnHooksTest, WithoutHooksTheSettersStillStore) {
    EXPECT_TRUE(VehicleConstantsTable::SetVehicleFieldDivisor(0, 12.0f));
    EXPECT_TRUE(EditorTable::SetTerrainTextureSize(0, 64.0f));
    EXPECT_TRUE(MiniMap_S_DlgTable::SetColorBlue(0, 17.0f));
    EXPECT_TRUE(PlayerColorTable::SetColor(0, MakeTable(1, {{3}})));
    EXPECT_EQ(VehicleConstantsTable::Find(0)->VehicleFieldDivisor, 12);
    EXPECT_EQ(EditorTable::Find(0)->TerrainTextureSize, 64);
    EXPECT_EQ(MiniMap_S_DlgTable::Find(0)->ColorBlue, 17);
    EXPECT_EQ(PlayerColorTable::Find(0)->Color.Cell(0, 0), 3.0f);
}

TEST_F(ColumnHooksTest, SpecialWaggonTypesMergeIntoAnOrderedMap) {
    ASSERT_NE(VehicleTable::GetOrCreateRow(0), nullptr);
    ASSERT_TRUE(VehicleTable::SetSpecialWaggonTypes(0, MakeTable(2, {{3, 7}, {1, 4}, {3, 9}})));

    ValueTable out;
    ASSERT_TRUE(VehicleTable::GetSpecialWaggonTypes(0, &out));
    EXPECT_EQ(out, MakeTable(2, {{1, 4}, {3, 9}}));

    // Pairs already in the map stay; keys are truncated whole numbers.
    ASSERT_TRUE(VehicleTable::SetSpecialWaggonTypes(0, MakeTable(2, {{-2.7f, 5.9f}, {1.2f, 6}})));
    ASSERT_TRUE(VehicleTable::GetSpecialWaggonTypes(0, &out));
    EXPECT_EQ(out, MakeTable(2, {{-2, 5}, {1, 6}, {3, 9}}));
    EXPECT_EQ(VehicleTable::Find(0)->SpecialWaggonTypes.at(3), 9);
}

TEST_F(ColumnHooksTest, SpecialWaggonTypesNeedAnExistingRecord) {
    EXPECT_TRUE(VehicleTable::SetSpecialWaggonTypes(4, MakeTable(2, {{1, 2}})));
    EXPECT_TRUE(VehicleTable::SetSpecialWaggonTypes(-1, MakeTable(2, {{1, 2}})));
    EXPECT_EQ(VehicleTable::RowCount(), 0);

    ValueTable out = MakeTable(1, {{5}});
    EXPECT_FALSE(VehicleTable::GetSpecialWaggonTypes(4, &out));
    EXPECT_EQ(out, MakeTable(1, {{5}}));

    // An existing record with no pairs reads back as an empty 2-column table.
    ASSERT_NE(VehicleTable::GetOrCreateRow(4), nullptr);
    ASSERT_TRUE(VehicleTable::GetSpecialWaggonTypes(4, &out));
    EXPECT_EQ(out.ColumnCount(), 2u);
    EXPECT_EQ(out.RowCount(), 0u);
}

struct ShapeCase {
    const char* name;
    ValueTable table;
    int32_t anchorX, anchorY, farX, farY;
};

TEST_F(ColumnHooksTest, MountainShapesFindTheirFirstAndLastCoreCell) {
    const ShapeCase cases[] = {
        {"core only top left", MakeTable(3, {{2, 1, 1}, {1, 1, 0}}), 0, 0, 0, 0},
        {"core block", MakeTable(4, {{0, 1, 1, 0}, {1, 2, 2, 1}, {1, 2, 2, 1}, {0, 1, 0, 0}}), 1, 1, 2, 2},
        // The last core cell is found from the bottom right: (0, 2), not (3, 1).
        {"scattered core", MakeTable(4, {{0, 0, 2, 0}, {0, 0, 0, 2}, {2, 0, 0, 0}}), 2, 0, 0, 2},
        {"cells round to nearest", MakeTable(3, {{1.6f, 2.4f, 0.4f}}), 0, 0, 1, 0},
        {"no core spans the grid", MakeTable(3, {{1, 1, 1}, {0, 1, 0}}), 0, 0, 2, 1},
    };
    for (const ShapeCase& c : cases) {
        ASSERT_TRUE(MountainsTable::SetAreaDescription(1, c.table)) << c.name;
        const MountainShape& shape = MountainsTable::Find(1)->Shape;
        EXPECT_EQ(shape.columns, int32_t(c.table.ColumnCount())) << c.name;
        EXPECT_EQ(shape.rows, int32_t(c.table.RowCount())) << c.name;
        EXPECT_EQ(shape.anchorX, c.anchorX) << c.name;
        EXPECT_EQ(shape.anchorY, c.anchorY) << c.name;
        EXPECT_EQ(shape.farX, c.farX) << c.name;
        EXPECT_EQ(shape.farY, c.farY) << c.name;

        ValueTable out;
        ASSERT_TRUE(MountainsTable::GetAreaDescription(1, &out)) << c.name;
        EXPECT_EQ(out, c.table) << c.name;
    }
}

TEST_F(ColumnHooksTest, MountainCellsAreRoundedAndZeroOutsideTheGrid) {
    ASSERT_TRUE(
        MountainsTable::SetAreaDescription(0, MakeTable(3, {{1.6f, 2.4f, 0.4f}, {-0.6f, 0.5f, 1.49f}})));
    const MountainShape& shape = MountainsTable::Find(0)->Shape;
    EXPECT_EQ(shape.grid, (std::vector<int32_t>{2, 2, 0, -1, 1, 1}));
    EXPECT_EQ(shape.Cell(1, 0), 2);
    EXPECT_EQ(shape.Cell(2, 1), 1);
    for (auto [column, row] : {std::pair{-1, 0}, {3, 0}, {0, 2}, {0, -1}})
        EXPECT_EQ(shape.Cell(column, row), 0) << column << "," << row;
}

TEST_F(ColumnHooksTest, AnEmptyMountainTableIsIgnored) {
    const ValueTable shape = MakeTable(2, {{1, 2}});
    ASSERT_TRUE(MountainsTable::SetAreaDescription(0, shape));
    EXPECT_TRUE(MountainsTable::SetAreaDescription(0, ValueTable()));
    EXPECT_TRUE(MountainsTable::SetAreaDescription(3, MakeTable(0, {{}})));
    EXPECT_FALSE(MountainsTable::SetAreaDescription(-1, shape));

    EXPECT_EQ(MountainsTable::Find(0)->AreaDescription, shape);
    EXPECT_EQ(MountainsTable::Find(0)->Shape.anchorX, 1);
    EXPECT_EQ(MountainsTable::RowCount(), 1);
}

TEST_F(ColumnHooksTest, SprayCurvesKeepPointsForSixteenKinds) {
    const ValueTable curve = MakeTable(3, {{0, 0.5f, 2}, {0.5f, 1, 5.6f}, {1, 0, -1}});
    ASSERT_TRUE(GischtTable::SetXExtent1(15, curve));

    const SprayCurve& stored = SprayCurves::Curve(15, SprayCurveId::XExtent1);
    EXPECT_EQ(stored.count, 3u);
    EXPECT_EQ(stored.mode[1], 6);
    EXPECT_EQ(stored.mode[2], -1);
    EXPECT_EQ(SprayCurves::Curve(15, SprayCurveId::XExtent0).count, 0u);

    ValueTable out;
    ASSERT_TRUE(GischtTable::GetXExtent1(15, &out));
    EXPECT_EQ(out, MakeTable(3, {{0, 0.5f, 2}, {0.5f, 1, 6}, {1, 0, 4294967295.0f}}));

    // The Gischt records do not hold the curves.
    EXPECT_EQ(GischtTable::RowCount(), 0);
}

TEST_F(ColumnHooksTest, SprayCurvesRefuseBadKindsAndKeepTheOldCurve) {
    const ValueTable curve = MakeTable(3, {{0, 1, 0}});
    ASSERT_TRUE(GischtTable::SetAlpha0(0, curve));

    ValueTable eleven;
    eleven.Resize(3, 11);
    struct Case {
        const char* name;
        int32_t kind;
        ValueTable table;
    };
    const Case refused[] = {
        {"kind 16", 16, curve},
        {"kind -1", -1, curve},
        {"no points", 0, ValueTable()},
        {"more than ten points", 0, eleven},
    };
    for (const Case& c : refused)
        EXPECT_FALSE(GischtTable::SetAlpha0(c.kind, c.table)) << c.name;

    ValueTable out;
    ASSERT_TRUE(GischtTable::GetAlpha0(0, &out));
    EXPECT_EQ(out, curve);
    EXPECT_FALSE(GischtTable::GetAlpha0(16, &out));
    EXPECT_FALSE(GischtTable::GetAlpha0(-1, &out));
    // An unset curve of a valid kind reads back with no points.
    ASSERT_TRUE(GischtTable::GetYExtent0(3, &out));
    EXPECT_EQ(out.RowCount(), 0u);
}

TEST_F(ColumnHooksTest, TheSprayEffectCanTakeTheCurvesOver) {
    std::vector<std::pair<int32_t, SprayCurveId>> sets;
    GetColumnHooks().setSprayCurve = [&](int32_t kind, SprayCurveId id, const ValueTable&) {
        sets.emplace_back(kind, id);
        return true;
    };
    GetColumnHooks().getSprayCurve = [](int32_t, SprayCurveId, ValueTable* out) {
        out->Resize(3, 1);
        return true;
    };
    EXPECT_TRUE(GischtTable::SetPosition1(4, MakeTable(3, {{0, 0, 0}})));
    EXPECT_FALSE(GischtTable::SetPosition1(16, MakeTable(3, {{0, 0, 0}})));
    ASSERT_EQ(sets.size(), 1u);
    EXPECT_EQ(sets[0], std::make_pair(4, SprayCurveId::Position1));
    EXPECT_EQ(SprayCurves::Curve(4, SprayCurveId::Position1).count, 0u);

    ValueTable out;
    ASSERT_TRUE(GischtTable::GetPosition1(4, &out));
    EXPECT_EQ(out.RowCount(), 1u);
}

} // namespace
