#include "gameloop/game_log.h"
#include "gameloop/session.h"
#include "gameloop/station_commands.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

struct Slots : PlayerSlots {
    bool IsOccupied(uint8_t slot) const override { return slot == 0 || slot == 4; }
};

struct QuietLog {
    QuietLog() {
        previous = SetGameLogSink([this](const std::string&) { ++lines; });
    }
    ~QuietLog() { SetGameLogSink(previous); }
    int lines = 0;
    GameLogSink previous;
};

TEST(LocalSession, HandsBackEachMessageByteForByteInOrder) {
    LocalSession session;
    std::vector<uint8_t> first = {0, 0, 0, 0, 1, 0, 3, 0, 9, 9, 9, 9};
    std::vector<uint8_t> second(8, 0);
    ASSERT_TRUE(session.SendBytes(first.data(), uint32_t(first.size())));
    ASSERT_TRUE(session.SendBytes(second.data(), uint32_t(second.size())));
    std::vector<uint8_t> buffer(kMaxGameMessageSize);
    uint32_t size = 0;
    ASSERT_EQ(session.ReceiveMessage(buffer.data(), uint32_t(buffer.size()), size), ReceiveCode::Message);
    EXPECT_EQ(std::vector<uint8_t>(buffer.begin(), buffer.begin() + size), first);
    ASSERT_EQ(session.ReceiveMessage(buffer.data(), 7, size), ReceiveCode::TooLarge);
    ASSERT_EQ(session.ReceiveMessage(buffer.data(), 8, size), ReceiveCode::Message);
    EXPECT_EQ(size, 8u);
    EXPECT_EQ(session.ReceiveMessage(buffer.data(), 8, size), ReceiveCode::Empty);
}

TEST(LocalSession, PostedCommandComesBackAsTheSameCommand) {
    LocalSession session;
    Slots slots;
    BuildStationCommand command(10, 20, 1, 3, 0, 0);
    command.SetPlayerId(0);
    EXPECT_TRUE(PostGameCommand(session, command));
    EXPECT_TRUE(PostGameCommand(session, command));
    for (int i = 0; i < 2; ++i) {
        auto back = session.NextReceivedCommand(slots);
        ASSERT_TRUE(back);
        auto& station = static_cast<BuildStationCommand&>(*back);
        EXPECT_EQ(station.x, 10u);
        EXPECT_EQ(station.y, 20u);
        EXPECT_EQ(station.kind, 3u);
    }
    EXPECT_FALSE(session.NextReceivedCommand(slots));
}

TEST(LocalSession, OversizeMessagesNeitherEnterNorBlockTheQueue) {
    QuietLog log;
    LocalSession session;
    Slots slots;
    std::vector<uint8_t> huge(kMaxGameMessageSize + 1);
    EXPECT_FALSE(session.SendBytes(huge.data(), uint32_t(huge.size())));
    EXPECT_EQ(session.QueuedMessages(), 0u);
    EXPECT_FALSE(session.SendGameMessage(0, 3, huge.data(), kMaxPayloadSize + 1));
    EXPECT_EQ(session.QueuedMessages(), 0u);
}

TEST(LocalSession, DroppedMessageEndsTheDrainButNotTheQueue) {
    QuietLog log;
    LocalSession session;
    Slots slots;
    DemolishStationCommand command(5);
    command.SetPlayerId(3); // an empty slot
    ASSERT_TRUE(PostGameCommand(session, command));
    command.SetPlayerId(0);
    ASSERT_TRUE(PostGameCommand(session, command));
    EXPECT_FALSE(session.NextReceivedCommand(slots));
    EXPECT_EQ(log.lines, 1);
    auto next = session.NextReceivedCommand(slots);
    ASSERT_TRUE(next);
    EXPECT_EQ(next->GetPlayerId(), 0);
}

TEST(LocalSession, RunsTicksAndDateStepsOnlyWhileRunning) {
    LocalSession session;
    EXPECT_FALSE(session.CanRunTick());
    EXPECT_FALSE(session.IsDateStepDue(1000));
    EXPECT_TRUE(session.GetTickRan());
    session.StartSession();
    EXPECT_FALSE(session.GetTickRan());
    EXPECT_TRUE(session.CanRunTick());
    EXPECT_TRUE(session.GetTickRan());
    session.EndTick(75);
    EXPECT_EQ(session.GetTickCounter(), 2u);
    EXPECT_EQ(session.GetLastTickTime(), 75u);
    session.StopSession();
    EXPECT_FALSE(session.CanRunTick());
}

TEST(LocalSession, AClockJumpOf350MsGivesThreeDateSteps) {
    LocalSession session;
    session.StartSession();
    int steps = 0;
    while (session.IsDateStepDue(350)) {
        session.AdvanceDateStep();
        ++steps;
    }
    EXPECT_EQ(steps, 3);
    EXPECT_EQ(session.GetLastDateStep(), 300u);
}

TEST(NetSession, DropsPostedCommandsBeforeItsGameStarts) {
    NetSession session;
    EXPECT_FALSE(PostGameCommand(session, DemolishStationCommand(1)));
}

} // namespace
