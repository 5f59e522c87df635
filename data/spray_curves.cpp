#include "data/spray_curves.h"

#include "data/column_hooks.h"

#include <cmath>

namespace {

using KindCurves = std::array<SprayCurve, kSprayCurvesPerKind>;
std::array<KindCurves, kSprayKindCount> gCurves;

bool IsSprayKind(int32_t kind) {
    return kind >= 0 && kind < kSprayKindCount;
}

} // namespace

bool SprayCurves::Set(int32_t kind, SprayCurveId id, const ValueTable& table) {
    if (!IsSprayKind(kind))
        return false;
    if (const auto& hook = GetColumnHooks().setSprayCurve)
        return hook(kind, id, table);
    if (table.Empty() || table.RowCount() > kMaxSprayCurvePoints)
        return false;
    SprayCurve curve;
    curve.count = table.RowCount();
    for (uint32_t i = 0; i < curve.count; ++i) {
        curve.x[i] = table.Cell(0, i);
        curve.y[i] = table.Cell(1, i);
        curve.mode[i] = TruncateToInt(std::round(table.Cell(2, i)));
    }
    gCurves[size_t(kind)][size_t(id)] = curve;
    return true;
}

bool SprayCurves::Get(int32_t kind, SprayCurveId id, ValueTable* out) {
    if (!IsSprayKind(kind) || !out)
        return false;
    if (const auto& hook = GetColumnHooks().getSprayCurve)
        return hook(kind, id, out);
    const SprayCurve& curve = gCurves[size_t(kind)][size_t(id)];
    out->Resize(3, curve.count);
    for (uint32_t i = 0; i < curve.count; ++i) {
        out->SetCell(0, i, curve.x[i]);
        out->SetCell(1, i, curve.y[i]);
        out->SetCell(2, i, float(uint32_t(curve.mode[i])));
    }
    return true;
}

const SprayCurve& SprayCurves::Curve(int32_t kind, SprayCurveId id) {
    return gCurves[size_t(kind)][size_t(id)];
}

void SprayCurves::Clear() {
    gCurves = {};
}
