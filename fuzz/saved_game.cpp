// Loads arbitrary bytes as a whole saved game into a running game, once as
// they are and once with the checksum made to fit, so that the sections'
// loaders see damaged content. A load either succeeds or leaves the running
// game exactly as it was.
#include "gameloop/saved_game.h"
#include "files/crc32.h"
#include "gameloop/game.h"
#include "gameloop/game_log.h"
#include "gameloop/new_game.h"
#include "gameloop/world_model.h"
#include "platform/clock.h"
#include "platform/endian.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace {

void Check(bool condition) {
    if (!condition)
        __builtin_trap();
}

void LoadInto(std::span<const uint8_t> bytes) {
    // The world model's parts live once per process, like the game's.
    static WorldModelHooks world;
    Game game;
    ConnectWorldModel(game, world);
    StartGame(game, 77);
    // A small map keeps each run short; the loaded file brings its own size.
    NewGameInit(game, 16, 16);
    game.Goals().Add({GoalState::Open, GoalKind::Money, 5});
    std::vector<uint8_t> before;
    Check(SaveGameToMemory(game, before));
    if (LoadGameFromMemory(game, bytes))
        return;
    std::vector<uint8_t> after;
    Check(SaveGameToMemory(game, after));
    Check(after == before);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The game clock stands still between the saves before and after a
    // load, as it does in a headless game; on the real clock their times
    // would differ by however long the load took.
    static bool setUp = (SetGameLogSink([](const std::string&) {}), plat::Clock::UseFake(0), true);
    (void)setUp;
    std::vector<uint8_t> bytes(data, data + size);
    LoadInto(bytes);
    // The checksum behind the header's text, made to fit the sections.
    if (bytes.size() >= 8) {
        uint32_t head = plat::LoadLE32(bytes.data() + 4);
        if (head >= 16 && head <= bytes.size()) {
            plat::StoreLE32(bytes.data() + head - 4, Crc32(std::span<const uint8_t>(bytes).subspan(head)));
            LoadInto(bytes);
        }
    }
    return 0;
}
