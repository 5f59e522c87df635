#include "view/random_table.h"

#include "platform/clock.h"

#include <array>

namespace {

constexpr uint32_t kMultiplier = 1664525u;
constexpr uint32_t kIncrement = 1013904223u;

struct Shuffle {
    uint32_t last = 0;
    uint32_t state = 0;
    std::array<uint32_t, 64> table{};

    Shuffle() { Seed(plat::Clock::Millis()); }

    void Seed(uint32_t v) {
        for (uint32_t& slot : table) {
            slot = v;
            v = v * kMultiplier + kIncrement;
        }
        state = v;
        last = v;
    }

    uint32_t Next() {
        const uint32_t i = (last >> 13) & 63u;
        const uint32_t result = table[i];
        state = state * kMultiplier + kIncrement;
        table[i] = state;
        last = result;
        return result;
    }
};

Shuffle& Table() {
    static Shuffle shuffle;
    return shuffle;
}

} // namespace

uint32_t RandomTable() {
    return Table().Next();
}

void SeedRandomTable() {
    Table().Seed(plat::Clock::Millis());
}

void SeedRandomTableWith(uint32_t seed) {
    Table().Seed(seed);
}
