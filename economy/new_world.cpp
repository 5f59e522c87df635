#include "economy/new_world.h"

#include "economy/city.h"
#include "gameloop/game.h"
#include "gameloop/game_log.h"
#include "vehicles/private_car.h"
#include "world/game_clock.h"
#include "world/island_template.h"
#include "world/living_building.h"
#include "world/map_check.h"
#include "world/mountain.h"
#include "world/random_streams.h"
#include "world/static_object_services.h"
#include "world/world_map.h"

namespace {

void SetClockYear(uint32_t year) {
    if (GameClock* clock = GetGameClock())
        clock->SetYear(year);
}

} // namespace

bool GenerateNewWorld(Game& game, const NewWorldOptions& options, const MapGeneratorProgress& progress) {
    const MapGeneratorSettings& s = options.settings;
    if (s.MapWidth < 2 || s.MapHeight < 2 || s.MapWidth > kMaxMapSize || s.MapHeight > kMaxMapSize ||
        s.MapWidth % 2 || s.MapHeight % 2) {
        GameLog("map generator: a map of %u x %u tiles cannot be made", s.MapWidth, s.MapHeight);
        return false;
    }
    WorldScope scope(game.GetWorld());
    GetMapGeneratorSettings() = s;
    // The world depends on the seed alone: the houses' stream starts where
    // a new process starts it, and the towns and the factories' layouts draw
    // from the game's generator seeded anew.
    SeedRuntimeRandom(options.seed);
    SetGameRandomSeed(options.seed);
    HouseRandomStream().Seed(0);
    SetClockYear(options.startYear);
    SetMapGeneratorFlag(false);
    GenerateMap(progress);
    // The factory lines' build commands run now, on the map as generated.
    game.DrainCommands();
    PrepareGeneratedWorld();
    SetClockYear(options.startYear);
    SetMapGeneratorFlag(true);
    ClearIslandList();
    MapCheck::CheckCells();
    MapCheck();
    ApplyMou1Templates();
    PregrowCities();
    CurrentRegion() = s.RegionCode;
    game.SetMapSize(GetWorldMap().GetWidth(), GetWorldMap().GetHeight());
    return true;
}

void StartEndlessGameYear(Game& game, uint32_t year) {
    WorldScope scope(game.GetWorld());
    SetClockYear(year);
    PregrowCities();
    RemoveAllPrivateCars();
}
