#include "world/map_check.h"

#include "data/generated/terrain_tables.h"
#include "files/host_path.h"
#include "platform/message.h"
#include "world/cell_rows.h"
#include "world/island_template.h"
#include "world/object_manager.h"
#include "world/world_map.h"
#include "world/world_services.h"
#include "world/world_warnings.h"

#include <string>

namespace {

// How far up and left SetTerrainAt paints a point: half the terrain block.
// The check reads the painted cells of a block's points from the same
// offset.
constexpr uint32_t kTerrainPaintOffset = 2;
// What a terrain row without IsWater 0 or 1 (or no row at all) counts as:
// neither, so it never makes a block fail.
constexpr uint32_t kNoWaterValue = 2;

MovingObjectQuery& Query() {
    return CurrentWorld().movingObjectQuery;
}

uint32_t WaterValueAt(const WorldMap& map, int64_t x, int64_t y) {
    uint32_t cx = uint32_t(x < 0 ? 0 : x), cy = uint32_t(y < 0 ? 0 : y);
    const WorldCell* cell = map.FindCell(cx, cy);
    if (!cell)
        return kNoWaterValue;
    const TerrainRow* row = TerrainTable::Find(int32_t(cell->TerrainIndex()));
    return row ? row->IsWater : kNoWaterValue;
}

uint32_t TerrainIndexAt(const WorldMap& map, int64_t x, int64_t y) {
    return map.GetTerrainIndex(uint32_t(x < 0 ? 0 : x), uint32_t(y < 0 ? 0 : y));
}

bool BlockPasses(uint32_t a, uint32_t b, uint32_t c, uint32_t d) {
    if (a == 1)
        return b != 0 && c != 0 && d != 0;
    if (a == 0)
        return b != 1 && c != 1 && d != 1;
    return true;
}

void InvalidateTile(uint32_t x, uint32_t y) {
    if (Services().invalidateMiniMapRect)
        Services().invalidateMiniMapRect(int32_t(x), int32_t(y), int32_t(x + 1), int32_t(y + 1));
}

} // namespace

bool MapCheck::CheckTerrainBlocks() {
    WorldMap& map = GetWorldMap();
    const int64_t r = kTerrainPaintOffset;
    bool allPassed = true;
    for (uint32_t y = 0; y + 1 < map.GetHeight(); y += 2) {
        for (uint32_t x = 0; x + 1 < map.GetWidth(); x += 2) {
            const int64_t x0 = int64_t(x) - r, y0 = int64_t(y) - r;
            uint32_t a = WaterValueAt(map, x0, y0), b = WaterValueAt(map, x0 + 1, y0);
            uint32_t c = WaterValueAt(map, x0, y0 + 1), d = WaterValueAt(map, x0 + 1, y0 + 1);
            if (BlockPasses(a, b, c, d))
                continue;
            uint32_t terrain = TerrainIndexAt(map, x0 + 1, y0 + 1);
            map.SetTerrainAt(x, y, terrain);
            map.SetTerrainAt(x, y + 1, terrain);
            map.SetTerrainAt(x + 1, y, terrain);
            map.SetTerrainAt(x + 1, y + 1, terrain);
            allPassed = false;
        }
    }
    return allPassed;
}

bool MapCheck::CheckCells() {
    WorldMap& map = GetWorldMap();
    bool allPassed = true;
    for (uint32_t y = 0; y < map.GetHeight(); ++y) {
        for (uint32_t x = 0; x < map.GetWidth(); ++x) {
            WorldCell& cell = *map.CellAt(x, y);
            if (cell.Kind() != kCellDecoration || (cell.word1 & decoration_bits::kOriginBit))
                continue;
            uint32_t dx = (cell.word1 >> decoration_bits::kColumnShift) & 7;
            uint32_t dy = cell.word1 >> decoration_bits::kRowShift;
            if (dx <= x && dy <= y) {
                const WorldCell* origin = map.FindCell(x - dx, y - dy);
                if (origin && origin->Kind() == kCellDecoration &&
                    (origin->word1 & decoration_bits::kOriginBit))
                    continue;
            }
            ChangeKind(cell, kCellPlain);
            InvalidateTile(x, y);
            allPassed = false;
        }
    }
    return allPassed;
}

void SetMovingObjectQuery(MovingObjectQuery query) {
    Query() = std::move(query);
}

uint32_t ClearStaleRouteReservations() {
    const MovingObjectQuery& query = Query();
    if (!query)
        return 0;
    WorldMap& map = GetWorldMap();
    uint32_t cleared = 0;
    for (uint32_t y = 0; y < map.GetHeight(); ++y) {
        for (uint32_t x = 0; x < map.GetWidth(); ++x) {
            uint32_t handle = map.GetRouteSlotValue(x, y, 0, 0, 15);
            if (handle == 0)
                continue;
            const MapObject* object = MovingObjectFromId(handle);
            int32_t mode = 0, tx = 0, ty = 0;
            if (!object || !query(*object, mode, tx, ty))
                continue;
            if (mode == 1 && tx != int32_t(x) && ty != int32_t(y)) {
                map.SetRouteSlotValue(x, y, 0, 0, 0, 15);
                ++cleared;
            }
        }
    }
    return cleared;
}

void ClearRouteFlags() {
    for (WorldCell& cell : GetWorldMap().GetGrid()) {
        if (cell.Kind() != kCellRoute)
            continue;
        for (uint32_t layer : {2u, 1u}) {
            if (GetRouteFlagB(cell, layer))
                SetRouteFlagB(cell, layer, false);
            if (GetRouteFlagA(cell, layer))
                SetRouteFlagA(cell, layer, false);
        }
    }
}

uint32_t TestIslandFiles() {
    uint32_t failures = 0;
    std::string folder;
    for (const std::string& name : ListIslandFiles(folder)) {
        if (!LoadIsland(JoinHostPath(folder, name), nullptr) || !MapCheck()) {
            WorldWarning("Fehler in Insel-Datei: %s", name.c_str());
            ++failures;
        }
    }
    plat::ShowMessage("Testfunktion fertig", "Test abgeschlossen");
    return failures;
}
