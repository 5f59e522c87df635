// The world's sections of a saved game, written into and read from the
// current chunk stream: the clock ("time"), the tile map ("gmap") and the
// map objects ("obj").
#pragma once

// Clears the objects, the row pools and the map's registries (the grid
// keeps its size); the state a load starts from.
void ResetWorldState();

// Writes the three sections and a closing chunk of tag 0.
bool SaveWorldSections();
// Reads the sections it finds, in any order, up to the chunk of tag 0, after ResetWorldState; needs
// a current clock for "time". False, with LastWorldError, when a section
// is refused.
bool LoadWorldSections();
