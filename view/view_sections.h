// Hooks the map view into the game: its saved-game sections ("WoP", the
// interface state "gsta" and the minimap's "mmap", which loads skip) and
// the database columns whose changes the view's colour tables follow.
#pragma once

class Game;

void InstallViewSections(Game& game);
void UninstallViewSections(Game& game);

// The sections' routines on the current chunk stream and world, as the
// game calls them.
bool SerializeMapViewSection();
bool SerializeInterfaceSection();
bool SerializeMiniMapSection();
