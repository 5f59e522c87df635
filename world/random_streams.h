// The game's random streams. Every draw of the simulation comes from one of
// these generators, so results never depend on the C library of the machine:
// the world's generator and the town houses' stream (both x * 1664525 +
// 1013904223) and a generator with the C runtime's constants (x * 214013 +
// 2531011, 15-bit results) for the map generator and the choice of company
// names.
#pragma once

#include <cstdint>

// One 32-bit linear congruential stream.
template <uint32_t Multiplier, uint32_t Increment>
class LinearCongruential {
public:
    explicit constexpr LinearCongruential(uint32_t seed = 0) : state_(seed) {}
    constexpr void Seed(uint32_t seed) { state_ = seed; }
    constexpr uint32_t State() const { return state_; }
    // Advances the stream and answers the new state.
    constexpr uint32_t Next() {
        state_ = state_ * Multiplier + Increment;
        return state_;
    }

private:
    uint32_t state_;
};

using WorldRandomStream = LinearCongruential<1664525u, 1013904223u>;

// The runtime-style generator: the state advances as above with its own
// constants and each draw answers bits 16 to 30 of the new state (0..32767).
class RuntimeRandomStream {
public:
    static constexpr uint32_t kMax = 0x7FFF;
    explicit constexpr RuntimeRandomStream(uint32_t seed = 1) : lcg_(seed) {}
    constexpr void Seed(uint32_t seed) { lcg_.Seed(seed); }
    constexpr uint32_t State() const { return lcg_.State(); }
    constexpr uint32_t Next() { return (lcg_.Next() >> 16) & kMax; }

private:
    LinearCongruential<214013u, 2531011u> lcg_;
};

// The world's generator: answers the new seed. Events and the simulation
// draw from it.
uint32_t GameRandom();
void SetGameRandomSeed(uint32_t seed);
uint32_t GetGameRandomSeed();

// The runtime-style generator shared by the map generator and the company
// names; seeded with 1 when a world is made, like the runtime it stands for.
uint32_t RuntimeRandom();
void SeedRuntimeRandom(uint32_t seed);

// The town houses' own stream (state 0 when a world is made); not saved.
WorldRandomStream& HouseRandomStream();
