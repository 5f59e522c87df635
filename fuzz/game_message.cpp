// Rebuilds arbitrary bytes as a game message and runs the command, as the
// world's drain does. A message either yields no command or one whose
// encoding decodes to itself; nothing is read outside the message.
#include "gameloop/game.h"
#include "gameloop/game_command.h"
#include "gameloop/game_log.h"
#include "gameloop/new_game.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace {

void Check(bool condition) {
    if (!condition)
        __builtin_trap();
}

Game& TheGame() {
    static Game* game = [] {
        SetGameLogSink([](const std::string&) {});
        auto* g = new Game;
        StartGame(*g, 1);
        return g;
    }();
    return *game;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Game& game = TheGame();
    // An exact copy, so that reading past the message is caught.
    std::vector<uint8_t> message(data, data + size);
    std::unique_ptr<GameCommand> command = CommandFromMessage(message.data(), uint32_t(size), game);
    if (size > kMaxGameMessageSize)
        Check(!command);
    if (!command)
        return 0;
    std::vector<uint8_t> encoded;
    Check(EncodeGameMessage(*command, encoded));
    std::unique_ptr<GameCommand> again = CommandFromMessage(encoded.data(), uint32_t(encoded.size()), game);
    Check(again != nullptr);
    std::vector<uint8_t> reencoded;
    Check(EncodeGameMessage(*again, reencoded) && reencoded == encoded);
    command->Execute(game);
    return 0;
}
