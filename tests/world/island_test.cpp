#include "files/chunk_stream.h"
#include "files/memory_stream.h"
#include "files/packed_save.h"
#include "platform/endian.h"
#include "tests/files/scratch_folder.h"
#include "tests/world/world_fixture.h"
#include "world/cell_rows.h"
#include "world/game_settings.h"
#include "world/island_template.h"
#include "world/map_generator.h"
#include "world/mountain.h"
#include "world/world_errors.h"
#include "world/world_sections.h"

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

constexpr uint32_t kTagMap = ChunkTag("map");
constexpr uint32_t kTagMountains = ChunkTag("moun");

struct Record {
    uint32_t handle, category, subtype;
};

// A plain island file written chunk by chunk, so that tests can give it
// any content.
Bytes PlainFile(const std::function<void()>& body) {
    Bytes bytes;
    SaveStreamScope scope;
    std::string text(kSaveHeaderText);
    uint32_t version = kSaveStreamVersion;
    EXPECT_TRUE(BeginSaveStream(OpenMemoryWriteStream(bytes), text, version));
    body();
    EXPECT_TRUE(CloseStream()) << StreamError();
    return bytes;
}

void WriteMapChunk(uint32_t w, uint32_t h, const std::vector<WorldCell>& cells, uint32_t elementSize = 8) {
    uint32_t tag = kTagMap;
    BeginChunk(tag);
    uint8_t header[16] = {};
    plat::StoreLE32(header, w);
    plat::StoreLE32(header + 4, h);
    TransferSized(header, sizeof header);
    uint32_t count = uint32_t(cells.size());
    TransferListHeader(count, elementSize);
    for (WorldCell cell : cells) {
        std::vector<uint8_t> element(std::max(elementSize, 8u), 0);
        plat::StoreLE32(element.data(), cell.word0);
        plat::StoreLE32(element.data() + 4, cell.word1);
        TransferInChunk(element.data(), elementSize);
    }
    EndChunk();
}

void WriteMountainChunk(const std::vector<Record>& records) {
    uint32_t tag = kTagMountains;
    BeginChunk(tag);
    uint32_t count = uint32_t(records.size());
    TransferListHeader(count, 12);
    for (const Record& r : records) {
        uint8_t bytes[12];
        plat::StoreLE32(bytes, r.handle);
        plat::StoreLE32(bytes + 4, r.category);
        plat::StoreLE32(bytes + 8, r.subtype);
        TransferInChunk(bytes, 12);
    }
    for (size_t i = 0; i < records.size(); ++i) {
        Mountain mountain;
        mountain.SetPosition(int32_t(i), 1);
        mountain.Save();
    }
    EndChunk();
}

void WriteClosingChunk() {
    uint32_t tag = 0;
    BeginChunk(tag);
    EndChunk();
}

std::vector<WorldCell> LandCells(uint32_t count, uint32_t terrain = 1) {
    std::vector<WorldCell> cells(count);
    for (WorldCell& cell : cells)
        cell.SetTerrainIndex(terrain);
    return cells;
}

Bytes SimpleFile(uint32_t w, uint32_t h, const std::vector<Record>& records = {}) {
    return PlainFile([&] {
        WriteMapChunk(w, h, LandCells(w * h));
        WriteMountainChunk(records);
        WriteClosingChunk();
    });
}

Bytes Cut(Bytes bytes, size_t n) {
    bytes.resize(bytes.size() - n);
    return bytes;
}

Record MountainRecord(uint32_t index) {
    return {MakeObjectHandle(kCategoryBuilding, index - 1), uint32_t(kCategoryBuilding),
            uint32_t(Mountain::kSubtype)};
}

class IslandTest : public WorldTest {
protected:
    void SetUp() override {
        WorldTest::SetUp();
        ClearIslandList();
    }
    void TearDown() override {
        ClearIslandList();
        InstallPath() = ".";
        GetMapGeneratorSettings() = MapGeneratorSettings{};
        WorldTest::TearDown();
    }

    // A 6 x 4 island: water around land, a rock, a 2 x 2 decoration, and
    // mountains at indices 1 and 3 (none at 2).
    static std::unique_ptr<IslandTemplate> SampleIsland() {
        auto island = std::make_unique<IslandTemplate>();
        island->width = 6;
        island->height = 4;
        island->headerWord2 = 17;
        island->headerWord3 = 0x10203;
        island->cells = LandCells(24, kWater);
        for (uint32_t x = 1; x < 5; ++x)
            for (uint32_t y = 1; y < 3; ++y)
                island->cells[y * 6 + x].SetTerrainIndex(kLand);
        island->cells[6 + 4].SetTerrainIndex(kRock);
        for (uint32_t dy = 0; dy < 2; ++dy)
            for (uint32_t dx = 0; dx < 2; ++dx) {
                WorldCell& cell = island->cells[(1 + dy) * 6 + 1 + dx];
                cell.SetKindBits(kCellDecoration);
                cell.word1 |= (5u << 8 | 3u) << 9;
                cell.word1 |= dx == 0 && dy == 0 ? (1u << 25 | 2u << 26) : (dx << 26 | dy << 29);
            }
        island->mountains.resize(3);
        for (size_t i : {0u, 2u}) {
            auto mountain = std::make_unique<Mountain>();
            mountain->SetPosition(int32_t(i) + 1, 2);
            mountain->SetTemplateIndex(int32_t(i));
            mountain->SetGraphicNumber(int32_t(i) + 7);
            island->mountains[i] = std::move(mountain);
        }
        return island;
    }
};

TEST_F(IslandTest, FileNameRule) {
    struct Case {
        const char* name;
        bool taken;
        uint32_t digits[4];
    } cases[] = {
        {"1121.mdi", true, {1, 1, 2, 1}}, {"4212_big.MDI", true, {4, 2, 1, 2}},
        {"9999.Mdi", true, {9, 9, 9, 9}}, {"0121.mdi", false, {}}, // printed again it reads 121
        {"112.mdi", false, {}},                                    // 7 characters
        {"1121mdi", false, {}},                                    // 7 characters, no extension
        {"12a1_x.mdi", false, {}},                                 // a letter among the digits
        {"1121.mds", false, {}},                                   // another extension
        {" 121.mdi", false, {}},                                   // a blank before the digits
        {"1121.mdi.bak", false, {}},                               // the extension is not last
    };
    for (const Case& c : cases) {
        uint32_t digits[4] = {7, 7, 7, 7};
        EXPECT_EQ(ParseIslandFileName(c.name, digits), c.taken) << c.name;
        if (c.taken) {
            for (int i = 0; i < 4; ++i)
                EXPECT_EQ(digits[i], c.digits[i]) << c.name;
        }
    }
}

TEST_F(IslandTest, SelectionByRegionClimateAndKinds) {
    struct Case {
        uint32_t digits[4];
        uint32_t region, climate;
        bool taken;
    } cases[] = {
        {{1, 1, 2, 1}, 1, 1, true},  {{1, 1, 2, 1}, 2, 1, false}, {{3, 1, 1, 1}, 2, 1, true},
        {{1, 2, 1, 1}, 1, 1, false}, {{1, 2, 1, 1}, 1, 3, true},  {{1, 1, 1, 1}, 1, 3, true},
        {{1, 1, 4, 1}, 1, 1, false}, {{1, 1, 1, 0}, 1, 1, false}, {{4, 2, 3, 3}, 4, 2, true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(IslandMatches(c.digits, c.region, c.climate), c.taken)
            << c.digits[0] << c.digits[1] << c.digits[2] << c.digits[3] << " region " << c.region
            << " climate " << c.climate;
}

TEST_F(IslandTest, RecordRoundTripIsByteIdentical) {
    auto island = SampleIsland();
    Bytes first, second;
    ASSERT_TRUE(SaveIslandToBytes(island.get(), first));
    IslandTemplate loaded;
    ASSERT_TRUE(LoadIslandFromBytes(first, &loaded)) << LastWorldError();
    ASSERT_TRUE(SaveIslandToBytes(&loaded, second));
    EXPECT_EQ(first, second);

    EXPECT_EQ(loaded.width, 6u);
    EXPECT_EQ(loaded.height, 4u);
    EXPECT_EQ(loaded.headerWord2, 17u);
    EXPECT_EQ(loaded.headerWord3, 0x10203u);
    for (size_t i = 0; i < loaded.cells.size(); ++i) {
        EXPECT_EQ(loaded.cells[i].word0, island->cells[i].word0) << i;
        EXPECT_EQ(loaded.cells[i].word1, island->cells[i].word1) << i;
    }
    ASSERT_EQ(loaded.mountains.size(), 3u);
    EXPECT_EQ(loaded.mountains[1], nullptr);
    for (size_t i : {0u, 2u}) {
        ASSERT_NE(loaded.mountains[i], nullptr);
        EXPECT_EQ(loaded.mountains[i]->GetX(), int32_t(i) + 1);
        EXPECT_EQ(loaded.mountains[i]->GetTemplateIndex(), int32_t(i));
        EXPECT_EQ(loaded.mountains[i]->GetGraphicNumber(), int32_t(i) + 7);
        // Never registered: no id, so it can never name a world tile.
        EXPECT_EQ(loaded.mountains[i]->GetId(), 0u);
    }
}

TEST_F(IslandTest, SaveAndLoadThroughFiles) {
    ScratchFolder folder;
    auto island = SampleIsland();
    ASSERT_TRUE(SaveIsland(folder / "1111.mdi", island.get()));
    IslandTemplate loaded;
    ASSERT_TRUE(LoadIsland(folder / "1111.mdi", &loaded)) << LastWorldError();
    EXPECT_EQ(loaded.cells.size(), 24u);

    EXPECT_FALSE(LoadIsland(folder / "missing.mdi", &loaded));
    EXPECT_TRUE(loaded.cells.empty());
    EXPECT_NE(LastWorldError().find("missing.mdi"), std::string::npos) << LastWorldError();

    // A record whose cells do not fill its size is not written at all.
    island->cells.pop_back();
    EXPECT_FALSE(SaveIsland(folder / "2111.mdi", island.get()));
    EXPECT_FALSE(plat::FileExists(folder / "2111.mdi"));
}

// Every cut of a small island's file, packed or plain, is refused and
// leaves the record empty.
TEST_F(IslandTest, EveryTruncationIsRefused) {
    auto island = SampleIsland();
    Bytes packed, plain;
    ASSERT_TRUE(SaveIslandToBytes(island.get(), packed));
    ASSERT_TRUE(UnpackSaveImage(packed, plain));
    for (size_t n = 0; n < plain.size(); ++n) {
        IslandTemplate loaded;
        loaded.width = 99;
        EXPECT_FALSE(LoadIslandFromPlainBytes(std::span(plain.data(), n), &loaded)) << "plain cut at " << n;
        EXPECT_EQ(loaded.width, 0u);
        EXPECT_TRUE(loaded.cells.empty());
        EXPECT_TRUE(loaded.mountains.empty());
    }
    for (size_t n = 0; n < packed.size(); ++n) {
        IslandTemplate loaded;
        EXPECT_FALSE(LoadIslandFromBytes(std::span(packed.data(), n), &loaded)) << "packed cut at " << n;
    }
    IslandTemplate whole;
    EXPECT_TRUE(LoadIslandFromPlainBytes(plain, &whole));
}

TEST_F(IslandTest, DamagedFilesAreRefused) {
    struct Case {
        const char* what;
        Bytes plain;
    } cases[] = {
        {"width 0", SimpleFile(0, 4)},
        {"height 0", SimpleFile(4, 0)},
        {"width 2049", PlainFile([] {
             WriteMapChunk(2049, 1, {});
             WriteMountainChunk({});
             WriteClosingChunk();
         })},
        {"more cells than tiles", PlainFile([] {
             WriteMapChunk(2, 2, LandCells(5));
             WriteMountainChunk({});
             WriteClosingChunk();
         })},
        {"fewer cells than tiles", PlainFile([] {
             WriteMapChunk(2, 2, LandCells(3));
             WriteMountainChunk({});
             WriteClosingChunk();
         })},
        {"cells of 4 bytes", PlainFile([] {
             WriteMapChunk(2, 2, LandCells(4), 4);
             WriteMountainChunk({});
             WriteClosingChunk();
         })},
        {"a mountain of index 0", SimpleFile(4, 4, {{MakeObjectHandle(1, 0) - 1, 1, 5}})},
        {"a mountain of another category", SimpleFile(4, 4, {{MakeObjectHandle(1, 0), 2, 5}})},
        {"a mountain of another subtype", SimpleFile(4, 4, {{MakeObjectHandle(1, 0), 1, 3}})},
        {"a handle of another category", SimpleFile(4, 4, {{MakeObjectHandle(2, 0), 1, 5}})},
        {"a mountain named twice", SimpleFile(4, 4, {MountainRecord(2), MountainRecord(2)})},
        {"no map chunk", PlainFile([] {
             WriteMountainChunk({});
             WriteClosingChunk();
         })},
        {"no mountain chunk", PlainFile([] {
             WriteMapChunk(2, 2, LandCells(4));
             WriteClosingChunk();
         })},
        {"two map chunks", PlainFile([] {
             WriteMapChunk(2, 2, LandCells(4));
             WriteMapChunk(2, 2, LandCells(4));
             WriteMountainChunk({});
             WriteClosingChunk();
         })},
        {"a record without its mountain", PlainFile([] {
             WriteMapChunk(2, 2, LandCells(4));
             uint32_t tag = kTagMountains;
             BeginChunk(tag);
             uint32_t count = 1;
             TransferListHeader(count, 12);
             uint8_t bytes[12];
             plat::StoreLE32(bytes, MakeObjectHandle(1, 0));
             plat::StoreLE32(bytes + 4, 1);
             plat::StoreLE32(bytes + 8, 5);
             TransferInChunk(bytes, 12);
             EndChunk();
             WriteClosingChunk();
         })},
    };
    for (const Case& c : cases) {
        IslandTemplate loaded;
        ClearWorldError();
        EXPECT_FALSE(LoadIslandFromPlainBytes(c.plain, &loaded)) << c.what;
        EXPECT_FALSE(LastWorldError().empty()) << c.what;
        EXPECT_TRUE(loaded.cells.empty()) << c.what;
    }
    // The sound neighbours of those cases load.
    IslandTemplate loaded;
    EXPECT_TRUE(
        LoadIslandFromPlainBytes(SimpleFile(3, 5, {MountainRecord(1), MountainRecord(0x7FFFF)}), &loaded))
        << LastWorldError();
    EXPECT_EQ(loaded.mountains.size(), 0x7FFFFu);
}

TEST_F(IslandTest, PackedHeaderClaimingHugeContentIsRefused) {
    Bytes packed;
    ASSERT_TRUE(SaveIslandToBytes(SampleIsland().get(), packed));
    plat::StoreLE32(packed.data() + 4, kMaxIslandPlainSize + 1);
    IslandTemplate loaded;
    EXPECT_FALSE(LoadIslandFromBytes(packed, &loaded));
    EXPECT_NE(LastWorldError().find("claims"), std::string::npos) << LastWorldError();
}

// Cells that name rows of pools the file does not carry become plain
// cells without any row, and no pool is touched.
TEST_F(IslandTest, CellsKeepNoRowIndex) {
    auto cell = [](uint32_t kind, uint32_t terrain, uint32_t rowBits, uint32_t high = 0) {
        WorldCell c;
        c.SetKindBits(kind);
        c.SetTerrainIndex(terrain);
        c.SetWaterColour(5);
        c.SetRowBits(rowBits);
        c.word0 |= high;
        return c;
    };
    std::vector<WorldCell> cells = {
        cell(kCellRoute, kLand, 40),          cell(kCellFootprint, kLand, 7), cell(kCellPlain, kLand, 3),
        cell(kCellWaterway, kWater, 2),       cell(kCellWaterway, kLand, 0),  cell(7, kLand, 9),
        cell(kCellPlain, kLand, 0, 7u << 29), cell(kCellRoute, kWater, 0),
    };
    Rows().route.Alloc();
    const uint32_t routeRows = Rows().route.Size(), plainRows = Rows().plain.Size();
    for (uint32_t elementSize : {8u, 16u}) {
        IslandTemplate loaded;
        ASSERT_TRUE(LoadIslandFromPlainBytes(PlainFile([&] {
                                                 WriteMapChunk(4, 2, cells, elementSize);
                                                 WriteMountainChunk({});
                                                 WriteClosingChunk();
                                             }),
                                             &loaded))
            << LastWorldError();
        const uint32_t expectedKinds[] = {kCellPlain, kCellPlain, kCellPlain, kCellWaterway,
                                          kCellPlain, kCellPlain, kCellPlain, kCellPlain};
        for (size_t i = 0; i < cells.size(); ++i) {
            EXPECT_EQ(loaded.cells[i].Kind(), expectedKinds[i]) << i;
            EXPECT_EQ(loaded.cells[i].RowBits(), 0u) << i;
            EXPECT_EQ(loaded.cells[i].TerrainIndex(), cells[i].TerrainIndex()) << i;
            EXPECT_EQ(loaded.cells[i].WaterColour(), 5u) << i;
            EXPECT_EQ(loaded.cells[i].word0 >> 29, 0u) << i;
        }
    }
    EXPECT_EQ(Rows().route.Size(), routeRows);
    EXPECT_EQ(Rows().plain.Size(), plainRows);
}

TEST_F(IslandTest, WholeWorldRoundTrip) {
    ResetWorld(8, 6);
    Map().SetRouteKindAndClear(1, 1, 1);
    Map().SetTrackDirections(1, 1, 5);
    SetTerrainOfCell(4, 4, kWater);
    Map().SetRouteKindAndClear(4, 4, 4);
    ASSERT_TRUE(Map().PlaceDecoration(5, 1, 3, 2));
    auto* mountain = static_cast<Mountain*>(
        CreateMapObject(kCategoryBuilding, Mountain::kSubtype, MakeObjectHandle(kCategoryBuilding, 4)));
    ASSERT_NE(mountain, nullptr);
    mountain->SetPosition(2, 3);
    mountain->SetTemplateIndex(1);
    auto* house = static_cast<Building*>(CreateMapObject(kCategoryBuilding, 0));
    ASSERT_TRUE(house->Place(6, 3, 0, 1, 1, 1));
    const WorldCell decoration = *Map().CellAt(5, 1), waterway = *Map().CellAt(4, 4);

    Bytes file;
    ASSERT_TRUE(SaveIslandToBytes(nullptr, file));
    ResetWorld(20, 20);
    CreateMapObject(kCategoryBuilding, Mountain::kSubtype);
    ASSERT_TRUE(LoadIslandFromBytes(file, nullptr)) << LastWorldError();

    EXPECT_EQ(Map().GetWidth(), 8u);
    EXPECT_EQ(Map().GetHeight(), 6u);
    // Routes and footprints need rows the file does not carry.
    EXPECT_EQ(Map().GetCellKind(1, 1), uint32_t(kCellPlain));
    EXPECT_EQ(Map().GetCellKind(6, 3), uint32_t(kCellPlain));
    EXPECT_EQ(Map().CellAt(5, 1)->word1, decoration.word1);
    EXPECT_EQ(Map().CellAt(4, 4)->Kind(), waterway.Kind());
    EXPECT_TRUE(Map().IsWater(4, 4));
    // The world's objects were replaced by the file's mountains alone.
    std::vector<MapObject*> buildings;
    GetMapObjects(buildings, kSelectCategory, kCategoryBuilding, 0, 0);
    ASSERT_EQ(buildings.size(), 1u);
    auto* loaded = dynamic_cast<Mountain*>(buildings[0]);
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(loaded->GetId(), MakeObjectHandle(kCategoryBuilding, 4));
    EXPECT_EQ(loaded->GetX(), 2);
    EXPECT_EQ(loaded->GetTemplateIndex(), 1);
}

// Mountains come with explicit ids, each past the end of the list: the
// list must grow in amortised steps (it once grew by half per mountain and
// ran out of memory at 48).
TEST_F(IslandTest, IslandWithManyMountainsLoadsAsWorld) {
    std::vector<Record> records;
    for (uint32_t i = 1; i <= 200; ++i)
        records.push_back(MountainRecord(i));
    ResetWorld(4, 4);
    // The mountains stand at (0, 1) to (199, 1).
    ASSERT_TRUE(LoadIslandFromPlainBytes(SimpleFile(256, 4, records), nullptr)) << LastWorldError();
    EXPECT_EQ(MapObjectSlotCount(kCategoryBuilding), 200u);
    EXPECT_NE(MapObjectFromId(MountainRecord(200).handle), nullptr);

    // On a narrower map the last ones stand off it: refused, the world kept.
    ClearWorldError();
    EXPECT_FALSE(LoadIslandFromPlainBytes(SimpleFile(198, 4, records), nullptr));
    EXPECT_NE(LastWorldError().find("at (198, 1) lies off the 198 x 4 map"), std::string::npos)
        << LastWorldError();
    EXPECT_EQ(Map().GetWidth(), 256u);
}

TEST_F(IslandTest, RefusedWorldLeavesTheWorldAlone) {
    ResetWorld(10, 10);
    CreateMapObject(kCategoryBuilding, 0);
    Map().SetTerrainAt(3, 3, kWater);
    struct Case {
        const char* what;
        Bytes plain;
    } cases[] = {
        {"an odd width", SimpleFile(5, 4)},
        {"a mountain of index 0", SimpleFile(4, 4, {{MakeObjectHandle(1, 0) - 1, 1, 5}})},
        {"a cut file", Cut(SimpleFile(4, 4), 9)},
    };
    for (const Case& c : cases) {
        EXPECT_FALSE(LoadIslandFromPlainBytes(c.plain, nullptr)) << c.what;
        EXPECT_EQ(Map().GetWidth(), 10u) << c.what;
        EXPECT_TRUE(Map().IsWater(1, 1)) << c.what;
        EXPECT_NE(MapObjectFromId(MakeObjectHandle(kCategoryBuilding, 0)), nullptr) << c.what;
    }
}

// An island's mountain shares its index with a world mountain; dropping
// the island must not free the world mountain's tile.
TEST_F(IslandTest, IslandMountainsNeverTouchTheWorld) {
    auto* world = static_cast<Mountain*>(CreateMapObject(kCategoryBuilding, Mountain::kSubtype));
    ASSERT_EQ(world->GetId(), MakeObjectHandle(kCategoryBuilding, 0));
    ASSERT_TRUE(Map().PlaceFootprint(1, 1, world->GetId(), 1, 1, 2));
    {
        IslandTemplate island;
        ASSERT_TRUE(LoadIslandFromPlainBytes(SimpleFile(4, 4, {MountainRecord(1)}), &island));
        ASSERT_NE(island.mountains[0], nullptr);
        island.mountains[0]->SetPosition(1, 1);
    }
    EXPECT_EQ(Map().GetCellKind(1, 1), uint32_t(kCellFootprint));
    EXPECT_EQ(Map().GetBuildingAt(1, 1), world->GetId());
}

TEST_F(IslandTest, ScanTakesMatchingFilesInNameOrder) {
    ScratchFolder folder;
    InstallPath() = folder.Path();
    Bytes good;
    ASSERT_TRUE(SaveIslandToBytes(SampleIsland().get(), good));
    const std::string content(good.begin(), good.end());
    folder.Write("islands/1112_z.MDI", content);
    folder.Write("islands/1121_a.mdi", content);
    folder.Write("islands/1111_bad.mdi", content.substr(0, content.size() / 2));
    folder.Write("islands/0111_zero.mdi", content);
    folder.Write("islands/2111_other.mdi", content);
    folder.Write("islands/1211_south.mdi", content);
    folder.Write("islands/1111.txt", content);
    folder.MakeFolder("islands/1111_dir.mdi");

    GetMapGeneratorSettings().RegionCode = 1;
    GetMapGeneratorSettings().Climate = 1;
    ScanIslands();
    ASSERT_EQ(IslandList().size(), 2u);
    const IslandTemplate& first = *IslandList()[0];
    EXPECT_EQ(first.fertilityKind, 1u);
    EXPECT_EQ(first.mountainKind, 2u);
    EXPECT_EQ(IslandList()[1]->fertilityKind, 2u);
    EXPECT_EQ(IslandList()[1]->mountainKind, 1u);
    EXPECT_EQ(first.regionMask, 1u);
    EXPECT_EQ(first.climateMask, 1u);
    EXPECT_EQ(first.width, 6u);

    // Climate 3 takes the southern island too; a new scan starts afresh.
    GetMapGeneratorSettings().Climate = 3;
    ScanIslands();
    ASSERT_EQ(IslandList().size(), 3u);
    EXPECT_EQ(IslandList()[2]->climateMask, 2u);

    InstallPath() = folder / "nowhere";
    ScanIslands();
    EXPECT_TRUE(IslandList().empty());
}

} // namespace
