#include "world/game_clock.h"

#include "platform/clock.h"
#include "world/world.h"
#include "world/world_services.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

class GameClockTest : public ::testing::Test {
protected:
    void SetUp() override { plat::Clock::UseFake(1000); }
    void TearDown() override { plat::Clock::UseReal(); }

    World world_;
    WorldScope scope_{world_};
};

struct CalendarCase {
    uint64_t tick;
    uint32_t year, month, part, nextMonth;
};

TEST_F(GameClockTest, CalendarFromTicks) {
    const CalendarCase cases[] = {
        {0, 1850, 0, 0, 0},      {749, 1850, 0, 3, 1},  {750, 1850, 1, 4, 1},
        {8999, 1850, 11, 47, 0}, {9000, 1851, 0, 0, 0}, {9000 * 50 + 4500, 1900, 6, 24, 6},
    };
    for (const CalendarCase& c : cases) {
        SCOPED_TRACE(c.tick);
        GameClock clock;
        clock.AddTicks(uint32_t(c.tick));
        EXPECT_EQ(clock.GetCurrentYear(), c.year);
        EXPECT_EQ(clock.GetMonth(), c.month);
        EXPECT_EQ(clock.GetYearPart(), c.part);
        EXPECT_EQ(clock.GetNextMonth(), c.nextMonth);
    }
    GameClock clock;
    clock.AddTicks(8999);
    EXPECT_EQ(clock.GetNextYear(), 1851u);
    EXPECT_EQ(clock.GetNextYearPart(), 0u);
}

TEST_F(GameClockTest, DatesFollowLeapYears) {
    struct DateCase {
        uint32_t year, dayOfYear, day, month;
    };
    // Day 60 of a year: 29 February in a leap year, 1 March otherwise.
    const DateCase cases[] = {{1852, 60, 29, 1}, {1900, 60, 1, 2},    {2000, 60, 29, 1},
                              {1851, 1, 1, 0},   {1852, 366, 31, 11}, {1851, 365, 31, 11}};
    for (const DateCase& c : cases) {
        SCOPED_TRACE(c.year * 1000 + c.dayOfYear);
        GameClock clock;
        clock.SetYear(c.year);
        uint64_t daysInYear = IsLeapYear(c.year) ? 366 : 365;
        // The first tick of that day of the year.
        uint64_t tick = ((c.dayOfYear - 1) * kTicksPerYear + daysInYear - 1) / daysInYear;
        clock.AddTicks(uint32_t(tick));
        GameDate date = clock.GetDate();
        EXPECT_EQ(date.year, c.year);
        EXPECT_EQ(date.month, c.month);
        EXPECT_EQ(date.day, c.day);
    }
}

TEST_F(GameClockTest, DateIsRecomputedAfterTick) {
    GameClock clock;
    clock.AddTicks(24);
    GameDate first = clock.GetDate();
    EXPECT_EQ(clock.GetDate().day, first.day);
    for (int i = 0; i < 30; ++i)
        clock.Tick();
    EXPECT_NE(clock.GetDate().day, first.day);
    EXPECT_EQ(clock.GetDaysInMonth(), 31u);
}

TEST_F(GameClockTest, TimeScalesWithSpeed) {
    GameClock clock;
    plat::Clock::Advance(500);
    EXPECT_EQ(clock.GetTime(), 500u);
    clock.SetSpeed(2.0f);
    plat::Clock::Advance(1000);
    EXPECT_EQ(clock.GetTime(), 2500u);
    clock.SetSpeed(0.0f);
    plat::Clock::Advance(1000);
    EXPECT_EQ(clock.GetTime(), 2500u);
    clock.AddTime(-500);
    EXPECT_EQ(clock.GetTime(), 2000u);
}

TEST_F(GameClockTest, BadSpeedsStopTime) {
    const float speeds[] = {-1.0f, std::numeric_limits<float>::quiet_NaN(),
                            -std::numeric_limits<float>::infinity(), std::numeric_limits<float>::infinity()};
    for (float speed : speeds) {
        SCOPED_TRACE(speed);
        GameClock clock;
        clock.SetSpeed(speed);
        EXPECT_EQ(clock.GetSpeed(), 0.0f);
        uint32_t before = clock.GetTime();
        plat::Clock::Advance(1000);
        EXPECT_EQ(clock.GetTime(), before);
    }
}

TEST_F(GameClockTest, ElapsedTimeSurvivesTimerWrap) {
    plat::Clock::UseFake(0xFFFFFF00u);
    GameClock clock;
    plat::Clock::Advance(0x200);
    EXPECT_EQ(clock.GetTime(), 0x200u);
}

TEST_F(GameClockTest, SetYearMeetsTheDateStep) {
    GameClock clock;
    clock.SetYear(1900);
    EXPECT_EQ(clock.GetTicks(), 50u * 9000);
    EXPECT_EQ(clock.GetMonth(), 0u);
    Services().dateStepTime = [] { return 7000u; };
    clock.SetYear(1901);
    EXPECT_EQ(clock.GetCurrentTime(), 7000u);
    EXPECT_EQ(clock.GetTime(), 7000u);
    clock.SetYear(1800);
    EXPECT_EQ(clock.GetCurrentYear(), 1850u);
}

TEST_F(GameClockTest, FrozenClockStandsStill) {
    GameClock* clock = CreateGameClock(1);
    ASSERT_NE(clock, nullptr);
    clock->Tick();
    clock->SetSpeed(5.0f);
    plat::Clock::Advance(1000);
    EXPECT_EQ(clock->GetTicks(), 0u);
    EXPECT_EQ(clock->GetTime(), 0u);
    EXPECT_EQ(CreateGameClock(7), nullptr);
    EXPECT_EQ(GetGameClock(), clock);
    EXPECT_NE(CreateGameClock(2), nullptr);
    EXPECT_NE(CreateGameClock(0), nullptr);
}

} // namespace
