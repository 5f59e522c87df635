// New games on the terrain of a map file: an island file (".mdi") loaded as
// the whole world, or a map of the older format whose terrain is carried
// over through the classification columns of the terrain tables.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

class Game;

// The older map format, as this program reads it (little-endian):
//   bytes 0-335    header; the u32 at kSiblingSizeBlockField is the file
//                  offset of the size block, the rest is not read
//   size block     16 bytes: u32 source width, u32 source height, 8 unused
//   cell records   width x height records of 8 bytes, row by row, right
//                  after the size block; of each record the 9-bit terrain
//                  index (bits 4-12 of its first u16, a TerrainSB2 row) and
//                  the 6-bit water colour (bits 7-12 of its third u16)
// The map made from it is width / 2 x height / 2 tiles: even sides of 2 to
// 2048. A terrain's classification (c, a, b) is its TerrainType,
// TerrainMixtureTyp and BaseType columns, in both tables.
inline constexpr uint32_t kSiblingHeaderSize = 336;
inline constexpr uint32_t kSiblingSizeBlockField = 8;
inline constexpr uint32_t kSiblingSizeBlockSize = 16;
inline constexpr uint32_t kSiblingRecordSize = 8;

// Whether the graphics hold the sprite of a Terrain row; an empty hook
// counts every row as drawn.
using TerrainSpriteExists = std::function<bool(int32_t terrainRow)>;

// Replaces the world by the terrain of an older map file: every second
// source row and column gives the terrain of the 2 x 2 tiles at its place.
// False, with a log line, on a missing file, sizes out of bounds or a
// short read, before anything in the world is changed.
bool ImportSiblingMap(Game& game, const std::string& path, const TerrainSpriteExists& spriteExists = {});

// Replaces the world by an island file loaded whole, with the players
// created again as after a reset. False, with a log line, when the file is
// not a sound island of even sides; the world is then left as it was.
bool ImportIslandAsWorld(Game& game, const std::string& path);

// One of the two above, chosen by the file's name: ".mdi" (any case) is an
// island file, anything else a map of the older format.
bool ImportMapFile(Game& game, const std::string& path);
