// The world's random generator, as the game loop sees it: a linear
// congruential sequence whose state is saved with the game, so that every
// machine and every reloaded game draws the same values in the same order.
#pragma once

#include "world/random_streams.h"
#include "world/world.h"

#include <cstdint>

// A view of one world's generator: the world it is made with, by default
// the current one.
class GameRandomStream {
public:
    GameRandomStream() : world_(&CurrentWorld()) {}
    explicit GameRandomStream(World& world) : world_(&world) {}

    // The next value; the new state is the value itself.
    uint32_t Next() { return world_->gameRandom.Next(); }
    uint32_t State() const { return world_->gameRandom.State(); }
    void SetSeed(uint32_t seed) { world_->gameRandom.Seed(seed); }

private:
    World* world_;
};
