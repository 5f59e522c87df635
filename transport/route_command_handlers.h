// The execution of the route commands: laying a road or track between two
// tiles (a player's, with a preview mode, and a computer company's), and
// removing or reverting it, through the build planner, the construction
// queue and the demolition.
#pragma once

class Game;

// Makes the game's route commands act on the current world, and gives the
// route section of a saved game the construction queue.
void InstallRouteCommands(Game& game);
