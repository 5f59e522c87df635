// The movers' drawing rules: their heading through a step, their sort
// rectangle between two tiles and the lane displacement of road tiles.
#include "data/generated/vehicle_tables.h"
#include "vehicles/moving_object.h"
#include "view/vehicle_drawing.h"

#include <gtest/gtest.h>

namespace {

TEST(MoverDrawingTest, HeadingThroughAStep) {
    struct Case {
        uint8_t current, previous, before;
        float t, expected;
    };
    const Case cases[] = {
        {2, 2, 2, 0.3f, 0.25f},    // straight east
        {2, 1, 1, 0.75f, 0.0625f}, // north turning right to east, past the middle
        {8, 1, 1, 0.75f, 0.9375f}, // north turning left to west wraps below a whole turn
        {1, 2, 2, 0.75f, 0.1875f}, // east turning left to north
        {2, 2, 1, 0.25f, 0.1875f}, // the half before the middle turns from the earlier direction
        {4, 4, 0, 0.2f, 0.5f},     // nothing earlier: the previous direction
        {4, 2, 2, 0.75f, 0.3125f}, // east turning right to south
        {2, 2, 2, 1.0f, 0.25f},    // a car that did not move stands at 1
    };
    for (const Case& c : cases) {
        MoverPose pose;
        pose.direction = c.current;
        pose.previousDirection = c.previous;
        pose.directionBefore = c.before;
        EXPECT_FLOAT_EQ(MoverRotation(pose, c.t), c.expected)
            << int(c.before) << " " << int(c.previous) << " " << int(c.current) << " at " << c.t;
    }
}

TEST(MoverDrawingTest, SortRectangleBetweenTwoTiles) {
    struct Case {
        int32_t x0, y0, x1, y1;
        float t;
        uint32_t mask;
        int32_t depth;
        EngineRect expected;
    };
    const Case cases[] = {
        {10, 20, 11, 20, 0.5f, 2, 4, {42, 82, 46, 83}},  // halfway east: a strip across the way
        {10, 21, 10, 20, 0.25f, 1, 4, {42, 83, 43, 87}}, // a quarter north
        {10, 20, 10, 21, 1.0f, 4, 1, {41, 84, 42, 85}},  // arrived south
        {11, 20, 10, 20, 0.0f, 8, 1, {44, 81, 45, 82}},  // leaving west
        {10, 20, 11, 21, 1.0f, 3, 4, {44, 84, 45, 85}},  // a diagonal: one quarter
        {10, 20, 10, 21, 1.5f, 0, 1, {40, 84, 41, 85}},  // past the step: y stays on the tile
    };
    for (const Case& c : cases) {
        const EngineRect r = SubTileRect(c.x0, c.y0, c.x1, c.y1, c.t, c.mask, c.depth);
        EXPECT_EQ(r.left, c.expected.left) << c.mask << " at " << c.t;
        EXPECT_EQ(r.top, c.expected.top) << c.mask << " at " << c.t;
        EXPECT_EQ(r.right, c.expected.right) << c.mask << " at " << c.t;
        EXPECT_EQ(r.bottom, c.expected.bottom) << c.mask << " at " << c.t;
    }
}

// The lane displacement comes from the constants at row D(entry), column
// D(exit), scaled by the zoom; entries the lists lack read -1.
TEST(MoverDrawingTest, RoadLaneDisplacement) {
    VehicleConstantsRow* row = VehicleConstantsTable::GetOrCreateRow(0);
    const ValueTable keptX = row->RoadDispX, keptY = row->RoadDispY;
    row->RoadDispX.Resize(4, 4);
    row->RoadDispY.Resize(4, 4);
    for (uint32_t r = 0; r < 4; ++r)
        for (uint32_t c = 0; c < 4; ++c) {
            row->RoadDispX.SetCell(c, r, float(10 * r + c));
            row->RoadDispY.SetCell(c, r, -float(10 * r + c));
        }
    struct Case {
        uint32_t entry, exit;
        float s;
        int32_t dx, dy;
    };
    const Case cases[] = {
        {1, 1, 1.0f, 0, 0},    {1, 2, 1.0f, 1, -1},
        {4, 8, 1.0f, 23, -23}, {8, 2, 0.5f, 15, -15}, // 31 at half zoom, truncated
        {2, 4, 2.0f, 24, -24},
    };
    for (const Case& c : cases) {
        int32_t dx = 0, dy = 0;
        RoadOffset(c.entry, c.exit, c.s, dx, dy);
        EXPECT_EQ(dx, c.dx) << c.entry << " " << c.exit;
        EXPECT_EQ(dy, c.dy) << c.entry << " " << c.exit;
    }
    row->RoadDispX = ValueTable();
    row->RoadDispY = ValueTable();
    int32_t dx = 0, dy = 0;
    RoadOffset(1, 2, 2.0f, dx, dy);
    EXPECT_EQ(dx, -2);
    EXPECT_EQ(dy, -2);
    row->RoadDispX = keptX;
    row->RoadDispY = keptY;
}

} // namespace
