// The presentation's random source: a linear congruential generator behind a
// 64-slot shuffle, the previous output choosing the slot of the next. Seeded
// from the millisecond clock at start-up; never part of saved or networked
// state, and never drawn by the simulation. Main thread only.
#pragma once

#include <cstdint>

// The next 32-bit number.
uint32_t RandomTable();
// Seeds from the millisecond clock (done once at start-up).
void SeedRandomTable();
// Seeds from a given value, for tests and repeatable runs.
void SeedRandomTableWith(uint32_t seed);
