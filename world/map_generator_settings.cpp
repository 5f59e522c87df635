// The map generator's settings block, its counters and hooks, and the
// Editor table readers that the front end and the island scan share with it.
#include "data/generated/terrain_tables.h"
#include "world/map_generator.h"
#include "world/map_generator_services.h"
#include "world/world.h"

MapGeneratorSettings& GetMapGeneratorSettings() {
    static MapGeneratorSettings settings;
    return settings;
}

MapGeneratorCounters& GetMapGeneratorCounters() {
    return CurrentWorld().generatorCounters;
}

MapGeneratorServices& GeneratorServices() {
    return CurrentWorld().generatorServices;
}

int32_t GetInitialWaterColor(int32_t row, int32_t r, int32_t c) {
    const EditorRow* editor = EditorTable::Find(row);
    if (!editor || r < 0 || c < 0)
        return -1;
    return editor->InitialWaterColor.IntCell(uint32_t(c), uint32_t(r));
}

bool GetTerrainTextureSize(int32_t row, float& size) {
    const EditorRow* editor = EditorTable::Find(row);
    if (!editor)
        return false;
    size = float(editor->TerrainTextureSize);
    return true;
}

int32_t InitialWaterColorRow(uint32_t regionCode, uint32_t climate) {
    int32_t regionIndex = regionCode == 2 ? 1 : regionCode == 4 ? 2 : 0;
    return int32_t(climate) + 3 * regionIndex - 1;
}
