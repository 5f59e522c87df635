// Saved islands: small maps in the installation's "Islands" folder from
// which the map generator assembles a world, the scan that picks them by
// their file names, and the island file's load and save.
#pragma once

#include "world/world_cell.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class Mountain;

inline constexpr const char* kIslandFolder = "Islands";

struct IslandTemplate {
    IslandTemplate();
    ~IslandTemplate();
    IslandTemplate(const IslandTemplate&) = delete;
    IslandTemplate& operator=(const IslandTemplate&) = delete;

    // Set from construction: deleting the record deletes its mountains.
    uint8_t ownsMountains = 1;
    // The island's mountains by object index - 1 (null where an index is
    // unused); positions relative to the island's top-left cell.
    std::vector<std::unique_ptr<Mountain>> mountains;
    // width x height cells, row by row, in the world map's cell format.
    std::vector<WorldCell> cells;
    uint32_t width = 0;
    uint32_t height = 0;
    // The two header words after width and height, kept as read.
    uint32_t headerWord2 = 0;
    uint32_t headerWord3 = 0;
    // The four digits of the file name.
    uint32_t regionMask = 0;
    uint32_t climateMask = 0;
    uint32_t fertilityKind = 0;
    uint32_t mountainKind = 0;

    const WorldCell& CellAt(uint32_t i, uint32_t j) const { return cells[size_t(j) * width + i]; }
};

// The islands the last scan kept.
std::vector<std::unique_ptr<IslandTemplate>>& IslandList();
void ClearIslandList();

// Whether a file name follows the island rule (at least 8 characters, four
// leading digits that print back the same, the first not 0); fills the four
// digits.
bool ParseIslandFileName(std::string_view name, uint32_t digits[4]);

// Empties the island list and loads every island file of the installation's
// island folder that matches the generator's region and climate, in name
// order. Files that fail to load are left out with a log line.
void ScanIslands();

// Reads one island file into a record, or with none as the whole world.
bool LoadIsland(const std::string& path, IslandTemplate* island);
// Writes a record, or with none the whole world, as an island file.
bool SaveIsland(const std::string& path, const IslandTemplate* island);
// Transfers the island's chunks in the direction of the current stream.
bool SerializeIsland(IslandTemplate* island);
