#include "world/prices.h"

#include "world/world.h"

#include "data/generated/tables.h"
#include "world/game_settings.h"
#include "world/headquarter_registry.h"
#include "world/money.h"
#include "world/special_events.h"
#include "world/yearly_modifiers.h"

#include <algorithm>
#include <bitset>

namespace {

// Which products the current world's buildings use.
struct ProductsInUse final : WorldPart {
    static constexpr WorldPartId kPartId = WorldPartId::ProductsInUse;
    std::bitset<kProductFlagCount> flags;
};

std::bitset<kProductFlagCount>& InUse() {
    return CurrentWorld().Part<ProductsInUse>().flags;
}
std::vector<int32_t> productList;
bool productListBuilt = false;

// base x modifier in 32-bit floats, truncated.
int32_t Scale(int32_t base, float modifier) {
    const float value = float(base) * modifier;
    return SaturateToInt32(value);
}

int32_t ScaleFloat(float base, float modifier) {
    const float value = base * modifier;
    return SaturateToInt32(value);
}

float RouteModifier(const RouteBuilderRow& row) {
    return row.IsBridge >= 1 ? GetBridgeTunnelCostModifier() : GetTrafficCostModifier();
}

int32_t Product(int64_t a, int64_t b) {
    return SaturateToInt32(double(a * b));
}

} // namespace

int32_t GetRouteConstructionCost(int32_t routeType) {
    const RouteBuilderRow* row = RouteBuilderTable::Find(routeType);
    if (!row)
        return 0;
    const float withEvents = float(row->ConstructionCost) * GetEventRouteCostFactor(routeType);
    return ScaleFloat(withEvents, RouteModifier(*row));
}

int32_t GetRouteDemolitionCost(int32_t routeType) {
    const RouteBuilderRow* row = RouteBuilderTable::Find(routeType);
    return row ? Scale(row->DemolitionCost, RouteModifier(*row)) : 0;
}

int32_t GetSpecialTrackConstructionCost(int32_t specialTrack, int32_t routeType) {
    const SpecialTracksRow* row = SpecialTracksTable::Find(specialTrack);
    return row ? Product(row->ConstructionCostMultiplier, GetRouteConstructionCost(routeType)) : 0;
}

int32_t GetSpecialTrackDemolitionCost(int32_t specialTrack, int32_t routeType) {
    const SpecialTracksRow* row = SpecialTracksTable::Find(specialTrack);
    return row ? Product(row->DemolitionCostMultiplier, GetRouteDemolitionCost(routeType)) : 0;
}

int32_t GetStationPurchasePriceValue(int32_t kind, uint32_t row, uint32_t value) {
    const StationRow* station = StationTable::Find(kind);
    return station ? station->PurchasePrice.IntCell(value, row) : -1;
}

int32_t GetStationDemolitionCostValue(int32_t kind, uint32_t row, uint32_t value) {
    const StationRow* station = StationTable::Find(kind);
    return station ? station->DemolitionCost.IntCell(value, row) : -1;
}

int32_t GetStationBaseCostsValue(int32_t kind, uint32_t row, uint32_t value) {
    const StationRow* station = StationTable::Find(kind);
    return station ? station->BaseCosts.IntCell(value, row) : -1;
}

int32_t GetStationPrice(int32_t kind, uint32_t row) {
    return Scale(GetStationPurchasePriceValue(kind, row, 0), GetTrafficCostModifier());
}

int32_t GetStationDemolitionCost(int32_t kind, uint32_t row) {
    return Scale(GetStationDemolitionCostValue(kind, row, 0), GetTrafficCostModifier());
}

int32_t GetStationBaseCosts(int32_t kind, uint32_t row) {
    return Scale(GetStationBaseCostsValue(kind, row, 0), GetTrafficCostModifier());
}

int32_t GetStationExtentionPrice(int32_t extension) {
    const StationExtentionRow* row = StationExtentionTable::Find(extension);
    return row ? Scale(row->Price, GetTrafficCostModifier()) : 0;
}

int32_t GetStationExtentionBaseCosts(int32_t extension) {
    const StationExtentionRow* row = StationExtentionTable::Find(extension);
    return row ? Scale(row->BaseCosts, GetTrafficCostModifier()) : 0;
}

int32_t GetStationExtentionIncome(int32_t extension) {
    const StationExtentionRow* row = StationExtentionTable::Find(extension);
    return row ? ScaleFloat(row->Income, GetTrafficCostModifier()) : 0;
}

int32_t GetWaterTowerPrice(int32_t row) {
    const WaterTowerRow* tower = WaterTowerTable::Find(row);
    return tower ? Scale(tower->Price, GetTrafficCostModifier()) : 0;
}

int32_t GetWaterTowerDemolitionCost(int32_t row) {
    const WaterTowerRow* tower = WaterTowerTable::Find(row);
    return tower ? Scale(tower->DemolistionCosts, GetTrafficCostModifier()) : 0;
}

int32_t GetWaterTowerBaseCosts(int32_t row) {
    const WaterTowerRow* tower = WaterTowerTable::Find(row);
    return tower ? Scale(tower->BaseCosts, GetTrafficCostModifier()) : 0;
}

int32_t GetHeadquarterPrice(int32_t row) {
    const HeadquarterRow* part = HeadquarterTable::Find(row);
    return part ? Scale(part->Price, GetTrafficCostModifier()) : 0;
}

int32_t GetHeadquarterBaseCosts(int32_t row) {
    const HeadquarterRow* part = HeadquarterTable::Find(row);
    return part ? Scale(part->BaseCosts, GetTrafficCostModifier()) : 0;
}

int32_t GetStoragePlacePrice(int32_t row) {
    const StoragePlaceRow* place = StoragePlaceTable::Find(row);
    return place ? Scale(place->Price, GetTrafficCostModifier()) : 0;
}

int32_t GetSignalPrice(int32_t row) {
    const SignalRow* signal = SignalTable::Find(row);
    return signal ? Scale(signal->Price, GetTrafficCostModifier()) : 0;
}

int32_t GetSignalDemolitionCost(int32_t row) {
    const SignalRow* signal = SignalTable::Find(row);
    return signal ? Scale(signal->DemolitionCost, GetTrafficCostModifier()) : 0;
}

int32_t GetVehiclePrice(int32_t vehicleType, uint32_t playerId) {
    const VehicleRow* vehicle = VehicleTable::Find(vehicleType);
    if (!vehicle)
        return 0;
    float price = float(vehicle->PurchasePrice);
    if (PlayerHeadquarterHasPart(playerId, 1))
        price = price * GetHeadquarterModifier(1);
    return SaturateToInt32(price);
}

float GetProductFreightPrice(int32_t product) {
    const ProductRow* row = ProductTable::Find(product);
    if (!row)
        return 0.0f;
    float price = float(row->FreightPrice) * GetEventFreightPriceFactor(product);
    price = price * GetFreightPriceModifier();
    if (GetUiState().CurrentMission != 0xFFFFFFFFu)
        price = price * GetMissionDifficultyFreightPriceModifier();
    return price;
}

int32_t CalcFreightIncome(int32_t product, float factor, uint32_t totalTime, uint32_t amount,
                          float priceFactor) {
    const ProductRow* row = ProductTable::Find(product);
    const float share = row ? row->FreightPriceModifier.Cell(0, 0) : -1.0f;
    const float timeConstant = row ? row->FreightPriceModifier.Cell(1, 0) : -1.0f;
    const float price = GetProductFreightPrice(product) * priceFactor;
    const uint32_t units = amount == 0 ? 1 : amount;
    const float averageTime = float(totalTime / units);
    const float whole = float(units) * price;
    // A time constant that cancels the average time divides by zero; the
    // result is then not finite and pays nothing.
    const float decaying = whole * share * timeConstant / (averageTime + timeConstant);
    float income = whole * (1.0f - share) + decaying;
    income = income * factor;
    if (income < 0.0f)
        income = 0.0f;
    return SaturateToInt32(income);
}

bool TestProductFlag(uint32_t index) {
    return index < kProductFlagCount && InUse().test(index);
}

void SetProductFlag(uint32_t index) {
    if (index < kProductFlagCount)
        InUse().set(index);
}

void ClearProductFlags() {
    InUse().reset();
}

const std::vector<int32_t>& GetProductList() {
    if (!productListBuilt) {
        productList.clear();
        const auto& rows = ProductTable::Rows();
        for (size_t row = 0; row < rows.size(); ++row) {
            if (rows[row])
                productList.push_back(int32_t(row));
        }
        std::stable_sort(productList.begin(), productList.end(), [&](int32_t a, int32_t b) {
            return rows[size_t(a)]->UIOrderIndex < rows[size_t(b)]->UIOrderIndex;
        });
        productListBuilt = true;
    }
    return productList;
}

void ClearProductTable() {
    ProductTable::Clear();
    productList.clear();
    productListBuilt = false;
}
