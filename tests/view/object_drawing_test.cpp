#include "view/object_drawing.h"

#include <gtest/gtest.h>

namespace {

struct FenceCase {
    int32_t w, h;
    size_t animal, attraction;
};

// Counts of fence images: the farm's bottom and right edges keep their last
// four tiles open, and an edge of under five tiles has none there (no
// count that wraps round).
TEST(FactoryFence, CountsByFootprint) {
    const FenceCase cases[] = {
        {6, 5, 6 + 2 + 5 + 1, 22}, {3, 3, 3 + 3, 12}, {4, 4, 8, 16},
        {5, 5, 5 + 1 + 5 + 1, 20}, {1, 1, 2, 4},      {0, 0, 0, 0},
    };
    for (const FenceCase& c : cases) {
        EXPECT_EQ(AnimalFarmFence(10, 20, c.w, c.h).size(), c.animal) << c.w << " x " << c.h;
        EXPECT_EQ(AttractionFence(10, 20, c.w, c.h).size(), c.attraction) << c.w << " x " << c.h;
    }
}

TEST(FactoryFence, AnimalFarmTilesAndSides) {
    const std::vector<FenceTile> fence = AnimalFarmFence(10, 20, 6, 5);
    ASSERT_EQ(fence.size(), 14u);
    EXPECT_EQ(fence.front(), (FenceTile{10, 20, 0, 0}));
    // The bottom edge: two tiles from the left corner.
    EXPECT_EQ(fence[6], (FenceTile{10, 24, 2, 0}));
    EXPECT_EQ(fence[7], (FenceTile{11, 24, 2, 0}));
    // Left edge with name field 1, then the right edge's one tile.
    EXPECT_EQ(fence[8], (FenceTile{10, 20, 3, 1}));
    EXPECT_EQ(fence.back(), (FenceTile{15, 20, 1, 1}));
    for (const FenceTile& t : fence) {
        EXPECT_GE(t.x, 10);
        EXPECT_LT(t.x, 16);
        EXPECT_GE(t.y, 20);
        EXPECT_LT(t.y, 25);
    }
}

} // namespace
