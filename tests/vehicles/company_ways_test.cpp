// The ways of a company that is bought or gives up, direction by direction:
// what the buyer takes, what goes to the neutral player, and which signals
// and spans go with them.
#include "data/database.h"
#include "gameloop/game.h"
#include "gameloop/new_game.h"
#include "gameloop/vehicle_commands.h"
#include "platform/clock.h"
#include "platform/file.h"
#include "tests/transport/route_network.h"
#include "transport/signals.h"
#include "vehicles/vehicle_services.h"
#include "world/bridge_span.h"
#include "world/object_manager.h"
#include "world/player.h"
#include "world/world_map.h"

#include <gtest/gtest.h>

#include <string>

namespace {

bool AllowPurchase(uint32_t, uint32_t, int64_t& price) {
    price = 0;
    return true;
}

struct CompanyWaysTest : testing::Test {
    static void SetUpTestSuite() {
        std::string text;
        ASSERT_TRUE(plat::ReadWholeFile("gamedata/config/MDConfig.gen", text));
        GetDatabase().Init();
        ASSERT_TRUE(GetDatabase().Read(text));
        ASSERT_TRUE(GetDatabase().ApplyAllTables(KindSelector::All));
    }

    CompanyWaysTest() {
        plat::Clock::UseFake(0);
        ConnectWorldModel(game, hooks);
        InstallVehicles(game);
        StartGame(game, 9);
        GetWorldMap().SetMapSizeNoReset(32, 32);
        computer = CreateAIPlayer(-1, 0);
        third = CreateAIPlayer(-1, 0);
        // An east-west track on row 5 and a road on row 9, each three
        // tiles long.
        RouteNetwork net;
        net.Run(1, 4, 5, 6, 5);
        net.Run(0, 4, 9, 6, 9);
        net.Apply();
    }
    ~CompanyWaysTest() override {
        SetCompanyPurchaseTest(nullptr);
        DeleteAllMapObjects();
    }

    static void Own(uint32_t x, uint32_t y, uint32_t mask, uint32_t slot) {
        GetWorldMap().SetEdgeHeights(x, y, int32_t(slot), mask);
    }
    static uint32_t Owned(uint32_t x, uint32_t y, uint32_t slot) {
        return GetWorldMap().GetEdgeHeightMatchMask(x, y, int32_t(slot));
    }

    // The track's middle tile is shared: its west half the human's, its
    // east half the computer's; the east tile and the whole road are the
    // computer's; the west tile is the third company's.
    void Share(uint32_t slot) {
        Own(4, 5, 2, GetPlayerIndex(third));
        Own(5, 5, 8, 0);
        Own(5, 5, 2, slot);
        Own(6, 5, 8, slot);
        for (uint32_t x = 4; x <= 6; ++x)
            Own(x, 9, 15, slot);
    }

    Game game;
    VehicleWorldHooks hooks;
    ComputerPlayerBase* computer = nullptr;
    ComputerPlayerBase* third = nullptr;
};

TEST_F(CompanyWaysTest, ABuyerTakesEveryDirectionOfTheBoughtCompanyAndNoOther) {
    ASSERT_NE(computer, nullptr);
    ASSERT_NE(third, nullptr);
    const uint32_t slot = GetPlayerIndex(computer);
    const uint32_t other = GetPlayerIndex(third);
    Share(slot);
    SetCompanyPurchaseTest(AllowPurchase);
    BuyPlayerCommand take(0, slot);
    game.Post(take);
    game.DrainCommands();
    ASSERT_EQ(GetPlayer(slot), nullptr);
    struct Case {
        uint32_t x, y;
        uint32_t buyer;    // directions the buyer owns after
        uint32_t thirdOwn; // directions the third company owns after
    };
    const Case cases[] = {
        {4, 5, 0, 2},                 // the third company's tile stays its own
        {5, 5, 10, 0},                // the shared tile: both halves the buyer's
        {6, 5, 8, 0},  {4, 9, 15, 0}, // the road
        {6, 9, 15, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Owned(c.x, c.y, 0), c.buyer) << c.x << "," << c.y;
        EXPECT_EQ(Owned(c.x, c.y, other), c.thirdOwn) << c.x << "," << c.y;
        EXPECT_EQ(Owned(c.x, c.y, slot), 0u) << c.x << "," << c.y;
    }
}

TEST_F(CompanyWaysTest, ACompanyThatGivesUpLeavesItsWaysToTheNeutralPlayerWithoutItsSignalsAndSpans) {
    ASSERT_NE(computer, nullptr);
    const uint32_t slot = GetPlayerIndex(computer);
    const uint32_t other = GetPlayerIndex(third);
    Share(slot);
    // Signals on the computer's east tile and on the third company's tile.
    Signal* gone = CreateSignal(6, 5, 0);
    Signal* kept = CreateSignal(4, 5, 0);
    ASSERT_NE(gone, nullptr);
    ASSERT_NE(kept, nullptr);
    const uint32_t keptId = kept->id;
    // A bridge of the computer's and one of the human's.
    ASSERT_NE(CreateBridgeSpan(10, 20, 12, 20, 1, int32_t(slot)), nullptr);
    ASSERT_NE(CreateBridgeSpan(10, 24, 12, 24, 1, 0), nullptr);
    GameCommand39 replace(slot);
    game.Post(replace);
    game.DrainCommands();
    ASSERT_NE(GetPlayer(slot), nullptr);
    const WorldMap& map = GetWorldMap();
    struct Case {
        uint32_t x, y;
        uint32_t neutral;
        uint32_t human;
        uint32_t thirdOwn;
        bool signal;
    };
    const Case cases[] = {
        {4, 5, 0, 0, 2, true},   // not the company's: its signal stays
        {5, 5, 2, 8, 0, false},  // the shared tile: only the company's half goes
        {6, 5, 8, 0, 0, false},  // the company's signal goes with its way
        {5, 9, 15, 0, 0, false}, // the road
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Owned(c.x, c.y, kNeutralOwner), c.neutral) << c.x << "," << c.y;
        EXPECT_EQ(Owned(c.x, c.y, 0), c.human) << c.x << "," << c.y;
        EXPECT_EQ(Owned(c.x, c.y, other), c.thirdOwn) << c.x << "," << c.y;
        EXPECT_EQ(map.GetRouteSignal(c.x, c.y) != 0, c.signal) << c.x << "," << c.y;
    }
    // The ways themselves stay on the map.
    EXPECT_EQ(map.GetTrackDirections(6, 5), 8u);
    EXPECT_EQ(map.GetRoadDirections(5, 9), 10u);
    EXPECT_NE(GetSignal(keptId), nullptr);
    std::vector<MapObject*> spans;
    GetMapObjects(spans, kSelectCategory, kCategorySpan, 0, 0);
    ASSERT_EQ(spans.size(), 1u);
    EXPECT_EQ(spans[0]->GetOwner(), 0);
}

} // namespace
