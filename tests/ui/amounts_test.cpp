#include "ui/amounts.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

TEST(Amounts, RoundAwayFromZeroToTheLeadingDigit) {
    const std::pair<int64_t, int64_t> up[] = {
        {0, 0},
        {999, 999},
        {1000, 1000},
        {1001, 2000},
        {1234, 2000},
        {9999, 10000},
        {99999, 100000},
        {200000, 200000},
        {250000, 300000},
        {999999999, 1000000000},
        {1000000001, 2000000000},
        {12345678901, 13000000000},
        {-1234, -1234},
        {std::numeric_limits<int64_t>::max(), std::numeric_limits<int64_t>::max()},
    };
    for (auto [in, out] : up) {
        int64_t amount = in;
        RoundUpAmount(amount);
        EXPECT_EQ(amount, out) << in;
        amount = -in;
        RoundDownAmount(amount);
        EXPECT_EQ(amount, in < 0 ? -in : -out) << -in;
    }
    int64_t amount = std::numeric_limits<int64_t>::min();
    RoundDownAmount(amount);
    EXPECT_EQ(amount, std::numeric_limits<int64_t>::min());
}

TEST(Amounts, SpeedFromTravelTime) {
    EXPECT_EQ(SpeedFromTravelTime(250.0f), 124);
    EXPECT_EQ(SpeedFromTravelTime(100.0f), 310);
    EXPECT_EQ(SpeedFromTravelTime(-100.0f), -310);
    EXPECT_EQ(SpeedFromTravelTime(0.0f), 0);
    EXPECT_EQ(SpeedFromTravelTime(-0.0f), 0);
    EXPECT_EQ(SpeedFromTravelTime(std::nanf("")), 0);
    EXPECT_EQ(SpeedFromTravelTime(1e-30f), 0);
    EXPECT_EQ(SpeedFromTravelTime(std::numeric_limits<float>::infinity()), 0);
}

} // namespace
