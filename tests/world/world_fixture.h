// A fresh world for each test: an empty object manager, reset row pools and
// a map of the given size painted with terrain 1, with a few terrain rows:
// 1 land, 2 water, 3 land on which nothing may be built.
#pragma once

#include "data/generated/route_tables.h"
#include "data/generated/terrain_tables.h"
#include "world/object_manager.h"
#include "world/world_map.h"
#include "world/world_services.h"

#include <gtest/gtest.h>

class WorldTest : public ::testing::Test {
protected:
    static constexpr uint32_t kLand = 1, kWater = 2, kRock = 3;

    void SetUp() override { ResetWorld(64, 64); }
    void TearDown() override {
        DeleteAllMapObjects();
        Services() = WorldServices{};
    }

    static void ResetWorld(uint32_t w, uint32_t h) {
        DeleteAllMapObjects();
        Services() = WorldServices{};
        TerrainTable::Clear();
        TerrainTable::GetOrCreateRow(kLand);
        TerrainRow* water = TerrainTable::GetOrCreateRow(kWater);
        water->IsWater = 1;
        water->IsNavigable = 1;
        water->CanBuildBuilding = 0;
        water->CanBuildRoute = 0;
        TerrainRow* rock = TerrainTable::GetOrCreateRow(kRock);
        rock->CanBuildBuilding = 0;
        rock->CanBuildRoute = 0;
        ResetCellRows();
        GetWorldMap().ResetState();
        GetWorldMap().SetMapSize(w, h);
    }

    static WorldMap& Map() { return GetWorldMap(); }
    // Sets the terrain of exactly one cell.
    static void SetTerrainOfCell(uint32_t x, uint32_t y, uint32_t t) {
        Map().CellAt(x, y)->SetTerrainIndex(t);
    }
};
