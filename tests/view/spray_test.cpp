#include "data/generated/terrain_tables.h"
#include "tests/world/world_fixture.h"
#include "view/spline_curve.h"
#include "view/spray.h"

#include <cmath>
#include <initializer_list>
#include <tuple>

namespace {

SprayCurve Curve(std::initializer_list<std::tuple<float, float, int32_t>> points) {
    SprayCurve c;
    for (auto [x, y, mode] : points) {
        c.x[c.count] = x;
        c.y[c.count] = y;
        c.mode[c.count] = mode;
        ++c.count;
    }
    return c;
}

TEST(SplineCurveTest, SegmentModes) {
    struct Case {
        int32_t mode;
        float t, expected;
    };
    // From (0, 0) to (2, 4).
    const Case cases[] = {
        {0, 1.0f, 0.0f}, {1, 1.0f, 4.0f},  {2, 1.0f, 2.0f}, {2, 3.0f, 6.0f}, // extrapolates
        {3, 1.0f, 1.0f}, {4, 1.0f, 3.0f},  {5, 1.0f, 2.0f}, {5, 0.5f, 4.0f * (3 * 0.0625f - 2 * 0.015625f)},
        {6, 1.0f, 2.0f}, {-1, 1.0f, 2.0f}, // two points: the spline is a line
    };
    for (const Case& c : cases) {
        SplineCurve curve(Curve({{0, 0, c.mode}, {2, 4, c.mode}}));
        EXPECT_NEAR(curve.Evaluate(c.t), c.expected, 1e-5f) << c.mode << " at " << c.t;
    }
}

TEST(SplineCurveTest, InnerPointsAndTheSpline) {
    // t on an inner point takes the segment that starts there.
    SplineCurve steps(Curve({{0, 1, 0}, {1, 2, 0}, {2, 3, 0}}));
    EXPECT_EQ(steps.Evaluate(1.0f), 2.0f);
    EXPECT_EQ(steps.Evaluate(0.99f), 1.0f);
    // The natural spline passes through its points and is smooth between.
    SplineCurve spline(Curve({{0, 0, 6}, {1, 1, 6}, {2, 0, 6}}));
    EXPECT_NEAR(spline.Evaluate(1.0f), 1.0f, 1e-6f);
    EXPECT_NEAR(spline.Evaluate(0.0f), 0.0f, 1e-6f);
    EXPECT_GT(spline.Evaluate(0.5f), 0.5f); // above the chord
}

// Curves the table may hold that would divide by zero or read past the
// points give plain values instead.
TEST(SplineCurveTest, DegenerateCurves) {
    SplineCurve none;
    EXPECT_EQ(none.Evaluate(0.5f), 0.0f);
    EXPECT_FALSE(none.Set(SprayCurve{}));
    for (int32_t mode : {0, 1, 2, 3, 4, 5, 6}) {
        SplineCurve one(Curve({{0.5f, 7, mode}}));
        EXPECT_EQ(one.Evaluate(0.0f), 7.0f) << mode;
        EXPECT_EQ(one.Evaluate(1.0f), 7.0f) << mode;
        SplineCurve same(Curve({{0.5f, 3, mode}, {0.5f, 9, mode}, {0.5f, 1, mode}}));
        const float v = same.Evaluate(0.5f);
        EXPECT_TRUE(std::isfinite(v)) << mode;
    }
    // More than ten points are refused and the old curve kept.
    SplineCurve kept(Curve({{0, 5, 0}}));
    SprayCurve many = Curve({{0, 1, 2}});
    many.count = 11;
    EXPECT_FALSE(kept.Set(many));
    EXPECT_EQ(kept.Evaluate(0.0f), 5.0f);
}

class SprayTest : public WorldTest {
protected:
    void SetUp() override {
        WorldTest::SetUp();
        GischtTable::Clear();
        SprayCurves::Clear();
        GischtRow* row = GischtTable::GetOrCreateRow(2);
        row->LifeTime = 1000;
        row->CreationInterval = 500;
        row->WaitInterval = 0;
        const std::pair<SprayCurveId, SprayCurve> curves[] = {
            {SprayCurveId::Position0, Curve({{0, 0, 2}, {1, 1, 2}})},
            {SprayCurveId::XExtent0, Curve({{0, 1, 0}})},
            {SprayCurveId::YExtent0, Curve({{0, 1, 0}})},
            {SprayCurveId::Alpha0, Curve({{0, 1, 2}, {1, 0, 2}})},
        };
        for (const auto& [id, c] : curves) {
            ValueTable t;
            t.Resize(3, c.count);
            for (uint32_t i = 0; i < c.count; ++i) {
                t.SetCell(0, i, c.x[i]);
                t.SetCell(1, i, c.y[i]);
                t.SetCell(2, i, float(c.mode[i]));
            }
            ASSERT_TRUE(SprayCurves::Set(2, id, t));
        }
        InvalidateSprayCurves();
    }
    void TearDown() override {
        GischtTable::Clear();
        SprayCurves::Clear();
        InvalidateSprayCurves();
        WorldTest::TearDown();
    }
};

TEST_F(SprayTest, CreationAndLife) {
    EXPECT_FALSE(AddSpraySource(1, 1, 16, 0));
    EXPECT_FALSE(AddSpraySource(1, 1, 2, 4));
    ASSERT_TRUE(AddSpraySource(5, 6, 2, 1));
    SprayState& s = SprayOf();
    UpdateSpray(499);
    EXPECT_TRUE(s.instances.empty());
    UpdateSpray(500); // a wait of 0: at once when the interval has passed
    ASSERT_EQ(s.instances.size(), 1u);
    EXPECT_EQ(s.instances[0].start, 500u);
    UpdateSpray(999);
    EXPECT_EQ(s.instances.size(), 1u);
    UpdateSpray(1500); // the first ends, the next begins
    ASSERT_EQ(s.instances.size(), 1u);
    EXPECT_EQ(s.instances[0].start, 1500u);
    // Switched off: the live one ends, no new one starts.
    s.enabled = 0;
    UpdateSpray(2500);
    EXPECT_TRUE(s.instances.empty());
}

TEST_F(SprayTest, ChanceOverTheWaitIntervalFromItsOwnStream) {
    GischtTable::FindMutable(2)->WaitInterval = 1000;
    ASSERT_TRUE(AddSpraySource(0, 0, 2, 0));
    SprayState& s = SprayOf();
    UpdateSpray(500); // late 0: nothing, no number drawn
    EXPECT_TRUE(s.instances.empty());
    EXPECT_EQ(s.seed, 1234567u);
    uint32_t expectedSeed = 1234567u;
    uint32_t now = 500;
    while (s.instances.empty() && now < 1500) {
        now += 100;
        UpdateSpray(now);
        expectedSeed = expectedSeed * 1664525u + 1013904223u;
        EXPECT_EQ(s.seed, expectedSeed);
    }
    // Certain once the whole wait has passed.
    EXPECT_EQ(s.instances.size(), 1u);
}

TEST_F(SprayTest, PassGeometryAlongTheCurves) {
    SprayInstance i{0, 0, 1000, 2, 0, 0};
    SprayQuad q;
    // Halfway: moved half a large tile along direction 0, half faded.
    ASSERT_TRUE(SprayPassQuad(i, 1500, 0, 100, 100, 1.0f, 64, 64, q));
    const float cx = 100 + 80, cy = 100 - 40;
    float sx = 0, sy = 0;
    for (int k = 0; k < 4; ++k) {
        sx += q.x[size_t(k)];
        sy += q.y[size_t(k)];
    }
    EXPECT_NEAR(sx / 4, cx, 1e-3f);
    EXPECT_NEAR(sy / 4, cy, 1e-3f);
    EXPECT_EQ(q.alpha, 128u);
    // At the end of its life it is still drawn, after it not.
    EXPECT_TRUE(SprayPassQuad(i, 2000, 0, 0, 0, 1.0f, 64, 64, q));
    EXPECT_FALSE(SprayPassQuad(i, 2001, 0, 0, 0, 1.0f, 64, 64, q));
    // A life of 0 draws nothing rather than dividing by it.
    GischtTable::FindMutable(2)->LifeTime = 0;
    EXPECT_FALSE(SprayPassQuad(i, 1000, 0, 0, 0, 1.0f, 64, 64, q));
    UpdateSpray(1000);
}

} // namespace
