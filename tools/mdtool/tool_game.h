// A game on the world model with towns and factories for the tool's
// commands, its time moved only by the tool, and the test that tells a
// saved game from a world file.
#pragma once

#include "economy/town_services.h"
#include "files/chunk_stream.h"
#include "files/packed_save.h"
#include "gameloop/game.h"
#include "gameloop/saved_game.h"
#include "gameloop/world_model.h"
#include "platform/clock.h"
#include "platform/endian.h"
#include "platform/file.h"

#include <cstdint>
#include <string>
#include <vector>

namespace mdtool {

struct ToolGame {
    Game game;
    TownWorldHooks world;

    ToolGame() {
        plat::Clock::UseFake(0);
        ConnectWorldModel(game, world);
        InstallTownsAndIndustry(game);
    }
    ~ToolGame() { UninstallTownsAndIndustry(); }
    ToolGame(const ToolGame&) = delete;
    ToolGame& operator=(const ToolGame&) = delete;
};

// Whether the plain chunk file at path is laid out as a saved game (its
// first sections "time" and then "mmap", which a world file lacks) rather
// than as a world file.
inline bool LooksLikeSavedGame(const std::string& path) {
    std::vector<uint8_t> bytes;
    if (!plat::ReadWholeFile(path, bytes, kMaxSaveFileSize))
        return false;
    uint64_t at = 0;
    for (uint32_t expected : {kHeaderChunkTag, kSaveSectionTags[0], kSaveSectionTags[1]}) {
        if (bytes.size() < at + 8 || plat::LoadLE32(bytes.data() + at) != expected)
            return false;
        const uint32_t size = plat::LoadLE32(bytes.data() + at + 4);
        if (size < 8)
            return false;
        at += size;
    }
    return true;
}

} // namespace mdtool
