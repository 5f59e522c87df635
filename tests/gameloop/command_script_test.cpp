#include "gameloop/command_script.h"
#include "gameloop/route_commands.h"
#include "gameloop/vehicle_commands.h"

#include <gtest/gtest.h>

namespace {

TEST(CommandScript, ReadsCommandsByNameOrIdInTickOrder) {
    std::vector<ScriptedCommand> commands;
    std::string error;
    ASSERT_TRUE(ParseCommandScript("# a comment\n"
                                   "\n"
                                   "40 TrackRouteCommand -2 5 300 -1 9 0 0\n"
                                   "5 4 7 0 0 2\r\n"
                                   "5 GameCommand34\n"
                                   "6 SetScheduleCommand 9 1 2",
                                   commands, error))
        << error;
    ASSERT_EQ(commands.size(), 4u);
    EXPECT_EQ(commands[0].tick, 5u);
    EXPECT_EQ(commands[0].command->GetTypeId(), 4);
    EXPECT_EQ(static_cast<BuyVehicleCommand&>(*commands[0].command).count, 2);
    EXPECT_EQ(commands[1].command->GetTypeId(), 34);
    EXPECT_EQ(static_cast<SetScheduleCommand&>(*commands[2].command).schedule, (std::vector<uint8_t>{1, 2}));
    auto& route = static_cast<TrackRouteCommand&>(*commands[3].command);
    EXPECT_EQ(route.startX, -2);
    EXPECT_EQ(route.endY, -1);
}

TEST(CommandScript, ALineMayNameTheIssuingPlayer) {
    std::vector<ScriptedCommand> commands;
    std::string error;
    ASSERT_TRUE(
        ParseCommandScript("1 p2 BuyVehicleCommand 7 0 1 0\n2 BuyVehicleCommand 7 0 1 0", commands, error))
        << error;
    ASSERT_EQ(commands.size(), 2u);
    EXPECT_EQ(commands[0].command->GetPlayerId(), 2);
    EXPECT_EQ(commands[1].command->GetPlayerId(), LocalPlayerSlot());
    EXPECT_EQ(static_cast<BuyVehicleCommand&>(*commands[0].command).type, 7u);
}

TEST(CommandScript, RefusesBadLinesWithTheirNumber) {
    struct Case {
        const char* text;
        const char* error;
    } cases[] = {
        {"x 4 1 2 3 4", "line 1: a tick number is expected, not 'x'"},
        {"\n3", "line 2: the command is missing"},
        {"3 12", "line 1: '12' is not a command"},
        {"3 NoSuchCommand", "line 1: 'NoSuchCommand' is not a command"},
        {"3 DemolishStationCommand", "line 1: the fields do not fit DemolishStationCommand"},
        {"3 DemolishStationCommand 1 2", "line 1: the fields do not fit DemolishStationCommand"},
        {"3 DemolishStationCommand 4294967296", "line 1: the fields do not fit DemolishStationCommand"},
        {"3 TrackRouteCommand 40000 0 0 0 0 0 0", "line 1: the fields do not fit TrackRouteCommand"},
        {"3 DemolishStationCommand 1x", "line 1: '1x' is not a number"},
        {"3 GameCommand34 1", "line 1: the fields do not fit GameCommand34"},
        {"3 p5 GameCommand34", "line 1: 'p5' is not a player slot"},
        {"3 p-1 GameCommand34", "line 1: 'p-1' is not a player slot"},
        {"3 px GameCommand34", "line 1: 'px' is not a player slot"},
        {"3 p0", "line 1: the command is missing"},
        {"3 SetScheduleCommand 1 256", "line 1: the fields do not fit SetScheduleCommand"},
        // Words are shown escaped and cut, whatever the file holds.
        {"3 \x01\xFFmd\\x", "line 1: '\\x01\\xFFmd\\x5Cx' is not a command"},
        {"\x1B[2J 4", "line 1: a tick number is expected, not '\\x1B[2J'"},
    };
    for (const Case& c : cases) {
        std::vector<ScriptedCommand> commands(1);
        std::string error;
        EXPECT_FALSE(ParseCommandScript(c.text, commands, error)) << c.text;
        EXPECT_EQ(error, c.error);
        EXPECT_EQ(commands.size(), 1u);
    }
    // A megabyte of one word is cut to a line.
    std::vector<ScriptedCommand> commands;
    std::string error;
    EXPECT_FALSE(ParseCommandScript("3 " + std::string(1 << 20, 'A'), commands, error));
    EXPECT_EQ(error, "line 1: '" + std::string(40, 'A') + "'... (1048576 bytes) is not a command");
}

} // namespace
