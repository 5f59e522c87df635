// A started game with towns and factories installed, on a 64 x 64 map of
// land with small tables of its own: houses of 10, 20, 30 and 40 people by
// level, size limits 50, 200, 400, 1000 and 5000, a growth delay of 1000 ms
// in every size class, one town style with its plan rules (blocks of 5 and
// 6 tiles, no reserved lots but the 1 % the draw gives), one factory type
// with a 2 x 2 (or 3 x 2) footprint.
#pragma once

#include "data/generated/economy_tables.h"
#include "data/generated/terrain_tables.h"
#include "data/generated/town_tables.h"
#include "economy/city.h"
#include "economy/city_config.h"
#include "economy/factory.h"
#include "economy/town_services.h"
#include "gameloop/game.h"
#include "gameloop/new_game.h"
#include "platform/clock.h"
#include "tests/world/economy_fixture.h"
#include "world/cell_rows.h"
#include "world/object_manager.h"
#include "world/world_map.h"
#include "world/world_services.h"

#include <gtest/gtest.h>

class TownTest : public ::testing::Test {
protected:
    static constexpr uint32_t kLand = 1, kWater = 2, kRock = 3;
    static constexpr int32_t kMill = 1;

    void SetUp() override {
        plat::Clock::UseFake(0);
        TerrainTable::Clear();
        TerrainTable::GetOrCreateRow(kLand)->TerrainType = 1;
        TerrainRow* water = TerrainTable::GetOrCreateRow(kWater);
        water->IsWater = water->IsNavigable = 1;
        water->CanBuildBuilding = water->CanBuildRoute = 0;
        water->TerrainType = 2;
        TerrainRow* rock = TerrainTable::GetOrCreateRow(kRock);
        rock->CanBuildBuilding = 0;
        rock->TerrainType = 3;

        LivingBuildingTable::Clear();
        LivingBuildingRow* house = LivingBuildingTable::GetOrCreateRow(0);
        house->Population.Resize(1, 4);
        for (uint32_t level = 0; level < 4; ++level)
            house->Population.SetCell(0, level, float(10 * (level + 1)));
        CityGrowingConfigTable::Clear();
        ValueTable& limits = CityGrowingConfigTable::GetOrCreateRow(0)->CityPopulationSizeLimit;
        limits.Resize(1, 6);
        const float values[6] = {0, 50, 200, 400, 1000, 5000};
        for (uint32_t r = 0; r < 6; ++r)
            limits.SetCell(0, r, values[r]);
        ValueTable& delays = CityGrowingConfigTable::GetOrCreateRow(0)->CitySizeBaseUpdateDelay;
        delays.Resize(1, 6);
        for (uint32_t r = 0; r < 6; ++r)
            delays.SetCell(0, r, 1000);
        CityStyleTable::Clear();
        CityStyleRow* style = CityStyleTable::GetOrCreateRow(0);
        style->Shape_TerrainInfluence = style->Shape_BuildingInfluence = 1;
        style->Shape_CenterInfluence = 4;
        style->Shape_RoadInfluence = 3;
        style->Distribution_TerrainInfluence = style->Distribution_BuildingInfluence = 1;
        style->Distribution_CenterInfluence = 4;
        style->Distribution_RoadInfluence = 3;
        style->XDim = style->YDim = 31;
        style->BaseSpeed = 1.0f;

        FactoryTable::Clear();
        FactoryRow* mill = FactoryTable::GetOrCreateRow(kMill);
        mill->Name = "Mill";
        mill->MinimumDistanceToCity = 10;
        FactoryLayoutTable::Clear();
        FactoryLayoutTable::GetOrCreateRow(0)->MapSize = economy_fixture::MakeTable({{2, 2}, {2, 2}});
        FactoryLayoutTable::GetOrCreateRow(1)->MapSize = economy_fixture::MakeTable({{3, 2}, {2, 3}});

        InstallTownsAndIndustry(game_);
        ConnectWorldModel(game_, world_);
        StartGame(game_, 1);
        // After the new game's own reading of the rules.
        ParseCityConfig(kRules, "fixture rules");
        SetMap(64, 64, kLand);
    }

    // The towns, objects and hooks go with the game's world.
    void TearDown() override {
        FactoryTable::Clear();
        FactoryLayoutTable::Clear();
        FactoryPlacingTypesTable::Clear();
        CityGrowingConfigTable::Clear();
        LivingBuildingTable::Clear();
        CityStyleTable::Clear();
        ClearCityConfig();
    }

    static constexpr const char* kRules = "BUILDING_SIZE_DISTRIBUTION_SET_BEGIN 0\n"
                                          "100 30 10 0  100 40 20 5  100 50 30 10\n"
                                          "100 50 30 10 100 50 30 10 100 50 30 10\n"
                                          "BUILDING_SIZE_DISTRIBUTION_SET_END\n"
                                          "BLOCK_SIZE_DISTRIBUTION_SET_BEGIN 0\n"
                                          "5 5\n6 5\n5 6\n6 6\n"
                                          "BLOCK_SIZE_DISTRIBUTION_SET_END\n";

    // A town as the map generator founds it: created, then its plan laid.
    static City* Found(int32_t x, int32_t y, int32_t w, int32_t h) {
        City* city = CreateCity(x, y, w, h, 0);
        if (city)
            city->InitPlan(false);
        return city;
    }

    static void SetMap(uint32_t w, uint32_t h, uint32_t terrain) {
        DeleteAllCities();
        DeleteAllMapObjects();
        ResetCellRows();
        GetWorldMap().ResetState();
        GetWorldMap().SetMapSizeNoReset(w, h);
        for (WorldCell& cell : GetWorldMap().GetGrid())
            cell.SetTerrainIndex(terrain);
    }
    static WorldMap& Map() { return GetWorldMap(); }

    // Grows a town by forced updates, as the map generator does, until it
    // reaches the population or ten updates in a row made no growth step;
    // the growth steps made.
    static uint32_t Grow(City& city, uint32_t population, uint32_t maxSteps = 5000) {
        uint32_t steps = 0, failures = 0;
        for (uint32_t updates = 0; city.GetPopulation() < population && steps < maxSteps && failures < 10;
             ++updates) {
            if (city.Update(0, true)) {
                ++steps;
                failures = 0;
            } else {
                ++failures;
            }
        }
        return steps;
    }

    Game game_;
    TownWorldHooks world_;
};
