// Hooks through which higher subsystems that keep copies of database values
// hear of a new value; the columns' hand-written accessors call them.
#pragma once

#include "data/spray_curves.h"
#include "data/value_table.h"

#include <cstdint>
#include <functional>

struct ColumnHooks {
    // VehicleConstants.VehicleFieldDivisor was set: the stored whole number.
    std::function<void(int32_t divisor)> vehicleFieldDivisorChanged;
    // Editor.TerrainTextureSize was set: the world's terrain block size.
    std::function<void(int32_t size)> terrainTextureSizeChanged;
    // MiniMap_S_Dlg.ColorBlue was set: the minimap's colour table is stale.
    std::function<void()> miniMapColorsChanged;
    // PlayerColor.Color is about to be set: the player colours are stale.
    std::function<void()> playerColorsChanged;
    // The spray effect's own store for the Gischt curves, replacing
    // SprayCurves' once installed; called only for kinds 0..15.
    std::function<bool(int32_t kind, SprayCurveId id, const ValueTable& table)> setSprayCurve;
    std::function<bool(int32_t kind, SprayCurveId id, ValueTable* out)> getSprayCurve;
};

// The process-wide hooks; assign a member to install a hook.
ColumnHooks& GetColumnHooks();
