// Loads arbitrary bytes, written to a file, as a plain saved game into a
// running game: the path a player's load takes, which checks the file and
// then reads it a piece at a time. The checksum is made to fit too, so
// that the sections' loaders see damaged content. A load either succeeds
// or leaves the running game exactly as it was.
#include "files/crc32.h"
#include "gameloop/game.h"
#include "gameloop/game_log.h"
#include "gameloop/new_game.h"
#include "gameloop/saved_game.h"
#include "gameloop/world_model.h"
#include "platform/clock.h"
#include "platform/endian.h"
#include "scratch_file.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace {

void Check(bool condition) {
    if (!condition)
        __builtin_trap();
}

void LoadFrom(FuzzScratch& scratch, const std::vector<uint8_t>& bytes) {
    static WorldModelHooks world;
    const std::string path = scratch.Write("game.mds", bytes.data(), bytes.size());
    Game game;
    ConnectWorldModel(game, world);
    StartGame(game, 77);
    NewGameInit(game, 16, 16);
    std::vector<uint8_t> before;
    Check(SaveGameToMemory(game, before));
    if (LoadGame(game, path))
        return;
    std::vector<uint8_t> after;
    Check(SaveGameToMemory(game, after));
    Check(after == before);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static bool setUp = (SetGameLogSink([](const std::string&) {}), plat::Clock::UseFake(0), true);
    (void)setUp;
    static FuzzScratch scratch;
    std::vector<uint8_t> bytes(data, data + size);
    LoadFrom(scratch, bytes);
    if (bytes.size() >= 8) {
        uint32_t head = plat::LoadLE32(bytes.data() + 4);
        if (head >= 16 && head <= bytes.size()) {
            plat::StoreLE32(bytes.data() + head - 4, Crc32(std::span<const uint8_t>(bytes).subspan(head)));
            LoadFrom(scratch, bytes);
        }
    }
    return 0;
}
