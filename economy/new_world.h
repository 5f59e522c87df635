// A new game on a generated map, in the order the map generator's screen
// runs it: settings and seed, the generator, the re-initialisation, the map
// checks and mountains, the factories' build commands and the towns'
// growth up to the start year.
#pragma once

#include "world/map_generator.h"

#include <cstdint>

class Game;

struct NewWorldOptions {
    MapGeneratorSettings settings;
    // Seeds the runtime-style generator that every draw comes from.
    uint32_t seed = 1;
    uint32_t startYear = 1850;
};

// Replaces the world of a started game (InstallTownsAndIndustry done) by a
// generated one. False, with a log line, when the settings cannot make a
// map (the world is then left as it was).
bool GenerateNewWorld(Game& game, const NewWorldOptions& options, const MapGeneratorProgress& progress = {});

// The start year chosen for an endless game on a loaded map: the clock goes
// to the start of the year, the towns grow up to it, and the private cars of
// the map go, so that the car types come anew from the start year's list.
void StartEndlessGameYear(Game& game, uint32_t year);
