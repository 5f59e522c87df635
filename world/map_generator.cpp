// The map generator's island pass: an empty map of water on which saved
// islands are dropped at random places until their land covers the target
// share of the map, and GenerateMap, which runs the three passes.
#include "world/map_generator.h"

#include "data/generated/terrain_tables.h"
#include "world/island_template.h"
#include "world/map_generator_services.h"
#include "world/mountain.h"
#include "world/object_manager.h"
#include "world/random_streams.h"
#include "world/static_object_services.h"
#include "world/world_map.h"
#include "world/world_sections.h"
#include "world/world_services.h"
#include "world/world_warnings.h"

#include <array>

using namespace decoration_bits;

namespace {

constexpr uint32_t kTerrainRows = 1024;

// IsWater of every terrain row, so that the passes over island cells read a
// byte instead of a table row; a missing row counts as land, as on the map.
class WaterRows {
public:
    WaterRows() {
        for (uint32_t t = 0; t < kTerrainRows; ++t) {
            const TerrainRow* row = TerrainTable::Find(int32_t(t));
            water_[t] = row && row->IsWater ? 1 : 0;
        }
    }
    bool IsWater(const WorldCell& cell) const { return water_[cell.TerrainIndex()] != 0; }

private:
    std::array<uint8_t, kTerrainRows> water_{};
};

// An island with the cells the passes visit, listed once per run.
struct IslandShape {
    const IslandTemplate* island = nullptr;
    // Indexes (j * width + i) of the land cells and of the decoration
    // cells that start a decoration.
    std::vector<uint32_t> land;
    std::vector<uint32_t> decorations;
};

bool IsUsable(const IslandTemplate& island) {
    return island.width > 0 && island.height > 0 && island.width <= kMaxMapSize &&
           island.height <= kMaxMapSize && island.cells.size() == size_t(island.width) * island.height;
}

// Whether an island cell of kind 3 is where its decoration starts: the
// origin bit, or no offsets back to an origin.
bool StartsDecoration(const WorldCell& cell) {
    if (cell.Kind() != kCellDecoration)
        return false;
    return (cell.word1 & kOriginBit) != 0 || (cell.word1 >> kColumnShift) == 0;
}

IslandShape MakeShape(const IslandTemplate& island, const WaterRows& water) {
    IslandShape shape;
    shape.island = &island;
    for (uint32_t k = 0; k < island.cells.size(); ++k) {
        const WorldCell& cell = island.cells[k];
        if (!water.IsWater(cell))
            shape.land.push_back(k);
        if (StartsDecoration(cell))
            shape.decorations.push_back(k);
    }
    return shape;
}

struct IslandFit {
    // Island land cells on map land, and on map water.
    uint32_t onLand = 0;
    uint32_t onWater = 0;
    uint32_t overlapPercent = 0;
};

// The count pass: false when testOnly and a land cell lies on a building
// footprint.
bool MeasureIsland(int32_t x, int32_t y, const IslandShape& shape, bool testOnly, const WaterRows& water,
                   IslandFit& fit) {
    const IslandTemplate& island = *shape.island;
    WorldMap& map = GetWorldMap();
    fit = {};
    for (uint32_t k : shape.land) {
        int64_t wx = int64_t(x) + k % island.width, wy = int64_t(y) + k / island.width;
        if (wx < 0 || wy < 0 || !map.InMap(uint32_t(wx), uint32_t(wy)))
            continue;
        const WorldCell& cell = *map.CellAt(uint32_t(wx), uint32_t(wy));
        if (testOnly && cell.Kind() == kCellFootprint)
            return false;
        if (water.IsWater(cell))
            ++fit.onWater;
        else
            ++fit.onLand;
    }
    fit.overlapPercent = uint32_t(uint64_t(fit.onLand) * 100 / (uint64_t(island.width) * island.height));
    return true;
}

// The terrain, decoration and mountain passes.
void LayIsland(int32_t x, int32_t y, const IslandShape& shape, bool fillWater, const WaterRows& water) {
    const IslandTemplate& island = *shape.island;
    WorldMap& map = GetWorldMap();
    MapGeneratorCounters& counters = GetMapGeneratorCounters();
    auto worldTile = [&](uint32_t k, uint32_t& wx, uint32_t& wy) {
        int64_t tx = int64_t(x) + k % island.width, ty = int64_t(y) + k / island.width;
        if (tx < 0 || ty < 0 || !map.InMap(uint32_t(tx), uint32_t(ty)))
            return false;
        wx = uint32_t(tx);
        wy = uint32_t(ty);
        return true;
    };

    uint32_t wx = 0, wy = 0;
    for (uint32_t k : shape.land) {
        if (!worldTile(k, wx, wy))
            continue;
        if (water.IsWater(*map.CellAt(wx, wy))) {
            if (!fillWater)
                continue;
            ++counters.placedLand;
        }
        if (map.CellAt(wx, wy)->Kind() == kCellDecoration)
            map.RemoveDecorationAt(wx, wy);
        WorldCell& cell = *map.CellAt(wx, wy);
        cell.SetTerrainIndex(island.cells[k].TerrainIndex());
        cell.SetWaterColour(0);
    }

    // Decorations go through the map's own placement, which refuses a
    // square that would cross the map's edge or cover a taken tile.
    for (uint32_t k : shape.decorations) {
        if (!worldTile(k, wx, wy))
            continue;
        uint32_t word = island.cells[k].word1;
        uint32_t size = (word >> kColumnShift) & 7;
        uint32_t graphic = (word >> kGraphicShift) & kGraphicMask;
        uint32_t frameField = graphic & 127;
        if (frameField == 0)
            continue;
        if (!fillWater && !map.IsAreaBuildable(wx, wy, size ? size : 1, size ? size : 1, 8))
            continue;
        map.PlaceDecoration(wx, wy, (word >> 17) & 127, frameField - 1);
    }

    for (const auto& mountain : island.mountains) {
        if (!mountain)
            continue;
        int64_t px = int64_t(x) + mountain->GetX(), py = int64_t(y) + mountain->GetY();
        if (px < INT32_MIN || px > INT32_MAX || py < INT32_MIN || py > INT32_MAX)
            continue;
        if (!CanPlaceMountainTemplate(mountain->GetTemplateIndex(), int32_t(px), int32_t(py)))
            continue;
        auto* placed = dynamic_cast<Mountain*>(CreateMapObject(kCategoryBuilding, Mountain::kSubtype));
        if (placed)
            placed->Place(int32_t(px), int32_t(py), mountain->GetGraphicNumber(),
                          mountain->GetTemplateIndex(), 0, 0, true);
    }
}

// Share of kind 2 (or 1) among the placed islands of a pair of counters,
// in whole percent; 0 before any was placed.
int32_t Share(uint32_t part, uint32_t other) {
    uint64_t total = uint64_t(part) + other;
    return total ? int32_t(uint64_t(part) * 100 / total) : 0;
}

bool SkippedByMix(const IslandTemplate& island, const MapGeneratorSettings& s,
                  const MapGeneratorCounters& c) {
    int32_t m2 = Share(c.mountain2, c.mountain1), m1 = Share(c.mountain1, c.mountain2);
    int32_t f2 = Share(c.fertile2, c.fertile1), f1 = Share(c.fertile1, c.fertile2);
    return (m2 >= s.MountainIslandShare && island.mountainKind == 2) ||
           (f2 >= s.FertileIslandShare && island.fertilityKind == 2) ||
           (m1 > 100 - s.MountainIslandShare && island.mountainKind == 1) ||
           (f1 > 100 - s.FertileIslandShare && island.fertilityKind == 1);
}

// Paints every tile with the region's water.
void PaintWater(const MapGeneratorSettings& s) {
    int32_t row = InitialWaterColorRow(s.RegionCode, s.Climate);
    int32_t terrain = GetInitialWaterColor(0, row, 0);
    int32_t colour = GetInitialWaterColor(0, row, 1);
    const TerrainRow* terrainRow = TerrainTable::Find(terrain);
    if (!terrainRow || !terrainRow->IsWater) {
        // The map must start as water whatever the data says: the first
        // water row stands in.
        int32_t fallback = -1;
        for (int32_t t = 0; t < TerrainTable::RowCount() && fallback < 0; ++t)
            if (const TerrainRow* r = TerrainTable::Find(t); r && r->IsWater)
                fallback = t;
        WorldWarning("map generator: InitialWaterColor row %d names no water terrain (%d); terrain %d used",
                     row, terrain, fallback);
        terrain = fallback < 0 ? 0 : fallback;
    }
    if (colour < 0)
        colour = 0;
    for (WorldCell& cell : GetWorldMap().GetGrid()) {
        cell.SetTerrainIndex(uint32_t(terrain));
        cell.SetWaterColour(uint32_t(colour));
    }
}

bool ValidMapSize(uint32_t w, uint32_t h) {
    return w >= 2 && h >= 2 && w <= kMaxMapSize && h <= kMaxMapSize && w % 2 == 0 && h % 2 == 0;
}

} // namespace

int32_t IslandCornerFromDraw(uint32_t draw, uint32_t mapSize, uint32_t size) {
    int64_t v = int64_t(draw % (uint64_t(mapSize) + 2 * uint64_t(size))) - int64_t(size);
    return int32_t(v & ~int64_t(1));
}

bool AcceptIslandTry(const MapGeneratorSettings& settings, uint32_t overlapPercent, float coverage,
                     float minimumLandRatio, uint32_t newLand) {
    // An island that would add no land changes nothing but the mix counters
    // (and in overlap mode could be taken for ever); it is never taken.
    if (newLand == 0)
        return false;
    const int64_t overlap = overlapPercent, limit = settings.MaxIslandOverlap;
    if (!settings.OverlapIslands)
        return overlap <= limit;
    return overlap >= limit || coverage < minimumLandRatio;
}

bool PlaceIsland(int32_t x, int32_t y, const IslandTemplate& island, bool testOnly, uint32_t& overlapPercent,
                 bool fillWater) {
    overlapPercent = 0;
    if (!IsUsable(island))
        return false;
    WaterRows water;
    IslandShape shape = MakeShape(island, water);
    IslandFit fit;
    if (!MeasureIsland(x, y, shape, testOnly, water, fit))
        return false;
    overlapPercent = fit.overlapPercent;
    if (testOnly)
        return true;
    LayIsland(x, y, shape, fillWater, water);
    return true;
}

void PlaceIslands(const std::vector<const IslandTemplate*>& islands, const MapGeneratorProgress& progress) {
    const MapGeneratorSettings& s = GetMapGeneratorSettings();
    MapGeneratorCounters& counters = GetMapGeneratorCounters();
    counters = {};
    if (!ValidMapSize(s.MapWidth, s.MapHeight)) {
        WorldWarning("map generator: no islands on a map of %u x %u tiles", s.MapWidth, s.MapHeight);
        return;
    }

    WaterRows water;
    std::vector<IslandShape> shapes;
    for (const IslandTemplate* island : islands) {
        if (island && IsUsable(*island))
            shapes.push_back(MakeShape(*island, water));
        else
            WorldWarning("map generator: an island without cells is left out");
    }
    const uint32_t n = uint32_t(shapes.size());
    if (n == 0) {
        WorldWarning("map generator: no islands for region %u and climate %u; the map stays water",
                     s.RegionCode, s.Climate);
        return;
    }

    const EditorRow* editor = EditorTable::Find(0);
    const int32_t retriesPerIsland = editor ? editor->NrOfRetriesPerIsland : 0;
    const int32_t retriesOfSelected = editor ? editor->NrOfRetriesOfSelectedIslands : 0;
    const float minimumLandRatio = editor ? editor->OverlappingIslandMinimumLandRatio : 0.0f;
    const double area = double(s.MapWidth) * double(s.MapHeight);
    const uint64_t cellBudget = kMaxIslandCellsPerTile * uint64_t(s.MapWidth) * s.MapHeight;

    std::vector<uint32_t> list;
    uint32_t cycles = 0, skipped = 0;
    uint64_t landAtCycleStart = 0;
    bool started = false;
    float coverage = 0.0f;
    for (;;) {
        if (list.empty()) {
            if (started) {
                // A cycle that added no land counts as a failed one, whether
                // its islands were skipped or only found nothing new to
                // cover; the list is tried again a limited number of times.
                if (skipped == n || counters.placedLand == landAtCycleStart)
                    ++cycles;
                if (++counters.cycles >= kMaxIslandCycles) {
                    WorldWarning("map generator: the island pass ends after %u cycles", counters.cycles);
                    break;
                }
            }
            started = true;
            for (uint32_t i = 0; i < n; ++i)
                list.push_back(i);
            skipped = 0;
            landAtCycleStart = counters.placedLand;
            if (int64_t(cycles) > int64_t(retriesOfSelected))
                break;
        }
        const uint32_t j = RuntimeRandom() % uint32_t(list.size());
        const IslandShape& shape = shapes[list[j]];
        const IslandTemplate& island = *shape.island;

        bool placed = false;
        if (!SkippedByMix(island, s, counters)) {
            for (int32_t t = 0; t < retriesPerIsland; ++t) {
                int32_t x = IslandCornerFromDraw(RuntimeRandom(), s.MapWidth, island.width);
                int32_t y = IslandCornerFromDraw(RuntimeRandom(), s.MapHeight, island.height);
                IslandFit fit;
                counters.cellsTried += shape.land.size();
                bool test = MeasureIsland(x, y, shape, true, water, fit);
                if (test && AcceptIslandTry(s, fit.overlapPercent, coverage, minimumLandRatio, fit.onWater)) {
                    LayIsland(x, y, shape, true, water);
                    if (island.mountainKind == 1)
                        ++counters.mountain1;
                    else if (island.mountainKind == 2)
                        ++counters.mountain2;
                    if (island.fertilityKind == 1)
                        ++counters.fertile1;
                    else if (island.fertilityKind == 2)
                        ++counters.fertile2;
                    ++counters.islandsPlaced;
                    placed = true;
                    break;
                }
            }
        }
        if (!placed)
            ++skipped;
        list.erase(list.begin() + j);
        coverage = float(double(counters.placedLand) * 100.0 / area);
        if (progress)
            progress(0, coverage, float(s.TargetLandCoverage));
        if (coverage > float(s.TargetLandCoverage))
            break;
        if (counters.cellsTried > cellBudget) {
            WorldWarning("map generator: the island pass ends after trying %llu island cells",
                         static_cast<unsigned long long>(counters.cellsTried));
            break;
        }
    }
}

void GenerateMap(const MapGeneratorProgress& progress) {
    const MapGeneratorSettings& s = GetMapGeneratorSettings();
    if (s.GenerateIslands) {
        if (!ValidMapSize(s.MapWidth, s.MapHeight)) {
            WorldWarning("map generator: a map of %u x %u tiles cannot be made", s.MapWidth, s.MapHeight);
            return;
        }
        CurrentRegion() = s.RegionCode;
        ScanIslands();
        if (GeneratorServices().resetWorld)
            GeneratorServices().resetWorld();
        else
            ResetWorldState();
        GetWorldMap().SetMapSizeNoReset(s.MapWidth, s.MapHeight);
        PaintWater(s);
        std::vector<const IslandTemplate*> islands;
        for (const auto& island : IslandList())
            islands.push_back(island.get());
        PlaceIslands(islands, progress);
    }
    if (s.GenerateTowns) {
        PlaceTowns(progress);
        if (GeneratorServices().renameAllFactories)
            GeneratorServices().renameAllFactories();
    }
    if (s.GenerateFactories)
        PlaceFactoryLines(progress);
    WorldMap& map = GetWorldMap();
    if (Services().invalidateMiniMapRect)
        Services().invalidateMiniMapRect(0, 0, int32_t(map.GetWidth()), int32_t(map.GetHeight()));
}
