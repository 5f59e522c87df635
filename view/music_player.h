// The music player: once per frame it starts a random music file of the
// folder that fits the game year ("soundtrack/<row>" of the Soundtrack
// table under the installation folder), keeps the music volume applied
// while it plays, and after a file ends waits that row's pause before the
// next. Main thread only.
#pragma once

#include <cstdint>

void MusicPlayer();

// The game year the player chooses by; the current game clock's by default.
void SetMusicYearSource(uint32_t (*year)());
// Puts the player back to its state at start (the first file plays at once)
// and seeds its own runtime-style random stream.
void ResetMusicPlayer(uint32_t seed = 1);
