#include "engine/rank_set.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <random>
#include <set>
#include <vector>

namespace {

// Random inserts and erases over sets of one to three levels of words,
// each answer checked against a plain ordered set.
TEST(RankSet, BelowAndWalkMatchAnOrderedSet) {
    std::mt19937 rng(5);
    for (uint32_t n : {1u, 63u, 64u, 65u, 4096u, 4097u, 300000u}) {
        RankSet set;
        set.Reset(n);
        std::set<uint32_t> plain;
        for (int step = 0; step < 4000; ++step) {
            // Members cluster at times, so words empty and fill again.
            const uint32_t x = step % 2 ? uint32_t(rng() % n) : uint32_t(rng() % std::min(n, 200u));
            if (plain.count(x)) {
                set.Erase(x);
                plain.erase(x);
            } else {
                set.Insert(x);
                plain.insert(x);
            }
            const uint32_t q = uint32_t(rng() % n);
            auto it = plain.lower_bound(q);
            const int64_t expected = it == plain.begin() ? -1 : int64_t(*std::prev(it));
            ASSERT_EQ(set.Below(q), expected) << n << " step " << step;
        }
        std::vector<uint32_t> walked;
        set.ForEach([&](uint32_t x) { walked.push_back(x); });
        EXPECT_EQ(walked, std::vector<uint32_t>(plain.begin(), plain.end())) << n;
        // Emptied by Reset, also when it shrinks.
        set.Reset(n / 2 + 1);
        walked.clear();
        set.ForEach([&](uint32_t x) { walked.push_back(x); });
        EXPECT_TRUE(walked.empty()) << n;
        EXPECT_EQ(set.Below(uint32_t(n / 2)), -1) << n;
    }
}

} // namespace
