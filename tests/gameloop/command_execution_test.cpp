#include "gameloop/game_log.h"
#include "gameloop/new_game.h"
#include "gameloop/route_commands.h"
#include "gameloop/saved_game.h"
#include "gameloop/world_model.h"
#include "platform/clock.h"
#include "platform/endian.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// A game on the world model whose session is stopped, so that a frame only
// drains the received messages and the world changes by commands alone.
struct CommandExecution : testing::Test {
    CommandExecution() {
        previous = SetGameLogSink([this](const std::string& line) { log.push_back(line); });
        plat::Clock::UseFake(0);
        ConnectWorldModel(game, world);
        StartGame(game, 5);
        for (int i = 0; i < 200; ++i) {
            game.AdvanceFrame(25);
            game.Step();
        }
        game.Session().StopSession();
        log.clear();
    }
    ~CommandExecution() override {
        SetGameLogSink(previous);
        plat::Clock::UseReal();
    }
    std::vector<uint8_t> Bytes() {
        std::vector<uint8_t> bytes;
        EXPECT_TRUE(SaveGameToMemory(game, bytes));
        return bytes;
    }
    // Frames until the queue is empty (each dropped message ends a drain).
    void DrainAll() {
        for (int i = 0; i < 100 && game.Session().QueuedMessages() > 0; ++i)
            game.Step();
        EXPECT_EQ(game.Session().QueuedMessages(), 0u);
    }

    WorldModelHooks world;
    Game game;
    std::vector<std::string> log;
    GameLogSink previous;
};

std::vector<uint8_t> Message(uint16_t type, uint8_t player, size_t payload, uint32_t kind = 0) {
    std::vector<uint8_t> m(8 + payload);
    plat::StoreLE32(m.data(), kind);
    m[4] = player;
    plat::StoreLE16(m.data() + 6, type);
    return m;
}

// Commands of parts of the world that are not built yet travel the whole
// way, are refused with a line naming them, and leave the world alone. A
// command whose part gets built leaves this loop for tests of its own.
TEST_F(CommandExecution, CommandsOfUnbuiltPartsAreRefusedAndChangeNothing) {
    std::vector<uint8_t> before = Bytes();
    for (uint16_t type = 1; type <= kLastCommandTypeId; ++type) {
        std::unique_ptr<GameCommand> command = CreateGameCommand(type);
        // Sprite cells act on the world model alone, and 34 has nothing to
        // rebuild (both tested on their own).
        if (!command || type == GameCommand37::kTypeId || type == 34)
            continue;
        SCOPED_TRACE(type);
        log.clear();
        ASSERT_TRUE(game.Post(*command));
        game.Step();
        EXPECT_EQ(game.Session().QueuedMessages(), 0u);
        ASSERT_EQ(log.size(), 1u);
        EXPECT_NE(log[0].find(command->Name()), std::string::npos) << log[0];
    }
    EXPECT_EQ(Bytes(), before);
}

// The route-record rebuild after removals finds no cache to rebuild: it is
// executed quietly and changes nothing.
TEST_F(CommandExecution, RouteRecordRebuildChangesNothing) {
    std::vector<uint8_t> before = Bytes();
    log.clear();
    ASSERT_TRUE(game.Post(GameCommand34()));
    game.Step();
    EXPECT_EQ(game.Session().QueuedMessages(), 0u);
    EXPECT_TRUE(log.empty());
    EXPECT_EQ(Bytes(), before);
}

TEST_F(CommandExecution, MalformedMessagesAreDroppedWithALineEachAndChangeNothing) {
    std::vector<uint8_t> before = Bytes();
    std::vector<std::vector<uint8_t>> messages = {
        {0, 0, 0, 0, 0},       // shorter than a header
        Message(3, 0, 4, 1),   // not a command message
        Message(0, 0, 0),      // type 0
        Message(12, 0, 296),   // the consistency check
        Message(44, 0, 0),     // past the last type
        Message(0xFFFF, 0, 0), // far past it
        Message(3, 5, 4),      // player byte 5
        Message(3, 2, 4),      // an empty company slot
        Message(2, 0, 23),     // a station payload short by one
        Message(2, 0, 25),     // and long by one
        Message(5, 0, 3),      // a schedule without its vehicle id
    };
    for (const std::vector<uint8_t>& m : messages)
        ASSERT_TRUE(game.Session().SendBytes(m.data(), uint32_t(m.size())));
    DrainAll();
    EXPECT_EQ(log.size(), messages.size());
    EXPECT_EQ(Bytes(), before);
}

} // namespace
