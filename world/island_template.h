// Saved islands: small maps in the installation's "Islands" folder from
// which the map generator assembles a world, the scan that picks them by
// their file names, and the island file's load and save.
#pragma once

#include "world/world_cell.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

class Mountain;

inline constexpr const char* kIslandFolder = "Islands";
inline constexpr std::string_view kIslandFileExtension = ".mdi";
inline constexpr size_t kMinIslandFileNameLength = 8;
// An island's cells per side, and the largest plain file an island file
// may expand to (the cells of the largest island and room for mountains).
inline constexpr uint32_t kMaxIslandSize = 2048;
inline constexpr uint32_t kMaxIslandPlainSize = kMaxIslandSize * kMaxIslandSize * 8 + (16u << 20);

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
// leading digits that print back the same, the first not 0, the extension
// ".mdi" in any case); fills the four digits.
bool ParseIslandFileName(std::string_view name, uint32_t digits[4]);
// Whether an island of these digits suits a region and climate: each mask
// shares a bit with its digit, and the fertility and mountain kinds are 1-3.
bool IslandMatches(const uint32_t digits[4], uint32_t regionCode, uint32_t climate);
// The ".mdi" files (any case, no folders) of the installation's island
// folder in byte order of their names; folder receives the folder's host
// path. Empty without a folder.
std::vector<std::string> ListIslandFiles(std::string& folder);

// Empties the island list and loads every island file of the installation's
// island folder that matches the generator's region and climate, in name
// order. Files that fail to load are left out with a log line.
void ScanIslands();

// Reads one island file into a record, or with none as the whole world.
// False, with the reason in LastWorldError, when the file cannot be read or
// does not hold a sound island; the record is then left empty, and the
// world is not touched.
bool LoadIsland(const std::string& path, IslandTemplate* island);
// Writes a record, or with none the whole world, as an island file; the
// file is replaced only when it is complete.
bool SaveIsland(const std::string& path, const IslandTemplate* island);
// The same with the bytes of an island file (the compressed container).
bool LoadIslandFromBytes(std::span<const uint8_t> file, IslandTemplate* island);
bool SaveIslandToBytes(const IslandTemplate* island, std::vector<uint8_t>& file);
// Loads the plain chunk file inside the container (for tests and tools).
bool LoadIslandFromPlainBytes(std::span<const uint8_t> plain, IslandTemplate* island);
// Transfers the island's chunks in the direction of the current stream.
// Loading refuses (false, with LastWorldError) sizes outside 1-2048 (even
// ones for the world), a cell count other than width x height, and
// mountain records of another kind, of index 0 or named twice. Cells keep
// no row index: the file carries no row pools.
bool SerializeIsland(IslandTemplate* island);
