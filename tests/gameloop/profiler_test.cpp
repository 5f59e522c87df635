#include "gameloop/game.h"
#include "gameloop/new_game.h"
#include "gameloop/profiler.h"
#include "platform/clock.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace {

std::string Figures(const char* name, uint32_t frame, uint32_t average, uint32_t maximum, uint32_t share) {
    char text[96];
    std::snprintf(text, sizeof text, "%s %06u/%06u/%06u/%03u%%", name, frame, average, maximum, share);
    return text;
}

// Adds ms milliseconds to a bucket (as if its stretch had begun that long ago).
void Spend(Profiler& profiler, ProfileBucket bucket, uint64_t ms) {
    profiler.AddSince(bucket, plat::Clock::Timestamp() - ms * 1'000'000);
}

TEST(Profiler, FramesAddUpPerBucketAndReportPerPeriod) {
    Profiler profiler;
    // Two stretches of one bucket in one frame add up.
    Spend(profiler, ProfileBucket::CityG, 200);
    Spend(profiler, ProfileBucket::CityG, 100);
    uint32_t first = profiler.Counter(ProfileBucket::CityG);
    EXPECT_GE(first, 300000u);
    EXPECT_LT(first, 400000u);
    // Half a second after the start: the period goes on.
    profiler.Report(500'000'000);
    EXPECT_EQ(profiler.StatsLines()[0],
              Figures("StateChange", 0, 0, 0, 0) + " " + Figures("CityG", first, 0, first, 0));
    profiler.ClearCounters();
    EXPECT_EQ(profiler.Counter(ProfileBucket::CityG), 0u);

    Spend(profiler, ProfileBucket::CityG, 500);
    Spend(profiler, ProfileBucket::Players, 40);
    uint32_t second = profiler.Counter(ProfileBucket::CityG);
    uint32_t players = profiler.Counter(ProfileBucket::Players);
    // Two seconds: the period's averages and shares, and a new period whose
    // maxima start again.
    profiler.Report(2'000'000'000);
    std::vector<std::string> lines = profiler.StatsLines();
    ASSERT_EQ(lines.size(), 8u);
    EXPECT_EQ(lines[0],
              Figures("StateChange", 0, 0, 0, 0) + " " +
                  Figures("CityG", second, (first + second) / 2, 0, (first + second) * 100 / 2'000'000));
    EXPECT_EQ(lines[1], Figures("Vehicles", 0, 0, 0, 0));
    EXPECT_EQ(lines[2], Figures("E_PRIVATECAR_TIME", 0, 0, 0, 0));
    EXPECT_EQ(lines[4], Figures("World", 0, 0, 0, 0) + " " + Figures("Script", 0, 0, 0, 0) + " " +
                            Figures("Players", players, players / 2, 0, players * 100 / 2'000'000));
    EXPECT_EQ(lines[5].rfind("Gimmick ", 0), 0u);
    EXPECT_EQ(lines[6].rfind("Slice: ", 0), 0u);
    EXPECT_EQ(lines[7], "World frame rate 000002/000000.");
}

TEST(Profiler, AFrameOfTheGameLeavesEveryCounterAtZero) {
    Game game;
    StartGame(game, 1);
    game.AdvanceFrame(1000);
    game.Step();
    for (uint32_t b = 0; b <= uint32_t(ProfileBucket::Firework); ++b)
        EXPECT_EQ(game.GetProfiler().Counter(ProfileBucket(b)), 0u) << b;
    std::vector<std::string> lines = game.StatsLines();
    ASSERT_EQ(lines.size(), 10u);
    EXPECT_EQ(lines[8], "In Sync.");
    EXPECT_EQ(lines[9].rfind("Server speed ", 0), 0u);
}

} // namespace
