// Imports arbitrary bytes, written to a file, as a map of the older format
// into a running game. An import either gives a map of the size the file
// names or leaves the running game exactly as it was.
#include "data/generated/terrain_tables.h"
#include "gameloop/game.h"
#include "gameloop/game_log.h"
#include "gameloop/map_import.h"
#include "gameloop/new_game.h"
#include "gameloop/saved_game.h"
#include "gameloop/world_model.h"
#include "platform/clock.h"
#include "platform/endian.h"
#include "scratch_file.h"
#include "world/world_map.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace {

void Check(bool condition) {
    if (!condition)
        __builtin_trap();
}

// Terrain rows of a land and a water kind and the older format's rows that
// match them, one without a match and one whose key is out of range.
void SetUpTables() {
    for (int32_t row : {3, 7}) {
        TerrainRow* terrain = TerrainTable::GetOrCreateRow(row);
        terrain->TerrainType = 1;
        terrain->TerrainMixtureTyp = 2;
        terrain->BaseType = 3;
    }
    *TerrainSB2Table::GetOrCreateRow(0) = {1, 2, 3};
    *TerrainSB2Table::GetOrCreateRow(1) = {2, 9, 9};
    *TerrainSB2Table::GetOrCreateRow(2) = {3, 0, 0};
    *TerrainSB2Table::GetOrCreateRow(3) = {1, 200, 0};
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool setUp =
        (SetGameLogSink([](const std::string&) {}), plat::Clock::UseFake(0), SetUpTables(), true);
    (void)setUp;
    static FuzzScratch scratch;
    static WorldModelHooks world;
    // Large maps take long to build and tell nothing new: the size block
    // is kept within 64 x 64 tiles.
    if (size >= kSiblingHeaderSize) {
        const uint32_t at = plat::LoadLE32(data + kSiblingSizeBlockField);
        if (at <= size && size - at >= 8 &&
            (plat::LoadLE32(data + at) > 128 || plat::LoadLE32(data + at + 4) > 128))
            return 0;
    }
    const std::string path = scratch.Write("map.sb2", data, size);
    Game game;
    ConnectWorldModel(game, world);
    StartGame(game, 3);
    NewGameInit(game, 8, 8);
    std::vector<uint8_t> before;
    Check(SaveGameToMemory(game, before));
    if (ImportSiblingMap(game, path)) {
        Check(GetWorldMap().GetWidth() >= 2 && GetWorldMap().GetWidth() <= 64);
        return 0;
    }
    std::vector<uint8_t> after;
    Check(SaveGameToMemory(game, after));
    Check(after == before);
    return 0;
}
