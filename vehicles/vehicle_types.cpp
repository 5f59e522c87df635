#include "vehicles/vehicle_types.h"

#include "data/generated/economy_tables.h"
#include "data/generated/interface_tables.h"
#include "data/generated/vehicle_tables.h"
#include "data/number_format.h"
#include "vehicles/schedule.h"
#include "vehicles/vehicle.h"
#include "world/game_clock.h"
#include "world/static_object_services.h"

#include <algorithm>
#include <cmath>

namespace {

// Kinds of VehicleType that a schedule keeps apart.
constexpr int32_t kSteamKindsFirst = 5;
constexpr int32_t kSteamKindsLast = 8;
constexpr int32_t kLastKind = 17;

int32_t CurrentYear() {
    const GameClock* clock = GetGameClock();
    return int32_t(clock ? clock->GetCurrentYear() : kFirstYear);
}

bool InRegion(const VehicleRow& row) {
    return (uint32_t(row.RegionCode) & CurrentRegion()) != 0;
}

std::string WithLineBreaks(std::string text) {
    for (size_t at = text.find("\\n"); at != std::string::npos; at = text.find("\\n", at + 1))
        text.replace(at, 2, "\n");
    return text;
}

float TableEntry(const ValueTable& table, int32_t i, int32_t j) {
    return i < 0 || j < 0 ? -1.0f : table.Cell(uint32_t(j), uint32_t(i));
}

int32_t TableInt(const ValueTable& table, int32_t i, int32_t j) {
    return i < 0 || j < 0 ? -1 : table.IntCell(uint32_t(j), uint32_t(i));
}

const ValueTable* VehicleList(int32_t type, ValueTable VehicleRow::*column) {
    const VehicleRow* row = VehicleTable::Find(type);
    return row ? &(row->*column) : nullptr;
}

const ValueTable* ConstantsList(int32_t row, ValueTable VehicleConstantsRow::*column) {
    const VehicleConstantsRow* constants = VehicleConstantsTable::Find(row);
    return constants ? &(constants->*column) : nullptr;
}

template <typename Value>
VehicleValueRange RangeOf(int32_t mode, int32_t filter, Value value) {
    VehicleValueRange range;
    const int32_t year = CurrentYear();
    for (int32_t t = 0; t < VehicleTable::RowCount(); ++t) {
        const VehicleRow* row = VehicleTable::Find(t);
        if (!row || row->YearOfIntroduction > year || !InRegion(*row) || row->ConnectionType != mode ||
            (filter != -1 && row->VehicleType != filter))
            continue;
        const float v = value(*row);
        range.min = std::min(range.min, v);
        range.max = std::max(range.max, v);
    }
    return range;
}

} // namespace

ProductSet GetTransportableProducts(int32_t type, int32_t variant) {
    ProductSet set;
    const VehicleRow* row = VehicleTable::Find(type);
    if (!row)
        return set;
    const ValueTable& table = row->CanTransportProduct;
    if (table.RowCount() == 1 && table.ColumnCount() == 1 && table.IntCell(0, 0) == -1) {
        for (int32_t p = 0; p < ProductTable::RowCount() && p < int32_t(kProductSetBits); ++p)
            if (ProductTable::Find(p))
                set.set(size_t(p));
        return set;
    }
    if (variant < 0 || uint32_t(variant) >= table.RowCount())
        return set;
    for (uint32_t c = 0; c < table.ColumnCount(); ++c) {
        const int32_t product = table.IntCell(c, uint32_t(variant));
        // An id past the set's range cannot be carried as a bit.
        if (product >= 0 && product < int32_t(kProductSetBits))
            set.set(size_t(product));
    }
    return set;
}

bool AreVehicleKindsCompatible(int32_t a, int32_t b) {
    if (a < kSteamKindsFirst || a > kLastKind)
        return true;
    if (a <= kSteamKindsLast)
        return b != 9 && b != 10 && b != kLastKind;
    if (a == 9 || a == 10 || a == kLastKind)
        return b == a;
    return true;
}

void ListAvailableVehicleTypes(int32_t connectionType, int32_t vehicleTypeFilter,
                               std::vector<OfferedVehicleType>& out) {
    out.clear();
    const int32_t year = CurrentYear();
    for (int32_t t = 0; t < VehicleTable::RowCount(); ++t) {
        const VehicleRow* row = VehicleTable::Find(t);
        if (!row || row->ConnectionType != connectionType || !InRegion(*row) ||
            row->YearOfIntroduction > year || year >= row->YearOfDiscard ||
            (vehicleTypeFilter != -1 && row->VehicleType != vehicleTypeFilter))
            continue;
        for (uint32_t v = 0; v < row->CanTransportProduct.RowCount(); ++v) {
            OfferedVehicleType entry{t, int32_t(v), GetTransportableProducts(t, int32_t(v))};
            if (entry.products.any())
                out.push_back(entry);
        }
    }
}

VehicleValueRange GetPriceRange(int32_t mode, int32_t filter) {
    VehicleValueRange range =
        RangeOf(mode, filter, [](const VehicleRow& r) { return float(r.PurchasePrice); });
    range.min = 0.0f;
    return range;
}

VehicleValueRange GetRunningCostRange(int32_t mode, int32_t filter) {
    return RangeOf(mode, filter, [](const VehicleRow& r) { return r.TravellingCostPerSquare; });
}

VehicleValueRange GetRepairCostRange(int32_t mode, int32_t filter) {
    return RangeOf(mode, filter, [](const VehicleRow& r) { return float(r.RepairCostPerPercentage); });
}

VehicleValueRange GetSpeedRange(int32_t mode, int32_t filter) {
    // A type without a travel time has no speed to show.
    return RangeOf(mode, filter, [](const VehicleRow& r) {
        return r.TravelTimeMsPerSquare > 0 ? float(int32_t(31000.0f / float(r.TravelTimeMsPerSquare))) : 0.0f;
    });
}

VehicleValueRange GetCurveSpeedRange(int32_t mode, int32_t filter) {
    return RangeOf(mode, filter, [](const VehicleRow& r) { return r.CurveSpeedModifier; });
}

VehicleValueRange GetTractivePowerRange(int32_t mode, int32_t filter) {
    return RangeOf(mode, filter, [](const VehicleRow& r) { return float(r.TractivePower); });
}

VehicleValueRange GetAccelerationRange(int32_t mode, int32_t filter) {
    return RangeOf(mode, filter, [](const VehicleRow& r) { return float(r.Accelaration); });
}

VehicleValueRange GetReliabilityRange(int32_t mode, int32_t filter) {
    return RangeOf(mode, filter, [](const VehicleRow& r) { return float(r.Reliability); });
}

VehicleValueRange GetWaterDemandRange(int32_t mode, int32_t filter) {
    return RangeOf(mode, filter, [](const VehicleRow& r) { return r.WaterDemandPerSquare; });
}

std::string GetVehicleTypeName(int32_t type) {
    const VehicleRow* row = VehicleTable::Find(type);
    return row ? WithLineBreaks(row->Name) : std::string();
}

std::string GetToolTipVehicleText(int32_t row) {
    const ToolTip_VehicleRow* text = ToolTip_VehicleTable::Find(row);
    return text ? WithLineBreaks(text->Text) : std::string();
}

std::string GetSpeedUnitEuropean() {
    const VehicleConstantsRow* constants = VehicleConstantsTable::Find(0);
    return constants ? WithLineBreaks(constants->EuropeanSpeedUnit) : std::string();
}

std::string GetSpeedUnitUS() {
    const VehicleConstantsRow* constants = VehicleConstantsTable::Find(0);
    return constants ? WithLineBreaks(constants->USSpeedUnit) : std::string();
}

std::string FormatSpeed(float travelTimePerSquare) {
    const bool european = CurrentRegion() == 1;
    int64_t number = 0;
    if (travelTimePerSquare > 0.0f && std::isfinite(travelTimePerSquare))
        number = int64_t((european ? 51677.0f : 31000.0f) / travelTimePerSquare);
    return FormatNumber(number) + " " + (european ? GetSpeedUnitEuropean() : GetSpeedUnitUS());
}

bool GetVehicleFieldDivisor(int32_t row, float& value) {
    const VehicleConstantsRow* constants = VehicleConstantsTable::Find(row);
    if (!constants)
        return false;
    value = float(constants->VehicleFieldDivisor);
    return true;
}

float GetSmokePosition(int32_t type, int32_t i, int32_t j) {
    const ValueTable* t = VehicleList(type, &VehicleRow::SmokePosition);
    return t ? TableEntry(*t, i, j) : -1.0f;
}

int32_t GetVehicleLength(int32_t type, int32_t i, int32_t j) {
    const ValueTable* t = VehicleList(type, &VehicleRow::VehicleLength);
    return t ? TableInt(*t, i, j) : -1;
}

int32_t GetCanTransportProduct(int32_t type, int32_t i, int32_t j) {
    const ValueTable* t = VehicleList(type, &VehicleRow::CanTransportProduct);
    return t ? TableInt(*t, i, j) : -1;
}

float GetShipSprayPosition(int32_t type, int32_t i, int32_t j) {
    const ValueTable* t = VehicleList(type, &VehicleRow::ShipSprayPosition);
    return t ? TableEntry(*t, i, j) : -1.0f;
}

float GetCurveSpeedModifierTable(int32_t type, int32_t i, int32_t j) {
    const ValueTable* t = VehicleList(type, &VehicleRow::CurveSpeedModifierTable);
    return t ? TableEntry(*t, i, j) : -1.0f;
}

float GetRampHeightLevels(int32_t row, int32_t i, int32_t j) {
    const ValueTable* t = ConstantsList(row, &VehicleConstantsRow::RampHeightLevels);
    return t ? TableEntry(*t, i, j) : -1.0f;
}

float GetRampRotationAngles(int32_t row, int32_t i, int32_t j) {
    const ValueTable* t = ConstantsList(row, &VehicleConstantsRow::RampRotationAngles);
    return t ? TableEntry(*t, i, j) : -1.0f;
}

float GetAirScaleAndShadow(int32_t row, int32_t i, int32_t j) {
    const ValueTable* t = ConstantsList(row, &VehicleConstantsRow::AirScaleAndShadow);
    return t ? TableEntry(*t, i, j) : -1.0f;
}

int32_t GetRoadDispX(int32_t row, int32_t i, int32_t j) {
    const ValueTable* t = ConstantsList(row, &VehicleConstantsRow::RoadDispX);
    return t ? TableInt(*t, i, j) : -1;
}

int32_t GetRoadDispY(int32_t row, int32_t i, int32_t j) {
    const ValueTable* t = ConstantsList(row, &VehicleConstantsRow::RoadDispY);
    return t ? TableInt(*t, i, j) : -1;
}

int32_t GetTruckCurveTable(int32_t row, int32_t i, int32_t j) {
    const ValueTable* t = ConstantsList(row, &VehicleConstantsRow::TruckCurveTable);
    return t ? TableInt(*t, i, j) : -1;
}

int32_t GetHarvesterIDTable(int32_t factory, int32_t i, int32_t j) {
    const FactoryRow* row = FactoryTable::Find(factory);
    return row ? TableInt(row->HarvesterIDTable, i, j) : -1;
}

// Consist limits and type queries of the vehicle.

void Vehicle::UpdateConsistLimits() {
    int32_t chosen = -1;
    std::vector<const Vehicle*> units;
    for (uint32_t i = 0; i < kUnits; ++i) {
        const ObjectHandle handle = GetUnit(i);
        if (const Vehicle* unit = handle ? GetVehicle(handle) : nullptr)
            units.push_back(unit);
    }
    // Each pass starts from the one before and takes a unit only when it is
    // strictly better.
    auto pass = [&](auto value, float start, bool greater) {
        float best = start;
        for (const Vehicle* unit : units) {
            const VehicleRow* row = unit->Row();
            if (!row)
                continue;
            const float v = value(*row);
            if (greater ? v > best : v < best) {
                best = v;
                chosen = unit->GetTypeIndex();
            }
        }
        return chosen;
    };
    const int32_t speed =
        pass([](const VehicleRow& r) { return float(r.TravelTimeMsPerSquare); }, 0.0f, true);
    const int32_t accel = pass([](const VehicleRow& r) { return float(r.Accelaration); }, 1e11f, false);
    const int32_t start = pass([](const VehicleRow& r) { return float(r.StartSpeed); },
                               std::numeric_limits<float>::min(), true);
    const int32_t curve = pass([](const VehicleRow& r) { return r.CurveSpeedModifier; },
                               std::numeric_limits<float>::min(), true);
    SetU32(192, uint32_t(speed));
    SetU32(196, uint32_t(accel));
    SetU32(200, uint32_t(curve));
    SetU32(204, uint32_t(start));
}

std::vector<ObjectHandle> Vehicle::FindSimilarVehicles() const {
    std::vector<ObjectHandle> out;
    for (Vehicle* other : AllVehicles()) {
        if (other == this || other->GetMovingKind() != GetMovingKind() || other->GetOwner() != GetOwner() ||
            other->GetTypeIndex() != GetTypeIndex() || other->U32(96) != U32(96))
            continue;
        const bool same = schedule_ ? schedule_->IsEqual(other->schedule_) : other->schedule_ == nullptr;
        if (same)
            out.push_back(other->GetId());
    }
    return out;
}

bool Vehicle::IsShipWithoutCars() const {
    const VehicleRow* row = Row();
    return GetConnectionType() == 2 && row && row->LoadShownAsCars == 0;
}
