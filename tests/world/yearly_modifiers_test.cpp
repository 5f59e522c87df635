#include "tests/world/economy_fixture.h"
#include "world/yearly_modifiers.h"

using namespace economy_fixture;

namespace {

struct ModifierCase {
    const char* name;
    ValueTable rows;
    ModifierKind kind;
    uint32_t year;
    float expected;
};

class YearlyModifierTest : public EconomyTest {};

} // namespace

TEST_F(YearlyModifierTest, CompoundsRowByRow) {
    const ValueTable twoRows = MakeTable({{1850, 1.0f}, {1900, 2.0f}});
    const ModifierCase cases[] = {
        {"first year of the first row", twoRows, ModifierKind::Cost, 1850, 1.01f},
        {"year before the second row", twoRows, ModifierKind::Cost, 1899, 1.50f},
        {"second row takes over", twoRows, ModifierKind::Cost, 1900, 1.52f},
        {"second row ten years on", twoRows, ModifierKind::Cost, 1910, 1.72f},
        {"before any row", twoRows, ModifierKind::Cost, 1849, 1.0f},
        {"future row does not count", MakeTable({{1850, 1.0f}, {2000, 50.0f}}), ModifierKind::Cost, 1860,
         1.11f},
        {"cost never below one", MakeTable({{1850, -5.0f}}), ModifierKind::Cost, 1900, 1.0f},
        {"missing start year never counts", MakeTable({{-1, 50.0f}}), ModifierKind::Cost, 1900, 1.0f},
        {"no rows", ValueTable{}, ModifierKind::Output, 1900, 1.0f},
        {"output shrinks", MakeTable({{1850, 1.0f}}), ModifierKind::Output, 1859, 0.9f},
        {"output never negative", MakeTable({{1850, 3.0f}}), ModifierKind::Output, 1900, 0.0f},
    };
    for (const ModifierCase& c : cases)
        EXPECT_NEAR(YearlyModifier(c.rows, c.year, c.kind), c.expected, 1e-4f) << c.name;
}

TEST_F(YearlyModifierTest, GlobalModifiersFollowTheClock) {
    GlobalConstantsRow* row = GlobalConstantsTable::GetOrCreateRow(0);
    row->TrafficCostModifier = MakeTable({{1850, 1.0f}, {1900, 2.0f}});
    row->FreightPriceModifiers = MakeTable({{1850, 60.0f}});
    SetYear(1899);
    EXPECT_NEAR(GetTrafficCostModifier(), 1.50f, 1e-4f);
    EXPECT_FLOAT_EQ(GetBridgeTunnelCostModifier(), 1.0f);
    EXPECT_FLOAT_EQ(GetFreightPriceModifier(), 0.0f);
    SetYear(1910);
    EXPECT_NEAR(GetTrafficCostModifier(), 1.72f, 1e-4f);
}

TEST_F(YearlyModifierTest, MissionDifficultyAppliesOnlyWhenChosen) {
    GlobalConstantsTable::GetOrCreateRow(0)->MissionDifficultyFreightPriceModifier =
        MakeTable({{0.5f}, {0.8f}});
    EXPECT_FLOAT_EQ(GetMissionDifficultyFreightPriceModifier(), 1.0f);
    GetUiState().MissionDifficulty = 1;
    EXPECT_FLOAT_EQ(GetMissionDifficultyFreightPriceModifier(), 0.8f);
    GetUiState().MissionDifficulty = 7;
    EXPECT_FLOAT_EQ(GetMissionDifficultyFreightPriceModifier(), -1.0f);
}

TEST_F(YearlyModifierTest, StartMoneyScalesWithDifficultyAndYear) {
    GlobalConstantsRow* row = GlobalConstantsTable::GetOrCreateRow(0);
    row->StartingMoney = 200000;
    row->StartMoneyMultiplier = MakeTable({{1.0f}, {0.5f}});
    row->TrafficCostModifier = MakeTable({{1850, 1.0f}});
    SetYear(1859);
    EXPECT_EQ(GetStartMoneyForDifficulty(0), 220000);
    EXPECT_EQ(GetStartMoneyForDifficulty(1), 110000);
    // A difficulty without a row has no multiplier rather than -1.
    EXPECT_EQ(GetStartMoneyForDifficulty(5), 220000);
}

TEST_F(YearlyModifierTest, PacksColoursWithWrapAround) {
    EXPECT_EQ(PackColour(255, 128, 0, 255), 0xFF8000FFu);
    // A missing fourth value (-1) borrows from the third.
    EXPECT_EQ(PackColour(255, 128, 0, -1), 0xFF7FFFFFu);

    GlobalConstantsRow* row = GlobalConstantsTable::GetOrCreateRow(0);
    // Three columns: the fourth value of every row is missing.
    row->HighlightColor = MakeTable({{1, 2, 3}, {255, 128, 0}});
    row->CursorColor = MakeTable({{9, 8, 7, 6}});
    EXPECT_EQ(GetHighlightColor(0), 0x010202FFu);
    EXPECT_EQ(GetHighlightColor(1), 0xFF7FFFFFu);
    // Rows past the table's end pack four missing values.
    EXPECT_EQ(GetHighlightColor(5), 0xFEFEFEFFu);
    EXPECT_EQ(GetCursorColor(0), 0x09080706u);
    // Cached for the run: a later change of the table is not seen.
    row->HighlightColor = MakeTable({{0, 0, 0, 0}});
    EXPECT_EQ(GetHighlightColor(0), 0x010202FFu);
}
