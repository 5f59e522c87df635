// New game and world reset: from nothing to a started, empty game on a
// 256 x 256 map with a fresh local session, and back to an empty world.
#pragma once

#include <cstdint>
#include <string>

class Game;

inline constexpr uint32_t kNewGameMapSize = 256;
// Maps are square or oblong, even-sized, at most this many tiles a side.
inline constexpr uint32_t kLargestMapSide = 2048;

// The loop's globals to their empty state: not started, timestamps 0, no
// mission goals.
void ResetGameGlobals(Game& game);
// An empty, started world of the map size; the clock starts again.
void NewGameInit(Game& game, uint32_t mapWidth = kNewGameMapSize, uint32_t mapHeight = kNewGameMapSize);
// Empties every part of the world in the reset's order.
void ResetWorld(Game& game);
// Starts a game unless one runs: a new local session, the globals reset,
// the empty world, the random generator seeded, the session running.
void StartGame(Game& game, uint32_t seed);

// Reads the game database "config/MDConfig.gen" and the interface texts
// "config/ingame.txt" under the base folder; with reload set, both are
// emptied first. False, with a log line, when either cannot be read.
bool LoadGameTexts(const std::string& baseFolder, bool reload);
