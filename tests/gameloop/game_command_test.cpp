#include "gameloop/game_command.h"
#include "gameloop/game_log.h"
#include "gameloop/route_commands.h"
#include "gameloop/station_commands.h"
#include "gameloop/vehicle_commands.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

struct AllSlots : PlayerSlots {
    bool IsOccupied(uint8_t slot) const override { return slot != 2; }
};

// Collects log lines for the test's lifetime.
struct LogCapture {
    LogCapture() {
        previous = SetGameLogSink([this](const std::string& line) { lines.push_back(line); });
    }
    ~LogCapture() { SetGameLogSink(previous); }
    std::vector<std::string> lines;
    GameLogSink previous;
};

std::vector<uint8_t> Message(uint16_t type, uint8_t player, const std::vector<uint8_t>& payload,
                             uint32_t kind = 0) {
    std::vector<uint8_t> m(8 + payload.size());
    for (int i = 0; i < 4; ++i)
        m[i] = uint8_t(kind >> (8 * i));
    m[4] = player;
    m[5] = 0xEE;
    m[6] = uint8_t(type);
    m[7] = uint8_t(type >> 8);
    std::copy(payload.begin(), payload.end(), m.begin() + 8);
    return m;
}

// The payload size of every type id, as the message layout fixes it.
uint32_t PayloadSize(uint16_t type) {
    switch (type) {
    case 3:
    case 29:
    case 36:
    case 39:
        return 4;
    case 6:
    case 23:
    case 24:
    case 30:
    case 33:
    case 35:
    case 38:
    case 41:
    case 43:
        return 8;
    case 20:
    case 21:
    case 31:
        return 12;
    case 4:
    case 8:
    case 22:
    case 28:
    case 37:
        return 16;
    case 1:
    case 7:
    case 32:
    case 40:
    case 42:
        return 20;
    case 2:
    case 25:
    case 26:
    case 27:
        return 24;
    case 34:
        return 0;
    case 5:
        return 4 + 9; // a vehicle id and a schedule record of 9 bytes
    }
    return 0;
}

bool HasCommand(uint16_t type) {
    return type >= 1 && type <= 43 && !(type >= 9 && type <= 19);
}

TEST(GameCommandFactory, KnowsExactlyTheTypeIdsOneToFortyThree) {
    for (uint32_t type = 0; type <= 0xFFFF; ++type) {
        std::unique_ptr<GameCommand> command = CreateGameCommand(uint16_t(type));
        ASSERT_EQ(command != nullptr, HasCommand(uint16_t(type))) << type;
        if (command) {
            EXPECT_EQ(command->GetTypeId(), type);
        }
    }
}

// Every command's message survives decoding and encoding byte for byte,
// except its padding, which is written as zeros whatever came in.
TEST(GameCommandFactory, EveryTypeRoundTripsItsMessage) {
    AllSlots players;
    for (uint16_t type = 1; type <= 43; ++type) {
        if (!HasCommand(type))
            continue;
        SCOPED_TRACE(type);
        std::vector<uint8_t> ones(PayloadSize(type), 0xFF);
        std::vector<uint8_t> zeroedPadding;
        std::unique_ptr<GameCommand> probe =
            CommandFromMessage(Message(type, 1, ones).data(), uint32_t(8 + ones.size()), players);
        ASSERT_TRUE(probe);
        ASSERT_TRUE(EncodeGameMessage(*probe, zeroedPadding));

        std::vector<uint8_t> payload(PayloadSize(type));
        for (size_t i = 0; i < payload.size(); ++i)
            payload[i] = uint8_t(i * 37 + type);
        std::vector<uint8_t> sent = Message(type, 3, payload);
        std::unique_ptr<GameCommand> command =
            CommandFromMessage(sent.data(), uint32_t(sent.size()), players);
        ASSERT_TRUE(command);
        EXPECT_EQ(command->GetPlayerId(), 3);
        std::vector<uint8_t> again;
        ASSERT_TRUE(EncodeGameMessage(*command, again));
        ASSERT_EQ(again.size(), sent.size());
        sent[5] = 0; // the spare byte is written as 0
        for (size_t i = 8; i < sent.size(); ++i)
            if (zeroedPadding[i] == 0)
                sent[i] = 0;
        EXPECT_EQ(again, sent);
    }
}

TEST(GameCommandPayload, FieldsLieAtTheirOffsetsLittleEndian) {
    std::vector<uint8_t> m;
    ASSERT_TRUE(EncodeGameMessage(BuildStationCommand26(0x01020304, 7, 3, 0x0A0B, 1, 900), m));
    EXPECT_EQ(m, (std::vector<uint8_t>{0,    0,    0, 0,    LocalPlayerSlot(),
                                       0,    26,   0, 4,    3,
                                       2,    1,    7, 0,    0,
                                       0,    3,    0, 0,    0,
                                       0x0B, 0x0A, 0, 0,    1,
                                       0,    0,    0, 0x84, 3,
                                       0,    0}));

    ASSERT_TRUE(EncodeGameMessage(TrackRouteCommand(-2, 5, 300, -1, 9, 1, 0x12345678), m));
    EXPECT_EQ(std::vector<uint8_t>(m.begin() + 8, m.end()),
              (std::vector<uint8_t>{0xFE, 0xFF, 5, 0, 0x2C, 1, 0xFF, 0xFF, 9,    0,
                                    0,    0,    1, 0, 0,    0, 0x78, 0x56, 0x34, 0x12}));

    ASSERT_TRUE(EncodeGameMessage(BuyVehicleCommand(5, 6, -1, 8), m));
    EXPECT_EQ(std::vector<uint8_t>(m.begin() + 8, m.end()),
              (std::vector<uint8_t>{5, 0, 0, 0, 6, 0, 0, 0, 8, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF}));

    ASSERT_TRUE(EncodeGameMessage(GameCommand34(), m));
    EXPECT_EQ(m.size(), 8u);
}

TEST(GameCommandPayload, ScheduleCarriesItsRecordAsItCame) {
    AllSlots players;
    std::vector<uint8_t> sent = Message(5, 0, {9, 0, 0, 0, 1, 2, 3});
    auto command = CommandFromMessage(sent.data(), uint32_t(sent.size()), players);
    ASSERT_TRUE(command);
    auto& schedule = static_cast<SetScheduleCommand&>(*command);
    EXPECT_EQ(schedule.vehicleId, 9u);
    EXPECT_EQ(schedule.schedule, (std::vector<uint8_t>{1, 2, 3}));
}

TEST(GameCommandMessage, MalformedMessagesAreDroppedWithALogLine) {
    AllSlots players;
    struct Case {
        const char* name;
        std::vector<uint8_t> message;
    } cases[] = {
        {"header cut short", {0, 0, 0, 0, 0, 0, 3}},
        {"type 0", Message(0, 0, {})},
        {"type 12", Message(12, 0, std::vector<uint8_t>(296))},
        {"type 44", Message(44, 0, {})},
        {"payload short by one", Message(2, 0, std::vector<uint8_t>(23))},
        {"payload long by one", Message(3, 0, std::vector<uint8_t>(5))},
        {"schedule without its vehicle id", Message(5, 0, {1, 2, 3})},
        {"player byte 5", Message(3, 5, std::vector<uint8_t>(4))},
        {"player byte 255", Message(3, 255, std::vector<uint8_t>(4))},
        {"empty company slot", Message(3, 2, std::vector<uint8_t>(4))},
        {"not a command message", Message(3, 0, std::vector<uint8_t>(4), 1)},
        {"larger than a message may be", Message(34, 0, std::vector<uint8_t>(kMaxPayloadSize + 1))},
    };
    for (const Case& c : cases) {
        LogCapture log;
        EXPECT_EQ(CommandFromMessage(c.message.data(), uint32_t(c.message.size()), players), nullptr)
            << c.name;
        EXPECT_EQ(log.lines.size(), 1u) << c.name;
    }
}

TEST(GameCommandMessage, NoPayloadCommandAcceptsAnyBytes) {
    AllSlots players;
    std::vector<uint8_t> m = Message(34, 4, {1, 2, 3});
    auto command = CommandFromMessage(m.data(), uint32_t(m.size()), players);
    ASSERT_TRUE(command);
    EXPECT_EQ(command->GetPlayerId(), 4);
}

TEST(GameCommandMessage, TooLargeAPayloadIsNotEncoded) {
    SetScheduleCommand command(1, std::vector<uint8_t>(kMaxPayloadSize - 4));
    std::vector<uint8_t> m;
    EXPECT_TRUE(EncodeGameMessage(command, m));
    EXPECT_EQ(m.size(), kMaxGameMessageSize);
    command.schedule.push_back(0);
    EXPECT_FALSE(EncodeGameMessage(command, m));
}

TEST(GameCommand, CarriesTheLocalPlayerOrTheNeutralOne) {
    SetLocalPlayerSlot(2);
    EXPECT_EQ(DemolishStationCommand(1).GetPlayerId(), 2);
    SetLocalPlayerSlot(9);
    EXPECT_EQ(DemolishStationCommand(1).GetPlayerId(), kNeutralPlayerSlot);
    SetLocalPlayerSlot(0);
}

} // namespace
