// The program's clock: a wrapping 32-bit millisecond counter for game and
// frame timing, a nanosecond timestamp for profiling, and a fake mode that
// tests and headless runs advance by hand.
#pragma once

#include <cstdint>

namespace plat {

class Clock {
public:
    // Milliseconds since the clock started; wraps at 2^32.
    static uint32_t Millis();
    // Nanoseconds on a monotonic clock; for measuring, never for the simulation.
    static uint64_t Timestamp();
    static void Sleep(uint32_t ms);

    // Switches to the fake clock, which stands still at startMs until Advance.
    static void UseFake(uint32_t startMs);
    static void Advance(uint32_t ms);
    static void UseReal();
    static bool IsFake();
};

} // namespace plat
