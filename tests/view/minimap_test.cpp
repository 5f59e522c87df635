#include "data/generated/interface_tables.h"
#include "engine/surfaces.h"
#include "engine/textures.h"
#include "tests/engine/null_engine.h"
#include "tests/view/view_state_fixture.h"
#include "tests/world/world_fixture.h"
#include "view/interface_state.h"
#include "view/minimap.h"
#include "world/map_object.h"
#include "world/mountain.h"
#include "world/object_manager.h"
#include "world/special_building.h"

namespace {

constexpr uint32_t kLandColour = 0x20A020, kWaterColour = 0x2040F0, kTrackColour = 0x808080,
                   kRoadColour = 0xC0C0C0, kMountainColour = 0x806040, kSpecialColour = 0xF0E000;

void SetPaletteRow(int32_t row, uint32_t rgb) {
    MiniMap_S_DlgRow* r = MiniMap_S_DlgTable::GetOrCreateRow(row);
    r->ColorRed = int32_t(rgb >> 16);
    r->ColorGreen = int32_t((rgb >> 8) & 0xFF);
    r->ColorBlue = int32_t(rgb & 0xFF);
}

// Terrain rows 1 and 2 (land and water) of terrain types 1 and 2; row 4
// of type 250.
void SetTerrainTypes() {
    TerrainTable::GetOrCreateRow(1)->TerrainType = 1;
    TerrainTable::GetOrCreateRow(2)->TerrainType = 2;
    TerrainTable::GetOrCreateRow(4)->TerrainType = 250;
}

void SetPalette() {
    MiniMap_S_DlgTable::Clear();
    SetPaletteRow(101, kLandColour);
    SetPaletteRow(102, kWaterColour);
    SetPaletteRow(22, kTrackColour);
    SetPaletteRow(40, kRoadColour);
    SetPaletteRow(13, kMountainColour);
    SetPaletteRow(46, kSpecialColour);
    InvalidateMiniMapColours();
}

uint16_t Px(uint32_t rgb) {
    return ToMiniMapPixel(0xFF000000u | rgb);
}

class MiniMapTest : public WorldTest {
protected:
    void SetUp() override {
        WorldTest::SetUp();
        SetPalette();
        SetTerrainTypes();
    }
    void TearDown() override {
        MiniMap_S_DlgTable::Clear();
        InvalidateMiniMapColours();
        WorldTest::TearDown();
    }
    static uint16_t At(bool small, int32_t x, int32_t y) {
        const int32_t side = small ? MiniMap::kSmallSide : MiniMap::kLargeSide;
        return MiniMapOf().Image(small)[size_t(y) * size_t(side) + size_t(x)];
    }
    static void ResetWorldWithTypes(uint32_t w, uint32_t h) {
        ResetWorld(w, h);
        SetTerrainTypes();
    }
    // Route kind 1 a track, 2 a road, 3 both.
    static void LayRoute(uint32_t x, uint32_t y, uint32_t kind) {
        Map().SetRouteKindAndClear(x, y, kind);
        if (kind & 1)
            Map().SetTrackDirections(x, y, 10);
        if (kind & 2) {
            Map().SetRoadDirections(x, y, 10);
            Map().SetRouteByte(x, y, 1);
        }
    }
    static void Repaint(MiniMapRect rect) {
        MiniMapOf().Invalidate(rect);
        MiniMapOf().Update();
    }
};

TEST_F(MiniMapTest, PaletteRows) {
    EXPECT_EQ(GetMiniMapColour(101), kLandColour);
    EXPECT_EQ(GetMiniMapColour(0), 0u);
    // The palette holds 300 rows; rows beyond give 0.
    SetPaletteRow(299, 0x123456);
    SetPaletteRow(300, 0x654321);
    InvalidateMiniMapColours();
    EXPECT_EQ(GetMiniMapColour(299), 0x123456u);
    EXPECT_EQ(GetMiniMapColour(300), 0u);
    EXPECT_EQ(GetMiniMapColour(-1), 0u);
    EXPECT_EQ(Px(0xFFFFFF), 0xFFFF);
    EXPECT_EQ(Px(0xFF0000), 0xF800);
}

// On a 256 map a tile is a pixel of the small image and 2 x 2 of the large;
// terrain is read on the even grid.
TEST_F(MiniMapTest, TilesAtBothScales) {
    ResetWorldWithTypes(256, 256);
    SetTerrainOfCell(10, 10, kWater);
    Repaint({0, 0, 256, 256});
    for (auto [x, y] : {std::pair{10, 10}, {11, 11}})
        EXPECT_EQ(At(true, x, y), Px(kWaterColour)) << x << "," << y;
    EXPECT_EQ(At(true, 12, 10), Px(kLandColour));
    EXPECT_EQ(At(true, 255, 255), Px(kLandColour));
    for (auto [x, y] : {std::pair{20, 20}, {21, 21}, {23, 23}})
        EXPECT_EQ(At(false, x, y), Px(kWaterColour)) << x << "," << y;
    EXPECT_EQ(At(false, 24, 20), Px(kLandColour));
    EXPECT_EQ(At(false, 511, 511), Px(kLandColour));
    EXPECT_TRUE(MiniMapOf().Pending().empty());
}

TEST_F(MiniMapTest, BuildingsByKindAndOwner) {
    ResetWorldWithTypes(256, 256);
    auto* mountain = CreateMapObject(kCategoryBuilding, Mountain::kSubtype);
    ASSERT_NE(mountain, nullptr);
    ASSERT_TRUE(Map().PlaceFootprint(5, 5, mountain->GetId(), 1, 1, 2));
    auto* special = CreateMapObject(kCategoryBuilding, SpecialBuilding::kSubtype);
    ASSERT_NE(special, nullptr);
    special->SetOwner(4);
    ASSERT_TRUE(Map().PlaceFootprint(7, 5, special->GetId(), 1, 1, 2));
    LayRoute(9, 5, 1);
    LayRoute(11, 5, 2);

    Repaint({0, 0, 256, 256});
    EXPECT_EQ(At(true, 5, 5), Px(kMountainColour));
    EXPECT_EQ(At(true, 7, 5), Px(0xFF00FF)); // the neutral player's colour
    EXPECT_EQ(At(true, 9, 5), Px(kTrackColour));
    EXPECT_EQ(At(true, 11, 5), Px(kRoadColour));

    InterfaceStateOf().SetOwnerFlag(4, 0);
    Repaint({7, 5, 8, 6});
    EXPECT_EQ(At(true, 7, 5), Px(kSpecialColour));
}

// On a 1024 map four tiles share a small pixel: the last painted wins
// unless a road or track marked it. A full repaint keeps the marks; a
// partial one clears them, except under a tile with both a road and a track.
TEST_F(MiniMapTest, RouteMarks) {
    ResetWorldWithTypes(1024, 1024);
    LayRoute(401, 0, 2);
    LayRoute(501, 0, 3);
    SetTerrainOfCell(402, 0, kWater); // painted after the road in the same pixel
    Repaint({0, 0, 1024, 1024});
    EXPECT_EQ(At(true, 100, 0), Px(kRoadColour));
    EXPECT_EQ(At(false, 200, 0), Px(kRoadColour));
    EXPECT_EQ(At(false, 201, 0), Px(kWaterColour));

    Map().SetRoadDirections(401, 0, 0);
    Repaint({0, 0, 1024, 1024});
    EXPECT_EQ(At(true, 100, 0), Px(kRoadColour)) << "a full repaint keeps marks";

    Repaint({400, 0, 404, 1});
    EXPECT_EQ(At(true, 100, 0), Px(kWaterColour)) << "a partial repaint clears them";
    EXPECT_EQ(MiniMapOf().Marks(true)[100], 0);
    Repaint({501, 0, 502, 1});
    EXPECT_EQ(MiniMapOf().Marks(true)[125], 1) << "a tile with a road and a track keeps them";
    EXPECT_EQ(MiniMapOf().Marks(false)[250], 1);
    EXPECT_EQ(At(true, 125, 0), Px(kTrackColour));
}

TEST_F(MiniMapTest, RectanglesAreClippedToTheMap) {
    MiniMap& m = MiniMapOf();
    struct Case {
        MiniMapRect in;
        bool queued;
        MiniMapRect out;
    };
    const Case cases[] = {
        {{-5, -5, 3, 3}, true, {0, 0, 3, 3}},
        {{60, 60, 900, 70}, true, {60, 60, 64, 64}},
        {{64, 0, 70, 10}, false, {}},
        {{10, 10, 10, 20}, false, {}},
        {{-2147483647 - 1, -2147483647 - 1, 2147483647, 2147483647}, true, {0, 0, 64, 64}},
        {{20, 20, 10, 10}, false, {}},
    };
    for (const Case& c : cases) {
        m.ClearUpdates();
        m.Invalidate(c.in);
        ASSERT_EQ(m.Pending().size(), c.queued ? 1u : 0u) << c.in.x0;
        if (c.queued) {
            EXPECT_EQ(m.Pending()[0].x0, c.out.x0);
            EXPECT_EQ(m.Pending()[0].y0, c.out.y0);
            EXPECT_EQ(m.Pending()[0].x1, c.out.x1);
            EXPECT_EQ(m.Pending()[0].y1, c.out.y1);
        }
        m.Update();
    }
}

TEST_F(MiniMapTest, TerrainBeyondThePaletteIsBlack) {
    SetTerrainOfCell(0, 0, 4);
    EXPECT_EQ(MiniMapOf().TileColour(0, 0), 0);
}

TEST_F(MiniMapTest, SectionHoldsBothImages) {
    ResetWorldWithTypes(256, 256);
    SetTerrainOfCell(0, 0, kWater);
    MiniMapOf().InvalidateAll();
    MiniMapOf().Update();
    const std::vector<uint8_t> bytes = StoreStream([] {
        uint32_t tag = ChunkTag("mmap");
        BeginChunk(tag);
        EXPECT_TRUE(MiniMapOf().Save());
        EndChunk();
    });
    const auto chunks = TopChunks(bytes);
    ASSERT_EQ(chunks.size(), 1u);
    EXPECT_EQ(chunks[0].second, 8u + 4u + 0x20000u + 4u + 0x80000u);
    const size_t head = plat::LoadLE32(bytes.data() + 4);
    EXPECT_EQ(plat::LoadLE32(bytes.data() + head + 8), 0x20000u);
    EXPECT_EQ(plat::LoadLE16(bytes.data() + head + 12), Px(kWaterColour));
    EXPECT_EQ(plat::LoadLE16(bytes.data() + head + 12 + 4), Px(kLandColour));
    EXPECT_EQ(plat::LoadLE32(bytes.data() + head + 12 + 0x20000), 0x80000u);
}

// The images reach their engine textures.
class MiniMapTextureTest : public NullEngineTest {
protected:
    void SetUp() override {
        NullEngineTest::SetUp();
        SetPalette();
        world_ = std::make_unique<World>();
        scope_.emplace(*world_);
        TerrainTable::Clear();
        TerrainTable::GetOrCreateRow(1);
        TerrainTable::GetOrCreateRow(2)->IsWater = 1;
        SetTerrainTypes();
        GetWorldMap().SetMapSize(256, 256);
    }
    void TearDown() override {
        scope_.reset();
        world_.reset();
        MiniMap_S_DlgTable::Clear();
        InvalidateMiniMapColours();
        NullEngineTest::TearDown();
    }
    std::unique_ptr<World> world_;
    std::optional<WorldScope> scope_;
};

TEST_F(MiniMapTextureTest, TexturesFollowTheImages) {
    MiniMap& m = MiniMapOf();
    const TextureHandle small = m.Texture(true);
    const TextureHandle large = m.Texture(false);
    ASSERT_NE(small, 0u);
    ASSERT_NE(large, 0u);
    GetWorldMap().CellAt(2, 2)->SetTerrainIndex(2);
    m.InvalidateAll();
    m.Update();
    Engine::TextureLockInfo lock;
    ASSERT_TRUE(Engine::LockTexture(small, &lock));
    EXPECT_EQ(Engine::ReadPixel(lock, lock.format, 2, 2) & 0xFFFFFFu,
              Engine::FromNativeColour(Px(kWaterColour), kFormat565) & 0xFFFFFFu);
    EXPECT_EQ(Engine::ReadPixel(lock, lock.format, 4, 2) & 0xFFFFFFu,
              Engine::FromNativeColour(Px(kLandColour), kFormat565) & 0xFFFFFFu);
    Engine::UnlockTexture(small);
    ASSERT_TRUE(Engine::LockTexture(large, &lock));
    EXPECT_EQ(Engine::ReadPixel(lock, lock.format, 5, 5) & 0xFFFFFFu,
              Engine::FromNativeColour(Px(kWaterColour), kFormat565) & 0xFFFFFFu);
    Engine::UnlockTexture(large);
}

} // namespace

namespace {

// The diamond of a 256 x 128 control over a 64 x 64 map: corners at the
// top centre, right, bottom and left.
TEST(MiniMapDiamondTest, PointsAndTiles) {
    const EngineRect control{100, 100, 356, 228};
    struct Corner {
        int32_t cx, cy, px, py;
    };
    for (Corner c : {Corner{0, 0, 228, 100}, {64, 0, 356, 164}, {64, 64, 228, 228}, {0, 64, 100, 164}}) {
        int32_t px = 0, py = 0;
        MiniMapTileToPoint(control, 64, 64, c.cx, c.cy, px, py);
        EXPECT_EQ(px, c.px) << c.cx << "," << c.cy;
        EXPECT_EQ(py, c.py) << c.cx << "," << c.cy;
    }
    // A click maps back to the tile under it.
    int32_t tx = 0, ty = 0;
    ASSERT_TRUE(MiniMapPointToTile(control, {0, 0, 256, 256}, 256, 64, 64, 228, 164, tx, ty));
    EXPECT_EQ(tx, 32);
    EXPECT_EQ(ty, 32);
    // A control of no height gives no tile rather than dividing by it.
    EXPECT_FALSE(MiniMapPointToTile({10, 10, 50, 10}, {0, 0, 256, 256}, 256, 64, 64, 20, 10, tx, ty));
}

TEST(MiniMapDiamondTest, ViewOutlineIsClippedToTheDiamond) {
    const EngineRect control{0, 0, 256, 128};
    // A view in the middle: four whole edges inside the diamond.
    const int32_t midX[4] = {28, 36, 36, 28}, midY[4] = {28, 28, 36, 36};
    auto lines = MiniMapViewOutline(control, 64, 64, midX, midY);
    EXPECT_EQ(lines.size(), 4u);
    // A view larger than the map: edges outside the control are left out,
    // the rest are clipped to the diamond.
    const int32_t bigX[4] = {-100, 164, 164, -100}, bigY[4] = {-100, -100, 164, 164};
    lines = MiniMapViewOutline(control, 64, 64, bigX, bigY);
    for (const MiniMapLine& l : lines) {
        EXPECT_GE(std::min(l.x1, l.x2), control.left);
        EXPECT_LE(std::max(l.x1, l.x2), control.right);
        EXPECT_GE(std::min(l.y1, l.y2), control.top);
        EXPECT_LE(std::max(l.y1, l.y2), control.bottom);
    }
}

} // namespace
