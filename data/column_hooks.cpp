// The columns whose accessors do more than store: each keeps the shared
// accessor's rules (false only when no record can be had) and adds its step.
#include "data/column_hooks.h"

#include "data/column_access.h"
#include "data/generated/tables.h"

ColumnHooks& GetColumnHooks() {
    static ColumnHooks hooks;
    return hooks;
}

// The rotation time is a float column that takes whole numbers only.
bool VehicleConstantsTable::SetHelicopterPropellerRotationTime(int32_t row, float value) {
    return column_access::SetFloat(GetOrCreateRow(row), &VehicleConstantsRow::HelicopterPropellerRotationTime,
                                   float(TruncateToInt(value)));
}

bool VehicleConstantsTable::SetVehicleFieldDivisor(int32_t row, float value) {
    VehicleConstantsRow* record = GetOrCreateRow(row);
    if (!column_access::SetWhole(record, &VehicleConstantsRow::VehicleFieldDivisor, value))
        return false;
    if (const auto& hook = GetColumnHooks().vehicleFieldDivisorChanged)
        hook(record->VehicleFieldDivisor);
    return true;
}

bool EditorTable::SetTerrainTextureSize(int32_t row, float value) {
    EditorRow* record = GetOrCreateRow(row);
    if (!column_access::SetWhole(record, &EditorRow::TerrainTextureSize, value))
        return false;
    if (const auto& hook = GetColumnHooks().terrainTextureSizeChanged)
        hook(record->TerrainTextureSize);
    return true;
}

bool MiniMap_S_DlgTable::SetColorBlue(int32_t row, float value) {
    if (!column_access::SetWhole(GetOrCreateRow(row), &MiniMap_S_DlgRow::ColorBlue, value))
        return false;
    if (const auto& hook = GetColumnHooks().miniMapColorsChanged)
        hook();
    return true;
}

bool PlayerColorTable::SetColor(int32_t row, const ValueTable& value) {
    if (const auto& hook = GetColumnHooks().playerColorsChanged)
        hook();
    return column_access::SetTable(GetOrCreateRow(row), &PlayerColorRow::Color, value);
}

// An empty table is ignored: the row keeps its shape (and gets no record).
bool MountainsTable::SetAreaDescription(int32_t row, const ValueTable& value) {
    if (row < 0)
        return false;
    if (value.Empty())
        return true;
    MountainsRow* record = GetOrCreateRow(row);
    if (!record)
        return false;
    record->AreaDescription = value;
    record->Shape = MountainShape::FromTable(value);
    return true;
}

// Pairs (key, value) merge into the map: a later key overwrites, other keys
// stay. A row without a record takes nothing.
bool VehicleTable::SetSpecialWaggonTypes(int32_t row, const ValueTable& value) {
    VehicleRow* record = FindMutable(row);
    if (!record)
        return true;
    for (uint32_t r = 0; r < value.RowCount(); ++r)
        record->SpecialWaggonTypes[value.IntCell(0, r)] = value.IntCell(1, r);
    return true;
}

bool VehicleTable::GetSpecialWaggonTypes(int32_t row, ValueTable* out) {
    const VehicleRow* record = Find(row);
    if (!record || !out)
        return false;
    out->Resize(2, uint32_t(record->SpecialWaggonTypes.size()));
    uint32_t r = 0;
    for (const auto& [key, type] : record->SpecialWaggonTypes) {
        out->SetCell(0, r, float(key));
        out->SetCell(1, r, float(type));
        ++r;
    }
    return true;
}

// The curve columns of Gischt live in SprayCurves, not in the records.
bool GischtTable::SetAlpha0(int32_t row, const ValueTable& value) {
    return SprayCurves::Set(row, SprayCurveId::Alpha0, value);
}
bool GischtTable::GetAlpha0(int32_t row, ValueTable* out) {
    return SprayCurves::Get(row, SprayCurveId::Alpha0, out);
}
bool GischtTable::SetAlpha1(int32_t row, const ValueTable& value) {
    return SprayCurves::Set(row, SprayCurveId::Alpha1, value);
}
bool GischtTable::GetAlpha1(int32_t row, ValueTable* out) {
    return SprayCurves::Get(row, SprayCurveId::Alpha1, out);
}
bool GischtTable::SetPosition0(int32_t row, const ValueTable& value) {
    return SprayCurves::Set(row, SprayCurveId::Position0, value);
}
bool GischtTable::GetPosition0(int32_t row, ValueTable* out) {
    return SprayCurves::Get(row, SprayCurveId::Position0, out);
}
bool GischtTable::SetPosition1(int32_t row, const ValueTable& value) {
    return SprayCurves::Set(row, SprayCurveId::Position1, value);
}
bool GischtTable::GetPosition1(int32_t row, ValueTable* out) {
    return SprayCurves::Get(row, SprayCurveId::Position1, out);
}
bool GischtTable::SetXExtent0(int32_t row, const ValueTable& value) {
    return SprayCurves::Set(row, SprayCurveId::XExtent0, value);
}
bool GischtTable::GetXExtent0(int32_t row, ValueTable* out) {
    return SprayCurves::Get(row, SprayCurveId::XExtent0, out);
}
bool GischtTable::SetXExtent1(int32_t row, const ValueTable& value) {
    return SprayCurves::Set(row, SprayCurveId::XExtent1, value);
}
bool GischtTable::GetXExtent1(int32_t row, ValueTable* out) {
    return SprayCurves::Get(row, SprayCurveId::XExtent1, out);
}
bool GischtTable::SetYExtent0(int32_t row, const ValueTable& value) {
    return SprayCurves::Set(row, SprayCurveId::YExtent0, value);
}
bool GischtTable::GetYExtent0(int32_t row, ValueTable* out) {
    return SprayCurves::Get(row, SprayCurveId::YExtent0, out);
}
bool GischtTable::SetYExtent1(int32_t row, const ValueTable& value) {
    return SprayCurves::Set(row, SprayCurveId::YExtent1, value);
}
bool GischtTable::GetYExtent1(int32_t row, ValueTable* out) {
    return SprayCurves::Get(row, SprayCurveId::YExtent1, out);
}
