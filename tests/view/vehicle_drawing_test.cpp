// The vehicle drawing's rules: the share of a step, headings on plain track
// and in curves, the rotation picture, and when an engine smokes.
#include "data/value_table.h"
#include "view/vehicle_drawing.h"

#include <gtest/gtest.h>

namespace {

TEST(VehicleDrawingTest, WakeFraction) {
    struct Case {
        uint32_t t, previous, next;
        float expected;
    };
    const Case cases[] = {
        {150, 100, 200, 0.5f},
        {300, 100, 200, 1.0f},      // late: at most 1
        {100, 100, 100, 1.0f},      // just woken: on the new tile
        {5, 0xFFFFFFF6u, 15, 0.6f}, // the clock wrapped between the wakes
    };
    for (const Case& c : cases)
        EXPECT_FLOAT_EQ(WakeFraction(c.t, c.previous, c.next), c.expected) << c.t;
}

TEST(VehicleDrawingTest, CarHeadingOnStraightTrackAndInCurves) {
    struct Case {
        float p;
        uint32_t k, dPrev, dMid, dNext;
        uint8_t own;
        float expected;
    };
    const Case cases[] = {
        {0.3f, 1, 2, 2, 2, 0, 0.25f},    // straight east
        {0.75f, 1, 1, 1, 2, 0, 0.0625f}, // north turning east, past the tile's centre
        {0.25f, 1, 1, 2, 2, 0, 0.1875f}, // the eighth after the centre
        {0.75f, 1, 2, 2, 1, 0, 0.1875f}, // east turning north
        {0.75f, 1, 1, 1, 8, 0, 0.9375f}, // north turning west wraps below a whole turn
        {0.5f, 2, 0, 2, 2, 4, 0.5f},     // no direction behind: the vehicle's own
        {0.5f, 1, 3, 3, 3, 0, 0.125f},   // a diagonal step keeps its heading
    };
    for (const Case& c : cases)
        EXPECT_FLOAT_EQ(CarHeading(c.p, c.k, c.dPrev, c.dMid, c.dNext, c.own), c.expected)
            << c.p << " " << c.dPrev << c.dMid << c.dNext;
}

TEST(VehicleDrawingTest, RotationPictures) {
    EXPECT_EQ(RotationIndex(0.0f, 8), 4); // north: the pictures start facing south
    EXPECT_EQ(RotationIndex(0.5f, 8), 0);
    EXPECT_EQ(RotationIndex(0.25f, 16), 12);
    EXPECT_EQ(RotationIndex(0.49f, 8), 0); // rounds to 8, which is 0
    EXPECT_EQ(RotationIndex(0.3f, 0), 0);
}

TEST(VehicleDrawingTest, CurveWithoutItsArcKeepsTheStraightPlace) {
    ValueTable t, m;
    float dx = 0, dy = 0;
    // Straight track, or tables that hold no arc for the turn.
    EXPECT_FALSE(CurveOffset(t, m, 1.0f, 2, 2, 0.5f, 1.0f, dx, dy));
    EXPECT_FALSE(CurveOffset(t, m, 1.0f, 1, 2, 0.5f, 1.0f, dx, dy));
    t.Resize(16, 4);
    m.Resize(8, 4);
    EXPECT_FALSE(CurveOffset(t, m, 0.0f, 1, 2, 0.5f, 1.0f, dx, dy)); // no path length
    // North into east: row 1 (east), group 0 (north); a quarter arc.
    t.SetCell(0, 1, 0.0f);
    t.SetCell(1, 1, 90.0f);
    t.SetCell(2, 1, 60.0f);
    t.SetCell(3, 1, 20.0f);
    m.SetCell(0, 1, 10.0f);
    m.SetCell(1, 1, -5.0f);
    ASSERT_TRUE(CurveOffset(t, m, 1.0f, 1, 2, 0.0f, 1.0f, dx, dy));
    EXPECT_NEAR(dx, 70.0f, 1e-3f);
    EXPECT_NEAR(dy, -5.0f, 1e-3f);
    ASSERT_TRUE(CurveOffset(t, m, 1.0f, 1, 2, 1.0f, 2.0f, dx, dy));
    EXPECT_NEAR(dx, 20.0f, 1e-3f);
    EXPECT_NEAR(dy, 30.0f, 1e-3f);
}

TEST(VehicleDrawingTest, WhenAnEngineSmokes) {
    SmokeInputs base;
    base.now = 1000;
    base.lastPuff = 800;
    base.tileTime = 1000; // direction 0: a puff every 250 ms
    base.moveMask = 2;
    struct Case {
        const char* what;
        uint32_t lastPuff, moveMask, random;
        float condition;
        int32_t kind;
        bool expected;
    };
    const Case cases[] = {
        {"too soon", 800, 2, 0, 100.0f, 0, false},
        {"due", 750, 2, 99, 100.0f, 0, true},
        {"kind 2 waits three quarters of a tile", 300, 2, 0, 100.0f, 2, false},
        {"kind 2 due", 250, 2, 0, 100.0f, 2, true},
        {"worn: p = 1, random 1 puffs", 0, 2, 1, 10.0f, 0, true},
        {"worn: random 2 does not", 0, 2, 2, 10.0f, 0, false},
        {"a condition below 0 counts as 0", 0, 2, 0, -5.0f, 0, true},
        {"no direction", 0, 0, 0, 100.0f, 0, false},
        {"two opposite bits", 0, 5, 0, 100.0f, 0, false},
    };
    for (const Case& c : cases) {
        SmokeInputs in = base;
        in.lastPuff = c.lastPuff;
        in.moveMask = c.moveMask;
        in.random = c.random;
        in.condition = c.condition;
        in.kind = c.kind;
        EXPECT_EQ(SmokeDue(in), c.expected) << c.what;
    }
    EXPECT_EQ(SmokeGrey(100.0f), 255u);
    EXPECT_EQ(SmokeGrey(50.0f), 64u);
    EXPECT_EQ(SmokeGrey(-3.0f), 0u);
    EXPECT_EQ(SmokeGrey(200.0f), 255u);
}

} // namespace
