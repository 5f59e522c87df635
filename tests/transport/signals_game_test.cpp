#include "gameloop/game.h"
#include "gameloop/new_game.h"
#include "gameloop/saved_game.h"
#include "gameloop/world_model.h"
#include "platform/clock.h"
#include "transport/signals.h"
#include "world/world_map.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// A whole game keeps its signals across a save and a load, and saves the
// same bytes again.
TEST(SignalsInAGame, SavedLoadedAndSavedTheSame) {
    plat::Clock::UseFake(0);
    Game game;
    WorldModelHooks hooks;
    ConnectWorldModel(game, hooks);
    InstallSignals(game);
    StartGame(game, 77);
    {
        WorldScope scope(game.GetWorld());
        WorldMap& map = GetWorldMap();
        for (uint32_t x = 2; x < 12; ++x) {
            map.SetRouteKind(x, 6, 1);
            map.SetTrackDirections(x, 6, x == 2 ? 2 : x == 11 ? 8 : 10);
        }
        CreateSignal(4, 6, 0);
        CreateSignal(9, 6, 1);
        CreateSignal(10, 6, 0);
        DeleteSignal(2);
    }
    std::vector<uint8_t> saved;
    ASSERT_TRUE(SaveGameToMemory(game, saved));
    ASSERT_TRUE(LoadGameFromMemory(game, saved));
    {
        WorldScope scope(game.GetWorld());
        EXPECT_NE(GetSignal(1), nullptr);
        EXPECT_EQ(GetSignal(2), nullptr);
        ASSERT_NE(GetSignal(3), nullptr);
        EXPECT_EQ(GetSignal(3)->x, 10u);
        EXPECT_EQ(GetWorldMap().GetRouteSignal(10, 6), 3u);
        RefreshSignalsIfDirty();
        EXPECT_EQ(GetSignal(1)->directions[1].bounding, (std::vector<SignalLink>{{3, 3}}));
    }
    std::vector<uint8_t> again;
    ASSERT_TRUE(SaveGameToMemory(game, again));
    EXPECT_EQ(again, saved);
}

} // namespace
