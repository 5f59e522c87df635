#include "view/random_table.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

std::vector<uint32_t> SeededValues(uint32_t v, uint32_t* stateAfter) {
    std::vector<uint32_t> values;
    for (int i = 0; i < 64; ++i) {
        values.push_back(v);
        v = v * 1664525u + 1013904223u;
    }
    *stateAfter = v;
    return values;
}

TEST(RandomTable, FirstDrawIsTheSeededSlotChosenByTheStateAndSlotsRefillWithTheNewestState) {
    for (uint32_t seed : {0u, 1u, 12345u, 0xFFFFFFFFu}) {
        uint32_t v = 0;
        const std::vector<uint32_t> seeded = SeededValues(seed, &v);
        SeedRandomTableWith(seed);
        const uint32_t first = RandomTable();
        EXPECT_EQ(first, seeded[(v >> 13) & 63]) << seed;
        EXPECT_NE(first, v * 1664525u + 1013904223u) << seed;
        // The slot just read now holds the newest state; reading it again
        // (when the previous output points there) gives that state.
        const uint32_t second = RandomTable();
        const uint32_t slot = (first >> 13) & 63;
        if (slot == ((v >> 13) & 63)) {
            EXPECT_EQ(second, v * 1664525u + 1013904223u) << seed;
        } else {
            EXPECT_EQ(second, seeded[slot]) << seed;
        }
    }
}

TEST(RandomTable, SameSeedRepeatsItsSequenceAndOtherSeedsDiffer) {
    SeedRandomTableWith(99);
    std::vector<uint32_t> a, b, c;
    for (int i = 0; i < 200; ++i)
        a.push_back(RandomTable());
    SeedRandomTableWith(99);
    for (int i = 0; i < 200; ++i)
        b.push_back(RandomTable());
    SeedRandomTableWith(100);
    for (int i = 0; i < 200; ++i)
        c.push_back(RandomTable());
    EXPECT_EQ(a, b);
    EXPECT_NE(a, c);
}

} // namespace
