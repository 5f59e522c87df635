// The vehicle drawing's rules: the share of a step, headings on plain track
// and in curves, the rotation picture, when an engine smokes, the arcs of
// turns, special-track pieces and switches, and aircraft in the air.
#include "data/database.h"
#include "data/generated/route_tables.h"
#include "data/generated/tables.h"
#include "data/generated/vehicle_tables.h"
#include "data/value_table.h"
#include "platform/file.h"
#include "view/vehicle_drawing.h"

#include <gtest/gtest.h>

#include <cmath>

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

// The shipped arcs of turning road vehicles and of trains in plain-track
// curves run from the middle of the side a vehicle comes in by to the
// middle of the side it leaves by, at every zoom; straight on and turning
// about have no arc.
TEST(VehicleDrawingTest, ShippedTurnsRunFromSideToSide) {
    // The shipped tables are process-wide: later tests expect them empty.
    struct TablesReset {
        ~TablesReset() { ResetAllTables(); }
    } reset;
    std::string text;
    ASSERT_TRUE(plat::ReadWholeFile("gamedata/config/MDConfig.gen", text));
    Database db;
    db.Init();
    ASSERT_TRUE(db.Read(text));
    ASSERT_TRUE(db.ApplyAllTables(KindSelector::All));
    const VehicleConstantsRow* constants = VehicleConstantsTable::Find(0);
    const SpecialTracksRow* plain = SpecialTracksTable::Find(7);
    ASSERT_NE(constants, nullptr);
    ASSERT_NE(plain, nullptr);
    // A side's middle relative to the tile's anchor: map steps (1, 0) and
    // (0, 1) are (60, 20) and (-60, 20) on the screen at zoom 1.
    struct Step {
        uint32_t mask;
        float mx, my;
    };
    const Step steps[] = {{1, 0, -1}, {2, 1, 0}, {4, 0, 1}, {8, -1, 0}};
    const auto side = [](const Step& st, float sign, float s, float& x, float& y) {
        x = sign * 0.5f * (st.mx - st.my) * 60.0f * s;
        y = sign * 0.5f * (st.mx + st.my) * 20.0f * s;
    };
    for (const float s : {1.0f, 0.5f}) {
        for (const Step& in : steps) {
            for (const Step& out : steps) {
                float dx = 0, dy = 0;
                const bool turns =
                    in.mask != out.mask && (in.mask | out.mask) != 5 && (in.mask | out.mask) != 10;
                EXPECT_EQ(RoadCurveOffset(constants->TruckCurveTable, in.mask, out.mask, 0.5f, s, dx, dy),
                          turns)
                    << in.mask << " to " << out.mask;
                EXPECT_EQ(CurveOffset(plain->TrainCurveTable, plain->CurveMiddlePoint, plain->PathLength,
                                      in.mask, out.mask, 0.5f, s, dx, dy),
                          turns)
                    << in.mask << " to " << out.mask;
                if (!turns)
                    continue;
                float ex = 0, ey = 0, xx = 0, xy = 0;
                side(in, -1.0f, s, ex, ey);
                side(out, 1.0f, s, xx, xy);
                for (const bool road : {true, false}) {
                    const auto at = [&](float u, float& x, float& y) {
                        if (road)
                            return RoadCurveOffset(constants->TruckCurveTable, in.mask, out.mask, u, s, x, y);
                        return CurveOffset(plain->TrainCurveTable, plain->CurveMiddlePoint, plain->PathLength,
                                           in.mask, out.mask, u, s, x, y);
                    };
                    const std::string what = std::string(road ? "road " : "rail ") + std::to_string(in.mask) +
                                             " to " + std::to_string(out.mask) + " at zoom " +
                                             std::to_string(s);
                    ASSERT_TRUE(at(0.0f, dx, dy)) << what;
                    EXPECT_NEAR(dx, ex, 0.5f) << what;
                    EXPECT_NEAR(dy, ey, 0.5f) << what;
                    ASSERT_TRUE(at(1.0f, dx, dy)) << what;
                    EXPECT_NEAR(dx, xx, 0.5f) << what;
                    EXPECT_NEAR(dy, xy, 0.5f) << what;
                    // Halfway it has cut the corner: off the chord between
                    // the two sides' middles, towards the tile's middle.
                    ASSERT_TRUE(at(0.5f, dx, dy)) << what;
                    const float cx = (ex + xx) / 2, cy = (ey + xy) / 2;
                    EXPECT_LT(std::hypot(dx, dy * 3.0f), std::hypot(cx, cy * 3.0f)) << what;
                }
            }
        }
    }
    SpecialTracksTable::Clear();
    VehicleConstantsTable::Clear();
}

// A small piece whose every arc (row r, group g) starts at 10 r + g
// degrees and spans 40, about the anchor with radius 100, so that a place
// tells the angle it was taken at.
class PieceDrawingTest : public ::testing::Test {
protected:
    void SetUp() override {
        curves.Resize(16, 4);
        middles.Resize(8, 4);
        for (uint32_t r = 0; r < 4; ++r)
            for (uint32_t g = 0; g < 4; ++g) {
                curves.SetCell(4 * g, r, float(10 * r + g));
                curves.SetCell(4 * g + 1, r, 40.0f);
                curves.SetCell(4 * g + 2, r, 100.0f);
                curves.SetCell(4 * g + 3, r, 100.0f);
            }
        piece.curves = &curves;
        piece.middles = &middles;
        piece.pathLength = 4.0f;
        piece.points = 4;
    }
    // The angle of a place, in degrees 0 to 360.
    static float Angle(float dx, float dy) {
        const float a = std::atan2(dy, dx) * 57.29578f;
        return a < 0.0f ? a + 360.0f : a;
    }

    ValueTable curves, middles;
    PieceArcs piece;
};

TEST_F(PieceDrawingTest, CarsFollowThePiecesArcByRotationAndWay) {
    struct Case {
        int32_t rotation, a, b;
        float p;
        uint32_t d;
        bool placed;
        float degrees; // start + (span / path length) x (index + share)
    };
    const Case cases[] = {
        {0, 0, 1, 0.75f, 2, true, 12.0f + 10.0f * 1.25f}, // forwards: row 1, group 2, index b
        {0, 0, 1, 0.25f, 2, true, 12.0f + 10.0f * 0.75f}, // before the middle: index a
        {0, 2, 1, 0.75f, 8, true, 3.0f + 10.0f * 2.25f},  // backwards at rotation 0: length - 1 - b
        {1, 2, 1, 0.75f, 8, true, 10.0f + 10.0f * 2.25f}, // backwards at rotation 1: n - 1 - b, row 1 group 0
        {2, 1, 2, 0.75f, 8, true, 30.0f + 10.0f * 2.25f}, // forwards at rotation 2: row 3 group 0
        {3, 1, 2, 0.75f, 1, true, 1.0f + 10.0f * 2.25f},  // forwards at rotation 3: row 0 group 1
        {0, -1, 0, 0.75f, 2, true, 12.0f + 10.0f * 0.25f}, // coming onto the piece
        {0, -1, 0, 0.25f, 2, false, 0.0f},                 // not on it yet: plain-track rules
        {0, -1, 3, 0.75f, 8, true, 3.0f + 10.0f * 0.25f},  // onto its last point: backwards
        {4, 0, 1, 0.75f, 2, false, 0.0f},                  // no such rotation
    };
    for (const Case& c : cases) {
        piece.rotation = c.rotation;
        float dx = 0, dy = 0;
        ASSERT_EQ(PieceCarOffset(piece, c.a, c.b, c.p, c.d, 1.0f, dx, dy), c.placed)
            << c.rotation << " " << c.a << " " << c.b << " " << c.p;
        if (c.placed) {
            EXPECT_NEAR(Angle(dx, dy), c.degrees, 1e-2f)
                << c.rotation << " " << c.a << " " << c.b << " " << c.p;
        }
    }
    // A piece of one point is driven forwards in its rotation's direction.
    piece.points = 1;
    piece.rotation = 1;
    float dx = 0, dy = 0;
    ASSERT_TRUE(PieceCarOffset(piece, 0, 0, 0.75f, 4, 1.0f, dx, dy));
    EXPECT_NEAR(Angle(dx, dy), 23.0f + 2.5f, 1e-2f);
    ASSERT_TRUE(PieceCarOffset(piece, 0, 0, 0.75f, 1, 1.0f, dx, dy));
    EXPECT_NEAR(Angle(dx, dy), 10.0f + 2.5f, 1e-2f);
    // Tables without the arc, or no path length: the plain rules.
    piece.points = 4;
    piece.rotation = 0;
    curves.SetCell(4 * 2 + 2, 1, -1.0f);
    EXPECT_FALSE(PieceCarOffset(piece, 0, 1, 0.75f, 2, 1.0f, dx, dy));
    piece.pathLength = 0.0f;
    EXPECT_FALSE(PieceCarOffset(piece, 0, 2, 0.75f, 8, 1.0f, dx, dy));
}

TEST_F(PieceDrawingTest, CarHeadingsOnAPiece) {
    struct Case {
        int32_t rotation, a, b;
        float p;
        bool turned;
        float heading;
    };
    const Case cases[] = {
        {0, 0, 1, 0.75f, true, 0.5f - 0.25f * 1.25f / 4}, // forwards 0.5 to 0.25 over four points
        {0, 0, 1, 0.25f, true, 0.5f - 0.25f * 0.75f / 4},
        {0, 2, 1, 0.75f, true, 0.75f + 0.25f * 2.25f / 4}, // backwards 0.75 to 1.0
        {3, 1, 2, 0.5f, true, 0.25f - 0.25f * 2.0f / 4},   // exactly the middle takes the point behind
        {1, -1, 0, 0.5f, false, 0.0f},
    };
    for (const Case& c : cases) {
        piece.rotation = c.rotation;
        float h = -1.0f;
        ASSERT_EQ(PieceCarHeading(piece, c.a, c.b, c.p, 0, h), c.turned) << c.rotation << " " << c.a << c.b;
        if (c.turned) {
            EXPECT_FLOAT_EQ(h, c.heading) << c.rotation << " " << c.a << c.b << " " << c.p;
        }
    }
}

TEST_F(PieceDrawingTest, CarsOnASwitchTakeTheirBranch) {
    piece.points = 4;
    piece.pathLength = 1.0f; // a switch spans 2.5 points whatever its length
    struct Case {
        const char* what;
        int32_t type, rotation;
        SwitchCar car;
        bool placed;
        float degrees;
    };
    const auto car = [](int32_t a, int32_t b, float p, uint32_t prev, uint32_t mid, uint32_t next,
                        uint32_t entry = 0, uint32_t exit = 0) {
        SwitchCar c;
        c.a = a;
        c.b = b;
        c.p = p;
        c.dPrev = prev;
        c.dMid = mid;
        c.dNext = next;
        c.entry = entry;
        c.exit = exit;
        return c;
    };
    const Case cases[] = {
        {"first branch forwards", 0, 0, car(0, 1, 0.75f, 2, 2, 4), true, 23.0f + 16.0f * 1.25f},
        {"second branch forwards", 0, 0, car(1, 2, 0.75f, 2, 2, 4), true, 32.0f + 16.0f * 2.25f},
        {"first branch backwards", 0, 0, car(2, 1, 0.75f, 8, 8, 1), true, 1.0f + 16.0f * 2.25f},
        {"type 1, rotation 1, backwards on the second", 1, 1, car(3, 2, 0.75f, 8, 8, 1), true,
         1.0f + 16.0f * 1.25f},
        {"before the middle with no point behind", 0, 1, car(-1, 1, 0.25f, 2, 4, 4), true,
         30.0f - 16.0f * 0.25f},
        {"straight through", 0, 0, car(0, 1, 0.75f, 2, 2, 2), false, 0.0f},
        {"leaving the piece on a straight way", 0, 0, car(-1, -1, 0.75f, 2, 4, 4), false, 0.0f},
        {"onto an end, the way ahead straight", 0, 0, car(-1, 0, 0.75f, 2, 2, 2, 2, 2), false, 0.0f},
        {"onto an end, the way ahead turning", 0, 0, car(-1, 0, 0.75f, 2, 2, 2, 2, 4), true,
         23.0f + 16.0f * 0.25f},
        {"rotation 2 has no arcs", 0, 2, car(0, 1, 0.75f, 2, 2, 4), false, 0.0f},
        {"switch type 2 has no arcs", 2, 0, car(0, 1, 0.75f, 2, 2, 4), false, 0.0f},
    };
    for (const Case& c : cases) {
        piece.switchType = c.type;
        piece.rotation = c.rotation;
        float dx = 0, dy = 0;
        ASSERT_EQ(SwitchCarOffset(piece, c.car, 1.0f, dx, dy), c.placed) << c.what;
        if (c.placed) {
            EXPECT_NEAR(Angle(dx, dy), c.degrees, 1e-2f) << c.what;
        }
    }
}

TEST_F(PieceDrawingTest, SwitchHeadingsRunAlongTheBranch) {
    struct Case {
        int32_t type, rotation, a, b;
        float p, heading;
    };
    const Case cases[] = {
        {0, 0, 0, 1, 0.75f, 0.5f + 0.0625f * 1.25f / 2.5f},    // first branch: 0.5 towards 0.5625
        {0, 0, 1, 2, 0.75f, 0.5625f - 0.0625f * 0.25f / 2.5f}, // second: from 0.5625 towards 0.5
        {0, 0, 1, 3, 1.0f, 0.5625f - 0.0625f * 1.5f / 2.5f},
        {1, 0, 3, 2, 0.75f, 1.0f - 0.0625f * 1.25f / 2.5f},    // backwards on the second: 1.0 to 0.9375
        {1, 1, 2, 1, 0.75f, 0.1875f + 0.0625f * 0.25f / 2.5f}, // backwards on the first, less 2
    };
    for (const Case& c : cases) {
        piece.switchType = c.type;
        piece.rotation = c.rotation;
        float h = -1.0f;
        ASSERT_TRUE(SwitchCarHeading(piece, c.a, c.b, c.p, h));
        EXPECT_FLOAT_EQ(h, c.heading) << c.type << c.rotation << " " << c.a << c.b << " " << c.p;
    }
    piece.rotation = 3;
    float h = 0;
    EXPECT_FALSE(SwitchCarHeading(piece, 0, 1, 0.5f, h));
}

TEST(VehicleDrawingTest, AircraftClimbCruiseAndLandWithTheirShadow) {
    struct Case {
        bool fromGround, toGround;
        float f, lift;
    };
    const Case cases[] = {
        {true, true, 0.5f, 0.0f},                                 // taxiing
        {true, false, 0.5f, 30.0f},                               // climbing over the first tile
        {false, false, 0.2f, 60.0f}, {false, true, 0.75f, 15.0f}, // coming down
        {false, true, 3.0f, 0.0f},                                // a late share is at most the whole step
    };
    for (const Case& c : cases)
        EXPECT_FLOAT_EQ(AircraftLift(c.fromGround, c.toGround, c.f, 40), c.lift)
            << c.fromGround << c.toGround;
    EXPECT_EQ(AircraftShadowAlpha(0.0f, 40), 0u);
    EXPECT_EQ(AircraftShadowAlpha(30.0f, 40), 120u);
    EXPECT_EQ(AircraftShadowAlpha(60.0f, 40), 80u);
    EXPECT_EQ(AircraftShadowAlpha(600.0f, 40), 80u);
    EXPECT_EQ(AircraftShadowAlpha(10.0f, 0), 0u);

    // Rotor pictures: `frames` of them per rotation time.
    EXPECT_EQ(RotorFrame(0, 200.0f, 4), 0);
    EXPECT_EQ(RotorFrame(149, 200.0f, 4), 2);
    EXPECT_EQ(RotorFrame(250, 200.0f, 4), 1);
    EXPECT_EQ(RotorFrame(0xFFFFFFFFu, 200.0f, 4), int32_t((0xFFFFFFFFull / 50) % 4));
    EXPECT_EQ(RotorFrame(100, 0.0f, 4), 0);
    EXPECT_EQ(RotorFrame(100, 200.0f, 0), 0);
    EXPECT_EQ(RotorFrame(100, std::nanf(""), 4), 0);
}

} // namespace
