// The world's random generator, as the game loop sees it: a linear
// congruential sequence whose state is saved with the game, so that every
// machine and every reloaded game draws the same values in the same order.
#pragma once

#include "world/random_streams.h"

#include <cstdint>

class GameRandomStream {
public:
    // The next value; the new state is the value itself.
    uint32_t Next() { return GameRandom(); }
    uint32_t State() const { return GetGameRandomSeed(); }
    void SetSeed(uint32_t seed) { SetGameRandomSeed(seed); }
};
