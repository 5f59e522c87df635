#include "data/generated/terrain_tables.h"
#include "gameloop/game_log.h"
#include "gameloop/map_import.h"
#include "gameloop/new_game.h"
#include "gameloop/saved_game.h"
#include "gameloop/world_model.h"
#include "platform/clock.h"
#include "platform/endian.h"
#include "tests/files/scratch_folder.h"
#include "world/island_template.h"
#include "world/player.h"
#include "world/world_map.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// An older-format map file: the header, a gap, the size block at the
// offset the header names, then one record per source cell whose terrain
// index and water colour come from the cell's place.
struct SiblingFile {
    uint32_t width = 16, height = 16;
    uint32_t blockOffset = 400;
    uint32_t (*terrainOf)(uint32_t x, uint32_t y) = [](uint32_t x, uint32_t y) { return (x + y) % 4; };

    std::string Bytes() const {
        std::string bytes(blockOffset + kSiblingSizeBlockSize, '\0');
        auto* b = reinterpret_cast<uint8_t*>(bytes.data());
        plat::StoreLE32(b + kSiblingSizeBlockField, blockOffset);
        plat::StoreLE32(b + blockOffset, width);
        plat::StoreLE32(b + blockOffset + 4, height);
        for (uint32_t y = 0; y < height; ++y) {
            for (uint32_t x = 0; x < width; ++x) {
                uint8_t record[kSiblingRecordSize] = {};
                plat::StoreLE16(record, uint16_t(0xE00F | (terrainOf(x, y) << 4)));
                plat::StoreLE16(record + 4, uint16_t(0xE07F | (((x / 2) % 64) << 7)));
                bytes.append(reinterpret_cast<const char*>(record), sizeof record);
            }
        }
        return bytes;
    }
};

struct MapImportTest : testing::Test {
    MapImportTest() {
        previous = SetGameLogSink([](const std::string&) {});
        plat::Clock::UseFake(0);
        ConnectWorldModel(game, world);
        StartGame(game, 5);
        // SB2 rows 0-3: matched by Terrain row 7, unmatched land, unmatched
        // water, and a row whose classification has no key.
        TerrainTable::Clear();
        TerrainSB2Table::Clear();
        for (int32_t row : {3, 7}) {
            TerrainRow* terrain = TerrainTable::GetOrCreateRow(row);
            terrain->TerrainType = 1;
            terrain->TerrainMixtureTyp = 2;
            terrain->BaseType = 3;
        }
        *TerrainSB2Table::GetOrCreateRow(0) = {1, 2, 3};
        *TerrainSB2Table::GetOrCreateRow(1) = {2, 9, 9};
        *TerrainSB2Table::GetOrCreateRow(2) = {3, 0, 0};
        *TerrainSB2Table::GetOrCreateRow(3) = {1, 200, 0};
    }
    ~MapImportTest() override {
        ResetWorld(game);
        TerrainTable::Clear();
        TerrainSB2Table::Clear();
        SetGameLogSink(previous);
        plat::Clock::UseReal();
    }
    std::vector<uint8_t> Saved() {
        std::vector<uint8_t> bytes;
        EXPECT_TRUE(SaveGameToMemory(game, bytes));
        return bytes;
    }
    std::string Write(const std::string& name, const std::string& bytes) {
        folder.Write(name, bytes);
        return folder / name;
    }

    ScratchFolder folder;
    WorldModelHooks world;
    Game game;
    GameLogSink previous;
};

TEST_F(MapImportTest, EveryOtherSourceCellPaintsItsTwoByTwoTiles) {
    SiblingFile file;
    std::string path = Write("Game.sb2", file.Bytes());
    // Without a sprite for row 7, row 3 is the one that draws (1, 2, 3).
    for (bool row7Drawn : {true, false}) {
        ASSERT_TRUE(ImportSiblingMap(game, path, [row7Drawn](int32_t row) { return row7Drawn || row != 7; }));
        WorldMap& map = GetWorldMap();
        ASSERT_EQ(map.GetWidth(), 8u);
        ASSERT_EQ(map.GetHeight(), 8u);
        EXPECT_EQ(game.MapWidth(), 8u);
        EXPECT_TRUE(game.IsOccupied(0));
        EXPECT_TRUE(game.IsOccupied(4));
        // Painting point (x, y) colours cell (x - 2, y - 2): inner cell (X, Y)
        // shows the source cell (X + 2, Y + 2) rounded down to even.
        const uint32_t expected[4] = {row7Drawn ? 7u : 3u, 0u, 900u, 0u};
        for (uint32_t y = 0; y + 2 < 8; ++y) {
            for (uint32_t x = 0; x + 2 < 8; ++x) {
                const uint32_t sx = (x + 2) & ~1u, sy = (y + 2) & ~1u;
                const uint32_t sb2 = file.terrainOf(sx, sy);
                EXPECT_EQ(map.GetTerrainIndex(x, y), expected[sb2]) << x << "," << y;
                if (sb2 == 2) {
                    EXPECT_EQ(map.CellAt(x, y)->WaterColour(), (sx / 2) % 64) << x << "," << y;
                }
            }
        }
    }
    // An empty hook counts every sprite as there.
    ASSERT_TRUE(ImportSiblingMap(game, path));
    EXPECT_EQ(GetWorldMap().GetTerrainIndex(0, 0), 7u);
}

TEST_F(MapImportTest, BadOrShortFilesAreRefusedBeforeTheWorldChanges) {
    std::string good = SiblingFile{}.Bytes();
    struct Case {
        const char* name;
        std::string bytes;
    };
    std::vector<Case> cases;
    for (size_t cut : {size_t(0), size_t(8), size_t(335), size_t(336), size_t(405), size_t(416),
                       size_t(416 + 8 * 16 * 3), good.size() - 1})
        cases.push_back({"cut", good.substr(0, cut)});
    auto sized = [](uint32_t w, uint32_t h) {
        SiblingFile file;
        file.width = w;
        file.height = h;
        return file.Bytes();
    };
    cases.push_back({"odd map", sized(6, 16)});
    cases.push_back({"empty", sized(0, 16)});
    cases.push_back({"map of 2", sized(16, 2)});
    cases.push_back({"map over 2048", sized(4100, 4)});
    std::string huge = good;
    plat::StoreLE32(reinterpret_cast<uint8_t*>(huge.data()) + 400, 4096);
    plat::StoreLE32(reinterpret_cast<uint8_t*>(huge.data()) + 404, 4096);
    cases.push_back({"sizes beyond the file", huge});
    std::string lost = good;
    plat::StoreLE32(reinterpret_cast<uint8_t*>(lost.data()) + kSiblingSizeBlockField, 0xFFFFFFF0u);
    cases.push_back({"block past the end", lost});

    GetWorldMap().CellAt(5, 5)->SetTerrainIndex(3);
    const std::vector<uint8_t> before = Saved();
    for (const Case& c : cases) {
        EXPECT_FALSE(ImportSiblingMap(game, Write("bad.sb2", c.bytes))) << c.name << " " << c.bytes.size();
        EXPECT_EQ(GetWorldMap().GetWidth(), 256u) << c.name;
    }
    EXPECT_FALSE(ImportSiblingMap(game, folder / "missing.sb2"));
    EXPECT_EQ(Saved(), before);
}

TEST_F(MapImportTest, AnIslandFileBecomesTheWholeWorld) {
    // A world of 32 x 24 with a painted corner, written as an island.
    NewGameInit(game, 32, 24);
    GetWorldMap().CellAt(3, 4)->SetTerrainIndex(7);
    std::string island = folder / "1234.mdi";
    ASSERT_TRUE(SaveIsland(island, nullptr));
    NewGameInit(game, 256, 256);

    std::vector<uint8_t> bytes;
    ASSERT_TRUE(plat::ReadWholeFile(island, bytes));
    const std::vector<uint8_t> before = Saved();
    EXPECT_FALSE(ImportMapFile(game, Write("cut.mdi", std::string(bytes.begin(), bytes.end() - 3))));
    EXPECT_FALSE(ImportMapFile(game, folder / "none.MDI"));
    EXPECT_EQ(Saved(), before);

    ASSERT_TRUE(ImportMapFile(game, island));
    EXPECT_EQ(GetWorldMap().GetWidth(), 32u);
    EXPECT_EQ(GetWorldMap().GetHeight(), 24u);
    EXPECT_EQ(game.MapWidth(), 32u);
    EXPECT_EQ(GetWorldMap().GetTerrainIndex(3, 4), 7u);
    // The companies are there again, as after a reset.
    EXPECT_TRUE(game.IsOccupied(0));
    EXPECT_TRUE(game.IsOccupied(4));
    EXPECT_NE(GetCurrentPlayer(), nullptr);
}

} // namespace
