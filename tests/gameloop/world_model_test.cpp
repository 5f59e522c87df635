#include "data/generated/terrain_tables.h"
#include "gameloop/game_log.h"
#include "gameloop/new_game.h"
#include "gameloop/saved_game.h"
#include "gameloop/world_model.h"
#include "platform/clock.h"
#include "platform/endian.h"
#include "world/cell_rows.h"
#include "world/mountain.h"
#include "world/object_manager.h"
#include "world/player.h"
#include "world/world_map.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// The game on the world model, whose parts live once per process.
struct WorldGame : testing::Test {
    WorldGame() {
        previous = SetGameLogSink([](const std::string&) {});
        plat::Clock::UseFake(0);
        ConnectWorldModel(game, world);
        StartGame(game, 99);
    }
    ~WorldGame() override {
        SetGameLogSink(previous);
        plat::Clock::UseReal();
    }
    void Run(int frames) {
        for (int i = 0; i < frames; ++i) {
            game.AdvanceFrame(25);
            game.Step();
        }
    }
    std::vector<uint8_t> Bytes() {
        std::vector<uint8_t> bytes;
        EXPECT_TRUE(SaveGameToMemory(game, bytes));
        return bytes;
    }

    WorldModelHooks world;
    Game game;
    GameLogSink previous;
};

TEST_F(WorldGame, StartsOnTheWorldsMapPlayersAndClock) {
    EXPECT_EQ(GetWorldMap().GetWidth(), 256u);
    EXPECT_TRUE(game.IsOccupied(0));
    EXPECT_TRUE(game.IsOccupied(4));
    EXPECT_FALSE(game.IsOccupied(1));
    Run(40);
    EXPECT_EQ(game.Clock().GetTime(), 1000u);
    EXPECT_EQ(game.Clock().GetTickCount(), 10u);
}

TEST_F(WorldGame, SaveLoadSaveIsByteIdenticalThroughTheWorldSections) {
    Run(500);
    std::vector<uint8_t> saved = Bytes();
    Run(500);
    ASSERT_TRUE(LoadGameFromMemory(game, saved));
    EXPECT_EQ(Bytes(), saved);
    Run(300);
    std::vector<uint8_t> continued = Bytes();
    ASSERT_TRUE(LoadGameFromMemory(game, saved));
    Run(300);
    EXPECT_EQ(Bytes(), continued);
}

TEST_F(WorldGame, AFailedLoadPutsTheWorldBack) {
    Run(100);
    std::vector<uint8_t> saved = Bytes();
    Run(100);
    std::vector<uint8_t> before = Bytes();
    saved.resize(saved.size() - 9);
    EXPECT_FALSE(LoadGameFromMemory(game, saved));
    EXPECT_EQ(Bytes(), before);
}

TEST_F(WorldGame, AResetLeavesTheCompaniesRecreatedAndTheSameEmptyWorldTwice) {
    Run(500);
    ResetWorld(game);
    // The local company and the neutral player exist again, so that the
    // next game's commands have their issuers.
    EXPECT_TRUE(game.IsOccupied(0));
    EXPECT_TRUE(game.IsOccupied(4));
    EXPECT_NE(GetCurrentPlayer(), nullptr);
    std::vector<uint8_t> once = Bytes();
    ResetWorld(game);
    EXPECT_EQ(Bytes(), once);
}

// Where chunks begin and end in bytes: the top-level chunks and, inside
// each, every run of payload that reads as a whole sequence of chunks.
void ChunkBoundaries(const std::vector<uint8_t>& bytes, size_t begin, size_t end, std::vector<size_t>& cuts) {
    std::vector<std::pair<size_t, size_t>> chunks;
    for (size_t pos = begin; pos < end;) {
        if (end - pos < 8)
            return;
        uint32_t size = plat::LoadLE32(bytes.data() + pos + 4);
        if (size < 8 || size > end - pos)
            return;
        chunks.push_back({pos, pos + size});
        pos += size;
    }
    for (auto [from, to] : chunks) {
        cuts.push_back(from);
        cuts.push_back(from + 8);
        cuts.push_back(to);
        ChunkBoundaries(bytes, from + 8, to, cuts);
    }
}

TEST_F(WorldGame, ACutAtAnyChunkBoundaryFailsAndLeavesTheWorld) {
    Run(200);
    std::vector<uint8_t> saved = Bytes();
    Run(100);
    std::vector<uint8_t> before = Bytes();
    std::vector<size_t> cuts;
    ChunkBoundaries(saved, 0, saved.size(), cuts);
    // The map's nested chunks, at least, are found.
    ASSERT_GT(cuts.size(), 3u * 17);
    for (size_t cut : cuts) {
        if (cut >= saved.size())
            continue;
        std::vector<uint8_t> cutFile(saved.begin(), saved.begin() + cut);
        EXPECT_FALSE(LoadGameFromMemory(game, cutFile)) << cut;
    }
    EXPECT_EQ(Bytes(), before);
}

// Saving drops the route flags; loading repairs terrain blocks that mix
// water and land.
// A save reads the world only: route flags A and B stay set in the running
// game and are stored clear.
TEST_F(WorldGame, SaveStoresRouteFlagsClearAndLoadChecksTerrainBlocks) {
    TerrainTable::GetOrCreateRow(1)->IsWater = 0;
    TerrainTable::GetOrCreateRow(2)->IsWater = 1;
    WorldMap& map = GetWorldMap();
    map.SetRouteKindAndClear(10, 10, 1);
    map.SetRouteFlagA(1, 10, 10, true);
    map.SetRouteFlagB(1, 10, 10, true);
    // The block of points (6, 6)-(7, 7) paints cells (4, 4)-(5, 5).
    map.CellAt(4, 4)->SetTerrainIndex(2);
    std::vector<uint8_t> saved = Bytes();
    EXPECT_TRUE(map.GetRouteFlagA(1, 10, 10));
    EXPECT_TRUE(map.GetRouteFlagB(1, 10, 10));
    EXPECT_EQ(map.GetTerrainIndex(4, 4), 2u);
    EXPECT_EQ(Bytes(), saved);
    ASSERT_TRUE(LoadGameFromMemory(game, saved));
    EXPECT_EQ(map.GetTerrainIndex(4, 4), 1u);
    EXPECT_EQ(map.GetCellKind(10, 10), uint32_t(kCellRoute));
    EXPECT_FALSE(map.GetRouteFlagA(1, 10, 10));
    EXPECT_FALSE(map.GetRouteFlagB(1, 10, 10));
}

// Loading stamps every mountain's shape again, whatever the saved map held
// under it, and removes the mountains that stand in open water; a second
// round trip then changes nothing.
TEST_F(WorldGame, LoadStampsMountainsAndDropsThoseInOpenWater) {
    TerrainTable::GetOrCreateRow(1);
    TerrainRow* water = TerrainTable::GetOrCreateRow(2);
    water->IsWater = 1;
    water->IsNavigable = 1;
    ValueTable shape;
    shape.Resize(2, 2);
    for (uint32_t c = 0; c < 2; ++c)
        for (uint32_t r = 0; r < 2; ++r)
            shape.SetCell(c, r, 2);
    MountainsTable::SetAreaDescription(0, shape);
    WorldMap& map = GetWorldMap();
    for (uint32_t y = 0; y < 40; ++y)
        for (uint32_t x = 0; x < 256; ++x)
            map.CellAt(x, y)->SetTerrainIndex(y < 20 ? 2 : 1);
    auto place = [](int32_t x, int32_t y) {
        auto* mountain = dynamic_cast<Mountain*>(CreateMapObject(kCategoryBuilding, Mountain::kSubtype));
        EXPECT_NE(mountain, nullptr);
        if (mountain)
            mountain->Place(x, y, 0, 0, 0, 0, true);
        return mountain ? mountain->GetId() : 0u;
    };
    const ObjectHandle dry = place(100, 100);
    const ObjectHandle wet = place(10, 10);
    // The saved map has lost a tile of the dry mountain's shape.
    map.ResetCell(101, 101);
    ASSERT_EQ(map.GetBuildingAt(101, 101), 0u);
    std::vector<uint8_t> saved = Bytes();

    ASSERT_TRUE(LoadGameFromMemory(game, saved));
    for (auto [x, y] : {std::pair{100u, 100u}, {101u, 100u}, {100u, 101u}, {101u, 101u}})
        EXPECT_EQ(map.GetBuildingAt(x, y), dry) << x << "," << y;
    EXPECT_EQ(BuildingFromId(wet), nullptr);
    EXPECT_EQ(map.GetBuildingAt(10, 10), 0u);
    std::vector<uint8_t> repaired = Bytes();
    EXPECT_NE(repaired, saved);
    ASSERT_TRUE(LoadGameFromMemory(game, repaired));
    EXPECT_EQ(Bytes(), repaired);
    ResetWorld(game);
    MountainsTable::Clear();
    TerrainTable::Clear();
}

} // namespace
