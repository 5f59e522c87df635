// The random map generator: a new world from saved islands, then towns and
// factory lines on it, every draw from the runtime-style generator so that
// a seed always gives the same map.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
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

void GenerateMap(const MapGeneratorProgress& progress = {});
struct IslandTemplate;
bool PlaceIsland(int32_t x, int32_t y, const IslandTemplate& island, bool testOnly, uint32_t& overlapPercent,
                 bool fillWater);
void PlaceTowns(const MapGeneratorProgress& progress);
void PlaceFactoryLines(const MapGeneratorProgress& progress);
// The town names of "<install>/config/<n>_citynames.txt", one per line.
std::vector<std::string> LoadCityNames(int32_t fileIndex);
void PrepareGeneratedWorld();
// (SetMapGeneratorFlag, which town houses read, lives with them.)

// Cell of the Editor row's InitialWaterColor table; -1 out of range.
int32_t GetInitialWaterColor(int32_t row, int32_t r, int32_t c);
bool GetTerrainTextureSize(int32_t row, float& size);
