// The random map generator: a new world from saved islands, then towns and
// factory lines on it, every draw from the runtime-style generator so that
// a seed always gives the same map.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

struct MapGeneratorSettings {
    uint32_t MapWidth = 256;
    uint32_t MapHeight = 256;
    uint32_t RegionCode = 1;
    uint32_t Climate = 1;
    int32_t FertileIslandShare = 50;
    int32_t MountainIslandShare = 5;
    int32_t TargetLandCoverage = 45;
    int32_t MaxIslandOverlap = 10;
    int32_t FactoryDensity = 100;
    int32_t TownDensity = 100;
    uint8_t OverlapIslands = 1;
    uint8_t GenerateIslands = 1;
    uint8_t GenerateTowns = 1;
    uint8_t GenerateFactories = 1;
};

// The one settings block, with the defaults above until changed.
MapGeneratorSettings& GetMapGeneratorSettings();

// Phase 0 islands (coverage, target), 1 towns (founded, total), 2 factory
// lines (per mille placed, 1000).
using MapGeneratorProgress = std::function<void(int32_t phase, float value, float total)>;

// A factory placement request, shared with the factory placement test.
struct FactoryRequest {
    int32_t x = 0;
    int32_t y = 0;
    int32_t type = 0;
    int32_t orientation = 0;
    int32_t size = 0;
};

// The island pass's counters of the last run: islands placed by fertility
// kind and mountain kind (1 and 2), and island land tiles put on water.
struct MapGeneratorCounters {
    uint32_t fertile1 = 0;
    uint32_t fertile2 = 0;
    uint32_t mountain1 = 0;
    uint32_t mountain2 = 0;
    uint64_t placedLand = 0;
    // Islands placed, whole cycles over the island list, and island cells
    // looked at by the tries.
    uint32_t islandsPlaced = 0;
    uint32_t cycles = 0;
    uint64_t cellsTried = 0;
};
MapGeneratorCounters& GetMapGeneratorCounters();

// The island pass ends at the latest after this many cycles over the list,
// or once its tries have looked at this many island cells per map tile.
inline constexpr uint32_t kMaxIslandCycles = 10000;
inline constexpr uint64_t kMaxIslandCellsPerTile = 256;
// A town being founded gets at most this many growth steps.
inline constexpr uint32_t kMaxFoundingUpdates = 4000;
// The generator founds at most this many towns (the size of the town table).
inline constexpr uint32_t kMaxGeneratedTowns = 100;

// Runs the three passes that the settings switch on.
void GenerateMap(const MapGeneratorProgress& progress = {});

struct IslandTemplate;
// Tests (testOnly) or places an island with its top-left cell at (x, y);
// cells off the map are dropped. overlapPercent answers the share of the
// island's cells that fall on land already there. A test fails on a
// building footprint; placing always succeeds.
bool PlaceIsland(int32_t x, int32_t y, const IslandTemplate& island, bool testOnly, uint32_t& overlapPercent,
                 bool fillWater);
// The corner of an island tried on the map from one draw of the runtime
// generator: draw % (mapSize + 2 * size) - size, made even downwards (an
// odd value, negative too, goes down by one), so islands may hang over
// every edge by up to their own size.
int32_t IslandCornerFromDraw(uint32_t draw, uint32_t mapSize, uint32_t size);
// Whether a tried island is taken: without overlap mode when at most
// MaxIslandOverlap percent of its cells fall on land, in overlap mode when
// at least that many do or the map's land coverage is still below the
// minimum ratio; in both modes only when it adds land (newLand > 0).
bool AcceptIslandTry(const MapGeneratorSettings& settings, uint32_t overlapPercent, float coverage,
                     float minimumLandRatio, uint32_t newLand);
// The island pass over a list of islands, on the map as it stands (the
// map is neither reset nor painted with water first).
void PlaceIslands(const std::vector<const IslandTemplate*>& islands, const MapGeneratorProgress& progress);
void PlaceTowns(const MapGeneratorProgress& progress);
void PlaceFactoryLines(const MapGeneratorProgress& progress);
// The town names of "<install>/<config>/<n>_citynames.txt", one per line:
// blank lines and leading blanks skipped, carriage returns dropped, names
// cut at kMaxCityNameLength characters. A missing file gives no names.
std::vector<std::string> LoadCityNames(int32_t fileIndex);
// The names of a town-name list's text, one a line.
std::vector<std::string> ParseCityNames(std::string_view text);
inline constexpr size_t kMaxCityNameLength = 63;
// The fixed re-initialisation of the game's parts after generation.
void PrepareGeneratedWorld();

// (SetMapGeneratorFlag, which town houses read, lives with them in
// world/living_building.h.)

// Cell of the Editor row's InitialWaterColor table; -1 out of range.
int32_t GetInitialWaterColor(int32_t row, int32_t r, int32_t c);
bool GetTerrainTextureSize(int32_t row, float& size);
// The InitialWaterColor row of a region code and climate.
int32_t InitialWaterColorRow(uint32_t regionCode, uint32_t climate);
