// The world's random generator: a linear congruential sequence whose state
// is saved with the game, so that every machine and every reloaded game
// draws the same values in the same order.
#pragma once

#include <cstdint>

class GameRandomStream {
public:
    explicit GameRandomStream(uint32_t seed = 0) : state_(seed) {}

    // The next value; the new state is the value itself.
    uint32_t Next() {
        state_ = state_ * 1664525u + 1013904223u;
        return state_;
    }

    uint32_t State() const { return state_; }
    void SetSeed(uint32_t seed) { state_ = seed; }

private:
    uint32_t state_;
};
