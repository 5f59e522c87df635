// The computer's calendar date, for presentation that follows the user's
// seasons (never for the simulation).
#pragma once

#include <cstdint>

namespace plat {

// Day of the month 1..31 and month 0..11 on the local calendar.
void LocalDate(uint32_t& day, uint32_t& month);

} // namespace plat
