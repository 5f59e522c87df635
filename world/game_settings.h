// What the world model keeps of the running game's settings for the layers
// above it: the in-game settings saved with a game (unlimited money, the
// mission and its difficulty) and the installation paths the front end
// sets at start-up. The defaults describe a game without a mission run from
// the current folder.
#pragma once

#include <cstdint>
#include <string>

struct UiState {
    // 1 when the current player's money stands still (endless game, high
    // difficulty choice).
    uint8_t UnlimitedMoney = 0;
    // 0xFFFFFFFF when no mission is played.
    uint32_t CurrentMission = 0xFFFFFFFFu;
    // Row of the mission-difficulty tables, 0xFFFFFFFF when none is chosen.
    uint32_t MissionDifficulty = 0xFFFFFFFFu;
    // Non-zero when vehicles wear as they travel (with a mission difficulty
    // that is not 0).
    uint32_t VehicleWear = 0;
};

UiState& GetUiState();
void ResetUiState();

// The installation folder (default ".") and its configuration sub-folder
// (default "config"), where "AINames.txt" is looked for.
std::string& InstallPath();
std::string& ConfigFolderName();
