// The world's sections of a saved game, written into and read from the
// current chunk stream: the clock ("time"), the tile map ("gmap"), the
// map objects ("obj"), the players ("plr") and the special events ("SPE").
#pragma once

// Clears the objects, the row pools, the map's registries (the grid keeps
// its size), the players and the special events; the state a load starts
// from.
void ResetWorldState();

// Writes the five sections and a closing chunk of tag 0.
bool SaveWorldSections();
// Reads the sections it finds, in any order, up to the chunk of tag 0, after ResetWorldState; needs
// a current clock for "time". False, with LastWorldError, when a section
// is refused.
bool LoadWorldSections();
