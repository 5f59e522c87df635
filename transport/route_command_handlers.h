// The execution of the route commands: laying a road or track between two
// tiles (a player's, with a preview mode, and a computer company's), and
// removing or reverting it, through the build planner, the construction
// queue and the demolition.
#pragma once

#include <cstdint>

class Game;

// Makes the game's route commands act on the current world, and gives the
// route section of a saved game the construction queue.
void InstallRouteCommands(Game& game);

// The ways of a company that is bought or replaced, direction by
// direction (each direction of a road or track tile has its own owner).
// Every direction that company `from` owns goes to `to`; the number of
// directions handed over.
uint32_t HandOverRouteDirections(uint32_t from, uint32_t to);
// A company that gives up leaves its ways to the neutral player: its
// bridge and tunnel spans are removed whole, the signals on its track are
// removed, and every direction it owns goes to the neutral player.
void ReleaseCompanyRoutes(uint32_t company);
