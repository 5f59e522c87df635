// Presentation of numbers in the in-game dialogs: money amounts rounded away
// from zero to their leading digit, and the speed figure of a vehicle.
#pragma once

#include <cstdint>

struct AmountDivision {
    int64_t quotient;
    int64_t remainder;
};

AmountDivision DivideAmount(int64_t amount, int64_t divisor);

// Rounds a non-negative amount up to its step (1000 for 1000..9999, 10000
// for 10000..99999, ..., at most 10^9); amounts below 1000 and negative ones
// stay as they are.
void RoundUpAmount(int64_t& amount);
// The same for a non-positive amount, rounded down (away from zero).
void RoundDownAmount(int64_t& amount);

// 31000 / travel time per tile, truncated; 0 for a time that is zero, not a
// number, or gives no whole number (the division would be undefined).
int64_t SpeedFromTravelTime(float travelTimeMsPerSquare);
