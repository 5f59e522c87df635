// A game on the world model with towns and factories for the tool's
// commands, its time moved only by the tool, and the test that tells a
// saved game from a world file.
#pragma once

#include "economy/town_services.h"
#include "files/chunk_stream.h"
#include "files/packed_save.h"
#include "gameloop/game.h"
#include "gameloop/game_log.h"
#include "gameloop/new_game.h"
#include "gameloop/saved_game.h"
#include "gameloop/world_model.h"
#include "platform/clock.h"
#include "platform/endian.h"
#include "platform/file.h"
#include "tools/mdtool/command.h"
#include "view/view_sections.h"

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
        InstallViewSections(game);
    }
    ~ToolGame() {
        UninstallViewSections(game);
        UninstallTownsAndIndustry();
    }
    ToolGame(const ToolGame&) = delete;
    ToolGame& operator=(const ToolGame&) = delete;
};

// Loads a saved game into the tool's game; false, after one line saying
// why, when it cannot be loaded.
inline bool LoadSavedGame(ToolGame& tool, const std::string& path) {
    StartGame(tool.game, 0);
    std::string logged;
    GameLogSink previous = SetGameLogSink([&logged](const std::string& line) {
        if (logged.empty())
            logged = line;
    });
    const bool loaded = LoadGame(tool.game, path);
    SetGameLogSink(previous);
    if (!loaded)
        Fail(logged.empty() ? path + ": a saved game that cannot be loaded" : logged);
    return loaded;
}

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
