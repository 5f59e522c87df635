#include "platform/clock.h"

#include <gtest/gtest.h>

namespace {

struct FakeClockTest : testing::Test {
    ~FakeClockTest() override { plat::Clock::UseReal(); }
};

TEST_F(FakeClockTest, StandsStillUntilAdvancedAndWrapsAt32Bits) {
    plat::Clock::UseFake(0xFFFFFFF0u);
    EXPECT_EQ(plat::Clock::Millis(), 0xFFFFFFF0u);
    EXPECT_EQ(plat::Clock::Millis(), 0xFFFFFFF0u);
    plat::Clock::Advance(0x20);
    EXPECT_EQ(plat::Clock::Millis(), 0x10u);
    // Sleeping on the fake clock advances it instead of blocking.
    plat::Clock::Sleep(5);
    EXPECT_EQ(plat::Clock::Millis(), 0x15u);
}

TEST_F(FakeClockTest, RealClockNeverRunsBackwards) {
    plat::Clock::UseReal();
    uint64_t a = plat::Clock::Timestamp();
    uint64_t b = plat::Clock::Timestamp();
    EXPECT_LE(a, b);
}

} // namespace
