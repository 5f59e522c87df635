#include "world/yearly_modifiers.h"

#include "data/generated/tables.h"
#include "data/value_table.h"
#include "world/game_clock.h"
#include "world/game_settings.h"
#include "world/money.h"

#include <array>

namespace {

const GlobalConstantsRow* Constants() {
    return GlobalConstantsTable::Find(0);
}

uint32_t PackRow(const ValueTable& table, uint32_t row) {
    return PackColour(table.IntCell(0, row), table.IntCell(1, row), table.IntCell(2, row),
                      table.IntCell(3, row));
}

template <size_t N>
struct ColourCache {
    std::array<uint32_t, N> colours{};
    bool built = false;

    uint32_t Get(uint32_t index, ValueTable GlobalConstantsRow::*column) {
        if (!built) {
            const GlobalConstantsRow* row = Constants();
            static const ValueTable kNone;
            const ValueTable& table = row ? row->*column : kNone;
            for (uint32_t i = 0; i < N; ++i)
                colours[i] = PackRow(table, i);
            built = true;
        }
        return index < N ? colours[index] : 0;
    }
};

ColourCache<6> highlightColours;
ColourCache<3> cursorColours;

float ConstantsModifier(ValueTable GlobalConstantsRow::*column, ModifierKind kind) {
    const GlobalConstantsRow* row = Constants();
    if (!row)
        return 1.0f;
    return YearlyModifier(row->*column, ModifierYear(), kind);
}

} // namespace

uint32_t PackColour(int32_t a, int32_t b, int32_t c, int32_t d) {
    uint32_t packed = uint32_t(a);
    packed = packed * 256u + uint32_t(b);
    packed = packed * 256u + uint32_t(c);
    return packed * 256u + uint32_t(d);
}

uint32_t GetHighlightColor(uint32_t index) {
    return highlightColours.Get(index, &GlobalConstantsRow::HighlightColor);
}

uint32_t GetCursorColor(uint32_t index) {
    return cursorColours.Get(index, &GlobalConstantsRow::CursorColor);
}

void ResetColourCaches() {
    highlightColours.built = false;
    cursorColours.built = false;
}

int32_t GetRouteUnderConstructionColorValue(int32_t constantsRow, uint32_t row, uint32_t i) {
    const GlobalConstantsRow* constants = GlobalConstantsTable::Find(constantsRow);
    if (!constants)
        return -1;
    return constants->RouteUnderConstructionColor.IntCell(i, row);
}

uint32_t GetRouteUnderConstructionColor() {
    return PackColour(
        GetRouteUnderConstructionColorValue(0, 0, 0), GetRouteUnderConstructionColorValue(0, 0, 1),
        GetRouteUnderConstructionColorValue(0, 0, 2), GetRouteUnderConstructionColorValue(0, 0, 3));
}

float YearlyModifier(const ValueTable& rows, uint32_t year, ModifierKind kind) {
    const uint32_t n = rows.RowCount();
    if (n == 0)
        return 1.0f;
    float total = 1.0f;
    for (uint32_t i = 0; i < n; ++i) {
        // A missing start year reads -1, which never counts as unsigned.
        const uint32_t start = uint32_t(rows.IntCell(0, i));
        if (year < start)
            continue;
        uint32_t span = year - start + 1;
        if (i + 1 < n) {
            const uint32_t nextStart = uint32_t(rows.IntCell(0, i + 1));
            if (year >= nextStart)
                span = nextStart - start;
        }
        const float step = float(span) * rows.Cell(1, i) / 100.0f;
        if (kind == ModifierKind::Cost)
            total += step;
        else
            total -= step;
    }
    if (kind == ModifierKind::Cost)
        return total < 1.0f ? 1.0f : total;
    return total < 0.0f ? 0.0f : total;
}

float GetTrafficCostModifier() {
    return ConstantsModifier(&GlobalConstantsRow::TrafficCostModifier, ModifierKind::Cost);
}

float GetBridgeTunnelCostModifier() {
    return ConstantsModifier(&GlobalConstantsRow::BrigdeTunnelCostModifier, ModifierKind::Cost);
}

float GetProductionOutputModifier() {
    return ConstantsModifier(&GlobalConstantsRow::ProductionOutputModifier, ModifierKind::Output);
}

float GetFreightPriceModifier() {
    return ConstantsModifier(&GlobalConstantsRow::FreightPriceModifiers, ModifierKind::Output);
}

float GetMissionDifficultyFreightPriceModifier() {
    const uint32_t difficulty = GetUiState().MissionDifficulty;
    if (difficulty == 0xFFFFFFFFu)
        return 1.0f;
    const GlobalConstantsRow* row = Constants();
    if (!row)
        return -1.0f;
    return row->MissionDifficultyFreightPriceModifier.Cell(0, difficulty);
}

int64_t GetStartMoneyForDifficulty(uint32_t difficulty) {
    const GlobalConstantsRow* row = Constants();
    if (!row)
        return 0;
    // A difficulty without a row has no multiplier (not the -1 of a
    // missing cell, which would start the company in debt).
    const ValueTable& multipliers = row->StartMoneyMultiplier;
    const float multiplier = difficulty < multipliers.RowCount() && multipliers.ColumnCount() > 0
                                 ? multipliers.Cell(0, difficulty)
                                 : 1.0f;
    const float money = float(row->StartingMoney) * multiplier * GetTrafficCostModifier();
    return SaturateToInt64(money);
}

uint32_t ModifierYear() {
    const GameClock* clock = GetGameClock();
    return clock ? clock->GetCurrentYear() : kFirstYear;
}
