// A fresh world for each test, current until the test ends: a running
// clock and a map of the given size painted with terrain 1, with a few
// terrain rows: 1 land, 2 water, 3 land on which nothing may be built.
#pragma once

#include "data/generated/route_tables.h"
#include "data/generated/terrain_tables.h"
#include "world/game_clock.h"
#include "world/object_manager.h"
#include "world/world.h"
#include "world/world_map.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>

class WorldTest : public ::testing::Test {
protected:
    static constexpr uint32_t kLand = 1, kWater = 2, kRock = 3;

    void SetUp() override { ResetWorld(64, 64); }
    void TearDown() override { EndWorld(); }

    // Replaces the test's world by a fresh one with a map of w x h.
    static void ResetWorld(uint32_t w, uint32_t h) {
        EndWorld();
        world_ = std::make_unique<World>();
        scope_.emplace(*world_);
        CreateGameClock(0);
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
        GetWorldMap().SetMapSize(w, h);
    }
    static void EndWorld() {
        scope_.reset();
        world_.reset();
    }

    static WorldMap& Map() { return GetWorldMap(); }
    // Sets the terrain of exactly one cell.
    static void SetTerrainOfCell(uint32_t x, uint32_t y, uint32_t t) {
        Map().CellAt(x, y)->SetTerrainIndex(t);
    }

private:
    static inline std::unique_ptr<World> world_;
    static inline std::optional<WorldScope> scope_;
};
