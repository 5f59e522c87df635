// Hooks through which the map generator reaches the towns, the factories,
// the command queue and the game's other parts above the world model. The
// layer that owns them installs them; a hook left empty falls back to the
// behaviour written beside it, so the island pass runs alone in tests.
#pragma once

#include "world/map_generator.h"

#include <cstdint>
#include <functional>
#include <string>

// The steps of PrepareGeneratedWorld that belong to the layers above the
// world model, in the order they run.
enum class GeneratedWorldStep : uint32_t {
    ClearVehicleIndex,
    ClearNews,
    DeleteAllSchedules,
    ClearMissionGoals,
    ClearPrivateCars,
    ClearSignals,
    CreateRoutePlanners,
    MarkOpenWaterTiles,
    RebuildRoutePlannerGraphs,
    InitGimmickTileLists,
    CreateBuildRoutePlanner,
    LinkStationsAndBuildings,
    UpdateProductsInUse,
};

struct MapGeneratorServices {
    // Empties the whole world before the islands are laid. Empty: the world
    // model's own state is reset (ResetWorldState).
    std::function<void()> resetWorld;

    // Towns. Empty: no towns are founded.
    // Removes every town from the map and empties the town table.
    std::function<void()> removeAllTowns;
    // Founds a town at a tile with its rectangle and style; its index
    // 1..100, or 0 when none could be made.
    std::function<int32_t(int32_t x, int32_t y, int32_t width, int32_t height, int32_t style)> createTown;
    // One forced growth step; true when the town grew.
    std::function<bool(int32_t town)> growTown;
    std::function<uint32_t(int32_t town)> townPopulation;
    std::function<void(int32_t town, const std::string& name)> setTownName;
    // Removes the town from the map and deletes it.
    std::function<void(int32_t town)> removeTown;
    // Gives every factory its name after the towns exist. Empty: nothing.
    std::function<void()> renameAllFactories;

    // Factories. Empty deleteFactories: none are deleted; empty tests pass;
    // empty canPlaceFactory or postBuildFactory: no factory lines.
    // Deletes every factory whose kind is not the towns' own (5).
    std::function<void()> deleteFactories;
    std::function<bool(int32_t x, int32_t y, int32_t placingType)> factoryPlacingTest;
    std::function<bool(int32_t x, int32_t y, int32_t factoryType)> factoryFarEnoughFromTown;
    // Whether a factory of the type (any for -1) lies closer than distance.
    std::function<bool(int32_t x, int32_t y, int32_t factoryType, int32_t distance)> factoryOfTypeWithin;
    // The build command's test for the neutral player.
    std::function<bool(const FactoryRequest& request)> canPlaceFactory;
    // Posts the build command for the neutral player.
    std::function<void(const FactoryRequest& request)> postBuildFactory;

    // Steps of PrepareGeneratedWorld owned above the world. Empty: nothing.
    std::function<void(GeneratedWorldStep step)> prepareStep;
};

MapGeneratorServices& GeneratorServices();
