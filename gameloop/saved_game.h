// Saving and loading whole games: a header chunk and sixteen sections in a
// fixed order, each written by the owner of its objects. A load checks the
// whole file, builds a fresh world from it and swaps that in only when the
// whole load succeeded, so a failed load never touches the running world.
// A save only reads the world. The yearly autosave keeps one file per game.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

class Game;

// The sections' tags, in their order.
extern const uint32_t kSaveSectionTags[16];

// Writes the game; the file is replaced only when the whole save succeeded.
// packed writes the compressed variant.
bool SaveGame(Game& game, const std::string& path, bool packed = false);
// Replaces the running game by a saved one. False, with a log line and the
// running game as it was, when the file cannot be read or is damaged.
bool LoadGame(Game& game, const std::string& path, bool packed = false);

// The same in memory.
bool SaveGameToMemory(Game& game, std::vector<uint8_t>& bytes);
bool LoadGameFromMemory(Game& game, std::span<const uint8_t> bytes);

// Checks a saved game's outline: the header with its text, the sixteen
// sections in order with sizes inside the file, and the checksum of the
// sections when the header holds one. False with the reason otherwise.
bool CheckSavedGame(std::span<const uint8_t> bytes, std::string& reason);

// A checksum of the world's state in a saved game: every section but those
// of the interface (minimap, UI state, map view, news). False when the
// file is damaged.
bool HashSavedGame(std::span<const uint8_t> bytes, uint32_t& hash, std::string& reason);

// The yearly routine run when a date step crosses a year's end: the yearly
// updates, then, when the game's setting asks for it, the year's save in
// the save folder; the previous year's autosave is removed only once the
// new one is written.
void AutoSave(Game& game);
// The autosave's file name for a year: "<name>_map_<year>.mds".
std::string AutosaveFileName(const std::string& name, uint32_t year);
