#include "gameloop/game.h"
#include "gameloop/game_log.h"
#include "gameloop/new_game.h"
#include "gameloop/station_commands.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

// Records the world's steps in the order the loop calls them.
struct Recorder : WorldHooks {
    std::vector<std::string> calls;
    void UpdateCities(uint32_t t) override { calls.push_back("towns " + std::to_string(t)); }
    void UpdateMovingObjects(uint32_t) override { calls.push_back("vehicles"); }
    void ResolveDeadlocks() override { calls.push_back("deadlocks"); }
    void BroadcastMonthChange() override { calls.push_back("month"); }
    void BroadcastTimeUpdate(uint32_t t) override { calls.push_back("production " + std::to_string(t)); }
    void UpdatePlayers() override { calls.push_back("players"); }
    void YearlyUpdates() override { calls.push_back("year"); }
    void AddNews(uint32_t kind) override { calls.push_back("news " + std::to_string(kind)); }

    int Count(const std::string& prefix) const {
        int n = 0;
        for (const std::string& c : calls)
            n += c.compare(0, prefix.size(), prefix) == 0;
        return n;
    }
};

struct GameLoop : testing::Test {
    GameLoop() {
        previous = SetGameLogSink([](const std::string&) {});
        game.SetWorldHooks(&world);
        StartGame(game, 0);
    }
    ~GameLoop() override { SetGameLogSink(previous); }
    FrameClock& Clock() { return *game.GetFrameClock(); }

    Recorder world;
    Game game;
    GameLogSink previous;
};

TEST(GameRandomTest, FollowsItsSequence) {
    GameRandomStream random;
    random.SetSeed(0);
    EXPECT_EQ(random.Next(), 1013904223u);
    EXPECT_EQ(random.Next(), 1196435762u);
    EXPECT_EQ(random.State(), 1196435762u);
}

TEST_F(GameLoop, NothingRunsBeforeAGameIsStarted) {
    Game idle;
    idle.SetWorldHooks(&world);
    idle.Session().StartSession();
    idle.GetFrameClock()->Advance(1000);
    idle.Step();
    EXPECT_TRUE(world.calls.empty());
}

TEST_F(GameLoop, ALocalGameRunsOneTickPerFrame) {
    for (int frame = 0; frame < 5; ++frame) {
        Clock().Advance(25);
        game.Step();
    }
    EXPECT_EQ(world.Count("vehicles"), 5);
    EXPECT_EQ(game.Session().GetTickCounter(), 6u);
}

TEST_F(GameLoop, TownsCatchUpInStepsOf200AndProductionRunsOnce) {
    Clock().Advance(1000);
    game.Step();
    EXPECT_EQ(world.Count("towns 1000"), 4);
    EXPECT_EQ(game.Times().lastTownUpdate, 800u);
    EXPECT_EQ(world.Count("production"), 1);
    EXPECT_EQ(world.Count("deadlocks"), 0); // 1000 is not past 0 + 1000
    Clock().Advance(1);
    game.Step();
    EXPECT_EQ(world.Count("deadlocks"), 1);
}

TEST_F(GameLoop, APausedClockStopsTheCompaniesButNotTheCalendar) {
    Clock().Advance(300);
    Clock().SetSpeed(0.0f);
    game.Step();
    EXPECT_EQ(world.Count("players"), 0);
    EXPECT_EQ(Clock().GetTickCount(), 3u);
}

TEST_F(GameLoop, AYearsEndRunsTheMonthChangeBeforeTheTickAndTheYearAfter) {
    Clock().SetTickCount(kCalendarTicksPerYear - 1);
    Clock().Advance(100);
    game.Step();
    auto month = std::find(world.calls.begin(), world.calls.end(), "month");
    auto year = std::find(world.calls.begin(), world.calls.end(), "year");
    ASSERT_NE(month, world.calls.end());
    ASSERT_NE(year, world.calls.end());
    EXPECT_LT(month, year);
    EXPECT_EQ(Clock().GetCurrentYear(), 1851u);
}

TEST_F(GameLoop, CommandsPostedDuringAFrameRunAtTheNextUpdate) {
    game.Post(DemolishStationCommand(1));
    EXPECT_EQ(static_cast<LocalSession&>(game.Session()).QueuedMessages(), 1u);
    Clock().Advance(25);
    game.Step();
    EXPECT_EQ(static_cast<LocalSession&>(game.Session()).QueuedMessages(), 0u);
}

TEST_F(GameLoop, AStoppedSessionRunsNoTickButStillExecutesCommands) {
    game.Session().StopSession();
    game.Post(DemolishStationCommand(1));
    Clock().Advance(500);
    game.Step();
    EXPECT_EQ(world.Count("vehicles"), 0);
    EXPECT_EQ(Clock().GetTickCount(), 0u);
    EXPECT_EQ(static_cast<LocalSession&>(game.Session()).QueuedMessages(), 0u);
}

TEST_F(GameLoop, ADecidedMissionAddsItsNewsOnce) {
    ASSERT_TRUE(game.Goals().Add({GoalState::Open, GoalKind::Deadline, 1900}));
    Clock().Advance(200);
    game.Step();
    EXPECT_TRUE(game.Goals().Decided());
    EXPECT_EQ(world.Count("news 6"), 1);
}

TEST_F(GameLoop, NewGameIsAnEmpty256MapWithAFreshClock) {
    Clock().Advance(5000);
    game.Step();
    game.SetStarted(false);
    StartGame(game, 7);
    EXPECT_TRUE(game.IsStarted());
    EXPECT_EQ(game.MapWidth(), 256u);
    EXPECT_EQ(game.MapHeight(), 256u);
    EXPECT_EQ(game.Clock().GetTime(), 0u);
    EXPECT_EQ(game.Random().State(), 7u);
    EXPECT_FALSE(game.Session().IsNetworkGame());
    // A second start while the game runs changes nothing.
    StartGame(game, 9);
    EXPECT_EQ(game.Random().State(), 7u);
}

TEST(GameTexts, AreReadFromTheDataFolder) {
    auto quiet = SetGameLogSink([](const std::string&) {});
    EXPECT_TRUE(LoadGameTexts("gamedata", true));
    EXPECT_FALSE(LoadGameTexts("tests/no-such-folder", false));
    SetGameLogSink(quiet);
}

} // namespace

// Each game holds its own world current while it lives; the latest made is
// current, and games may end in any order.
TEST(GameWorlds, TheLatestLivingGamesWorldIsCurrent) {
    World* before = &CurrentWorld();
    auto first = std::make_unique<Game>();
    auto second = std::make_unique<Game>();
    EXPECT_EQ(&CurrentWorld(), &second->GetWorld());
    first.reset();
    EXPECT_EQ(&CurrentWorld(), &second->GetWorld());
    first = std::make_unique<Game>();
    EXPECT_EQ(&CurrentWorld(), &first->GetWorld());
    first.reset();
    EXPECT_EQ(&CurrentWorld(), &second->GetWorld());
    second.reset();
    EXPECT_EQ(&CurrentWorld(), before);
}
