// Every price, cost and income of the game: a base value from the game
// database scaled by the year's modifier (route pieces also by the running
// special events, vehicles by the buyer's headquarters, freight by the
// freight modifiers), truncated toward zero into 32 bits. Also the set of
// products in use and the products in display order.
#pragma once

#include <cstdint>
#include <vector>

int32_t GetRouteConstructionCost(int32_t routeType);
int32_t GetRouteDemolitionCost(int32_t routeType);
int32_t GetSpecialTrackConstructionCost(int32_t specialTrack, int32_t routeType);
int32_t GetSpecialTrackDemolitionCost(int32_t specialTrack, int32_t routeType);

// Unscaled cells of a station kind's price columns, -1 outside.
int32_t GetStationPurchasePriceValue(int32_t kind, uint32_t row, uint32_t value);
int32_t GetStationDemolitionCostValue(int32_t kind, uint32_t row, uint32_t value);
int32_t GetStationBaseCostsValue(int32_t kind, uint32_t row, uint32_t value);
int32_t GetStationPrice(int32_t kind, uint32_t row);
int32_t GetStationDemolitionCost(int32_t kind, uint32_t row);
int32_t GetStationBaseCosts(int32_t kind, uint32_t row);

int32_t GetStationExtentionPrice(int32_t extension);
int32_t GetStationExtentionBaseCosts(int32_t extension);
int32_t GetStationExtentionIncome(int32_t extension);
int32_t GetWaterTowerPrice(int32_t row);
int32_t GetWaterTowerDemolitionCost(int32_t row);
int32_t GetWaterTowerBaseCosts(int32_t row);
int32_t GetHeadquarterPrice(int32_t row);
int32_t GetHeadquarterBaseCosts(int32_t row);
int32_t GetStoragePlacePrice(int32_t row);
int32_t GetSignalPrice(int32_t row);
int32_t GetSignalDemolitionCost(int32_t row);
// Not scaled by the year: only the buyer's headquarters changes it.
int32_t GetVehiclePrice(int32_t vehicleType, uint32_t playerId);

float GetProductFreightPrice(int32_t product);
// The income of one delivery of `amount` units that took `totalTime` in
// all: a share of the price decays with the average time per unit.
int32_t CalcFreightIncome(int32_t product, float factor, uint32_t totalTime, uint32_t amount,
                          float priceFactor);

inline constexpr uint32_t kProductFlagCount = 1024;
bool TestProductFlag(uint32_t index);
void SetProductFlag(uint32_t index);
void ClearProductFlags();
// Existing Product rows ordered by UIOrderIndex, built on first use.
const std::vector<int32_t>& GetProductList();
void ClearProductTable();
