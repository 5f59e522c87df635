// The game's global balance values derived from row 0 of GlobalConstants:
// packed colours and the yearly modifiers, compound factors that follow the
// clock's year from a list of (start year, percent per year) rows.
#pragma once

#include <cstdint>

class ValueTable;

// ((a * 256 + b) * 256 + c) * 256 + d with 32-bit wrap-around.
uint32_t PackColour(int32_t a, int32_t b, int32_t c, int32_t d);

// Packed colours of HighlightColor rows 0-5 and CursorColor rows 0-2,
// computed on first use and kept for the run. An index outside answers 0.
uint32_t GetHighlightColor(uint32_t index);
uint32_t GetCursorColor(uint32_t index);
// Forgets the cached colours (tests, a reloaded database).
void ResetColourCaches();
uint32_t GetRouteUnderConstructionColor();
// Value i of a row of RouteUnderConstructionColor in a GlobalConstants row,
// -1 outside.
int32_t GetRouteUnderConstructionColorValue(int32_t constantsRow, uint32_t row, uint32_t i);

enum class ModifierKind {
    Cost,   // adds each row's percent, at least 1.0
    Output, // takes each row's percent away, at least 0.0
};
// The modifier of a column of (start year, percent) rows in the given year.
float YearlyModifier(const ValueTable& rows, uint32_t year, ModifierKind kind);

// The modifiers of GlobalConstants row 0 for the clock's current year.
float GetTrafficCostModifier();
float GetBridgeTunnelCostModifier();
float GetProductionOutputModifier();
float GetFreightPriceModifier();
// 1.0 without a mission difficulty; else value 0 of that difficulty's row
// (-1.0 when the row is missing).
float GetMissionDifficultyFreightPriceModifier();
// StartingMoney x the difficulty's StartMoneyMultiplier x the traffic-cost
// modifier, the start money of computer companies and endless games.
int64_t GetStartMoneyForDifficulty(uint32_t difficulty);

// The year every modifier follows: the clock's current year, or 1850 when
// no clock exists.
uint32_t ModifierYear();
