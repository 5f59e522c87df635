// Readers of the factory type tables (Factory, FactoryLayout, FactoryEvents,
// Product and the factory tooltips) that answer -1 for anything missing,
// the per-type factory counts, the world's factory settings and the safe
// filling of tooltip rows.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

float GetProduceProductValue(int32_t type, uint32_t row, uint32_t column);
float GetProduceProductBaseAmount(int32_t type, uint32_t row);
float GetProduceProductMaxAmount(int32_t type, uint32_t row);
float GetProduceProductReserve(int32_t type, uint32_t row);
float GetDifficultyProductionModifier(int32_t type, uint32_t row, uint32_t column);
float GetSizeMultiplier(int32_t type, uint32_t row, uint32_t column);
int32_t GetBuildingResource(int32_t type, uint32_t row, uint32_t column);
std::string GetFactoryTypeName(int32_t type);
int32_t GetFactoryTypKind(int32_t type);

uint32_t GetFactoryLayoutRowCount(int32_t layout, int32_t side);
int32_t GetFactoryLayoutValue(int32_t layout, uint32_t row, uint32_t column);
int32_t GetFactoryLayoutSideValue(int32_t layout, int32_t side, uint32_t row, uint32_t column);
// Columns of the side's list of a layout row (its module count).
uint32_t GetFactoryLayoutColumnCount(int32_t layout, int32_t side);
float GetFactoryEventModifier(int32_t event, uint32_t row, uint32_t column);
float GetFactoryEventRunTime(int32_t event, uint32_t row, uint32_t column);

std::string GetProductName(int32_t product);
int32_t GetProductResourceNeeded(int32_t product);
int32_t GetProductMinimumInhabitants(int32_t product);
// 0 for a missing row: such a product is never wanted by a town.
int32_t GetProductInhabitantsPerUnit(int32_t product);
int32_t GetProductGrowthMonthLength(int32_t product);
int32_t GetProductGrowthStartMonth(int32_t product);

std::string GetFactoryTooltipText(int32_t row);
std::string GetTownTooltipText(int32_t row);
// The texts of a database row filled with arguments: each "%s" takes the
// next argument and "%%" gives "%". A row with any other conversion or a
// different number of "%s" is not used as a format: its text and the
// arguments are joined by spaces instead.
std::string FillTextRow(const std::string& row, const std::vector<std::string>& args);
// The endings of factory names ("<town> <ending>"), from the rows of
// ToolTip_Factory from kFactoryNameEndingRow up to the first empty one.
inline constexpr int32_t kFactoryNameEndingRow = 40;
std::vector<std::string> GetFactoryNameEndings();

// A float truncated toward zero into 32 bits, saturating at the ends (0
// for not-a-number): amounts from damaged data never overflow.
inline int32_t TruncToInt(float v) {
    constexpr float kLargest = 2147483520.0f; // the largest float below 2^31
    if (!(v == v))
        return 0;
    if (v >= kLargest)
        return 2147483520;
    if (v <= -kLargest)
        return -2147483520;
    return int32_t(v);
}

// How many factories of the type stand in the current world.
uint32_t GetFactoryCountOfType(int32_t type);

// The current world's factory settings and event state.
struct FactoryWorldState {
    // The row of DifficultyProductionModifier (0, 1 or 2).
    int32_t difficulty = 1;
    // Set when a factory was closed at random.
    bool factoryClosed = false;
};
FactoryWorldState& GetFactoryWorldState();
int32_t GetFactoryDifficulty();
void SetFactoryDifficulty(int32_t level);
