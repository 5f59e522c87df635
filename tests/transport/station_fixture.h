// A fresh world with stations installed for each test, on the shipped game
// data and station layouts (read once), with a human player in slot 0.
#pragma once

#include "tests/world/world_fixture.h"

#include "data/database.h"
#include "platform/file.h"
#include "transport/station.h"
#include "transport/station_layout.h"
#include "world/player.h"

#include <gtest/gtest.h>

#include <string>

class StationTest : public WorldTest {
protected:
    static void SetUpTestSuite() {
        std::string database;
        ASSERT_TRUE(plat::ReadWholeFile("gamedata/config/MDConfig.gen", database));
        Database& db = GetDatabase();
        db.Init();
        ASSERT_TRUE(db.Read(database));
        ASSERT_TRUE(db.ApplyAllTables(KindSelector::All));
        std::string layouts;
        ASSERT_TRUE(plat::ReadWholeFile("gamedata/station_config.txt", layouts));
        GetStationLayouts().Clear();
        ASSERT_EQ(GetStationLayouts().Read(layouts, "station_config.txt"), 0u);
    }

    void SetUp() override {
        WorldTest::SetUp();
        GetStationHooks() = StationHooks{};
        InstallStations();
        auto player = std::make_unique<Player>(0);
        player->Pay(1000000, -1, 0);
        AddPlayer(std::move(player), true);
    }
    void TearDown() override {
        DeleteAllMapObjects();
        DeleteAllPlayers();
        WorldTest::TearDown();
    }

    // A station of a kind set up at (x, y), not yet on the map.
    static Station* NewStation(int32_t kind, uint32_t rotation, int32_t x, int32_t y, int32_t owner = 0) {
        auto* station = dynamic_cast<Station*>(CreateMapObject(kCategoryBuilding, kStationSubtype));
        if (station)
            station->SetUp(owner, rotation, kind, x, y);
        return station;
    }
};
