// The companies, events and static objects of mdtool's world commands: the
// part of the demo world they make, their lines of the summary, and the
// calendar run of a saved world.
#pragma once

#include <cstdint>
#include <string>

namespace mdtool {

// The installation folder is the one above the database's folder, where
// the company names are looked for.
void UseInstallFolderOf(const std::string& databasePath);
// Adds players with money and bookings, a bridge, a tunnel, a storage hall
// with stock, a water tower, a headquarters, town houses, a mountain and a
// special building to the demo world on a map of w x h tiles.
void AddEconomyDemo(uint32_t w, uint32_t h, uint32_t seed);
// Each player's money, kind and names.
void PrintEconomyInfo();
// Advances the clock month by month, running the month and year hooks of
// buildings, special events and players.
void RunCalendarMonths(uint32_t months);

} // namespace mdtool
