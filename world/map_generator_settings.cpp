// The map generator's settings block and the Editor table readers that the
// front end and the island scan share with it.
#include "data/generated/terrain_tables.h"
#include "world/map_generator.h"

MapGeneratorSettings& GetMapGeneratorSettings() {
    static MapGeneratorSettings settings;
    return settings;
}
