// Queries over the vehicle types of the game data: which products a type
// carries, which types are on offer in the running game, the value ranges
// the buy dialog scales its bars by, the texts made from the tables (type
// names, tooltip rows, speeds with their units) and typed readers of the
// list columns that vehicles, cars and harvesters use.
#pragma once

#include <bitset>
#include <cstdint>
#include <string>
#include <vector>

// One bit per product id 0 to 1023.
inline constexpr uint32_t kProductSetBits = 1024;
using ProductSet = std::bitset<kProductSetBits>;

// The products variant row `variant` of a type's CanTransportProduct list
// carries: every product for a list of the single entry -1; none outside
// the list. Ids outside 0 to 1023 are left out.
ProductSet GetTransportableProducts(int32_t type, int32_t variant);

// Whether a schedule may join a vehicle of kind b to one of kind a (asked in
// the caller's order; not symmetric).
bool AreVehicleKindsCompatible(int32_t a, int32_t b);

struct OfferedVehicleType {
    int32_t type = 0;
    int32_t variant = 0;
    ProductSet products;
};
// The types and variants of a transport mode on offer this year in the
// running game's region, in row and variant order; filter -1 takes every
// VehicleType.
void ListAvailableVehicleTypes(int32_t connectionType, int32_t vehicleTypeFilter,
                               std::vector<OfferedVehicleType>& out);

// The buy dialog's value ranges over the types introduced by this year in
// the region, of a mode and VehicleType filter (-1 any). Without a
// qualifying type, min stays 2147483648 and max -2147483648.
struct VehicleValueRange {
    float min = 2147483648.0f;
    float max = -2147483648.0f;
};
// The price range's minimum is 0.
VehicleValueRange GetPriceRange(int32_t mode, int32_t filter);
VehicleValueRange GetRunningCostRange(int32_t mode, int32_t filter);
VehicleValueRange GetRepairCostRange(int32_t mode, int32_t filter);
VehicleValueRange GetSpeedRange(int32_t mode, int32_t filter);
VehicleValueRange GetCurveSpeedRange(int32_t mode, int32_t filter);
VehicleValueRange GetTractivePowerRange(int32_t mode, int32_t filter);
VehicleValueRange GetAccelerationRange(int32_t mode, int32_t filter);
VehicleValueRange GetReliabilityRange(int32_t mode, int32_t filter);
VehicleValueRange GetWaterDemandRange(int32_t mode, int32_t filter);

// Texts of the tables with every "\n" (backslash, n) made a line break.
std::string GetVehicleTypeName(int32_t type);
std::string GetToolTipVehicleText(int32_t row);
std::string GetSpeedUnitEuropean();
std::string GetSpeedUnitUS();
// The speed of a travel time per square (ms) with its unit: km/h-like in
// region 1, mph-like elsewhere; 0 for a time of 0 or less.
std::string FormatSpeed(float travelTimePerSquare);

// VehicleConstants VehicleFieldDivisor of a row; false for a missing row.
bool GetVehicleFieldDivisor(int32_t row, float& value);

// Entry [i][j] (list row i, column j) of a list column; -1 outside.
float GetSmokePosition(int32_t type, int32_t i, int32_t j);
int32_t GetVehicleLength(int32_t type, int32_t i, int32_t j);
int32_t GetCanTransportProduct(int32_t type, int32_t i, int32_t j);
float GetShipSprayPosition(int32_t type, int32_t i, int32_t j);
float GetCurveSpeedModifierTable(int32_t type, int32_t i, int32_t j);
float GetRampHeightLevels(int32_t row, int32_t i, int32_t j);
float GetRampRotationAngles(int32_t row, int32_t i, int32_t j);
float GetAirScaleAndShadow(int32_t row, int32_t i, int32_t j);
int32_t GetRoadDispX(int32_t row, int32_t i, int32_t j);
int32_t GetRoadDispY(int32_t row, int32_t i, int32_t j);
int32_t GetTruckCurveTable(int32_t row, int32_t i, int32_t j);
int32_t GetHarvesterIDTable(int32_t factory, int32_t i, int32_t j);
