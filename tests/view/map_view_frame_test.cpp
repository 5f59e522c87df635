#include "data/file_locations.h"
#include "data/generated/route_tables.h"
#include "data/generated/terrain_tables.h"
#include "engine/draw_layers.h"
#include "engine/graphic_sets.h"
#include "engine/tga_writer.h"
#include "engine/view_hooks.h"
#include "engine/viewport.h"
#include "files/file_location_hooks.h"
#include "files/virtual_file_system.h"
#include "tests/engine/null_engine.h"
#include "view/interface_state.h"
#include "view/map_view_frame.h"
#include "view/map_view_state.h"
#include "world/game_clock.h"
#include "world/mountain.h"
#include "world/object_manager.h"
#include "world/world_map.h"

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <set>

namespace {

// A 64 x 64 world of land with a water lake, viewport 0 over the whole
// 1024 x 768 screen, on the Null device.
class MapViewFrameTest : public NullEngineTest {
protected:
    void SetUp() override {
        NullEngineTest::SetUp();
        world_ = std::make_unique<World>();
        scope_.emplace(*world_);
        CreateGameClock(0);
        TerrainTable::Clear();
        TerrainTable::GetOrCreateRow(1)->TerrainType = 1;
        TerrainRow* water = TerrainTable::GetOrCreateRow(2);
        water->IsWater = 1;
        water->TerrainType = 2;
        water->WaterAnimationType = 2;
        TerrainRow* sea = TerrainTable::GetOrCreateRow(3);
        sea->IsWater = 1;
        sea->WaterAnimationType = 1;
        GetWorldMap().SetMapSize(64, 64);
        ViewHooks hooks;
        hooks.mapWidth = [] { return 64; };
        hooks.mapHeight = [] { return 64; };
        hooks.cursorPosition = [this](int32_t& x, int32_t& y) {
            x = mouse.x;
            y = mouse.y;
        };
        SetViewHooks(hooks);
        Viewport::ResetAll();
        EngineRect rect{0, 0, 1024, 768};
        Viewport::SetActive(0, true, &rect);
        Viewport::Select(0);
        Viewport::SetZoomLevel(7);
        Viewport::CenterOn(32, 32);
    }
    void TearDown() override {
        Viewport::ResetAll();
        SetViewHooks({});
        TerrainTable::Clear();
        TreeColorTable::Clear();
        scope_.reset();
        world_.reset();
        NullEngineTest::TearDown();
    }
    static void SetCell(uint32_t x, uint32_t y, uint32_t terrain) {
        GetWorldMap().CellAt(x, y)->SetTerrainIndex(terrain);
    }
    // Runs one frame and returns the device calls it made.
    std::vector<std::string> Frame() {
        device.SetRecording(true);
        device.ClearCalls();
        RenderMapFrame();
        return device.Calls();
    }
    size_t CountStarting(const std::vector<std::string>& calls, const std::string& prefix) {
        return size_t(std::count_if(calls.begin(), calls.end(),
                                    [&](const std::string& c) { return c.rfind(prefix, 0) == 0; }));
    }
    std::unique_ptr<World> world_;
    std::optional<WorldScope> scope_;
    PointI32 mouse{512, 384};
};

TEST_F(MapViewFrameTest, CursorCellFollowsTheMouseInsideTheMap) {
    Frame();
    const MapCell centre = Viewport::GetCursorCell();
    EXPECT_NEAR(centre.x, 32, 1);
    EXPECT_NEAR(centre.y, 32, 1);
    for (auto [mx, my] : {std::pair{-50000, -50000}, {50000, 50000}, {-50000, 50000}}) {
        mouse = {mx, my};
        Frame();
        const MapCell c = Viewport::GetCursorCell();
        EXPECT_TRUE(c.x >= 0 && c.x < 64 && c.y >= 0 && c.y < 64) << mx << "," << my;
    }
    // After SkipCursorInfoOnce one frame shows no marker, then they show again.
    MapViewOf().cursorMarkerShown = 1;
    SkipCursorInfoOnce();
    EXPECT_EQ(MapViewOf().cursorInfoArmed, 0);
    Frame();
    EXPECT_EQ(MapViewOf().cursorInfoArmed, 1);
}

// The view moves by every scroll of a frame, so the kept picture must move
// by their sum.
TEST_F(MapViewFrameTest, ScrollRequestsOfAFrameAddUp) {
    MapViewFrame& f = MapViewFrameOf();
    RequestScroll(0, 0);
    EXPECT_EQ(f.scrollPending, 0);
    RequestScroll(8, -4);
    RequestScroll(100, 100);
    EXPECT_EQ(f.scrollPending, 1);
    EXPECT_EQ(f.scrollDx, 108);
    EXPECT_EQ(f.scrollDy, 96);
    f.scrollPending = 0;
    // Only viewport 0 scrolls.
    EngineRect second{0, 0, 200, 200};
    Viewport::SetActive(1, true, &second);
    Viewport::Select(1);
    RequestScroll(5, 5);
    EXPECT_EQ(f.scrollPending, 0);
}

TEST_F(MapViewFrameTest, DirtyStripsOfAScroll) {
    const EngineRect view{0, 0, 1024, 768};
    struct Case {
        int32_t dx, dy;
        int32_t count;
        EngineRect first, second;
    };
    const Case cases[] = {
        {16, 0, 1, {0, 0, 16, 768}, {}},
        {-16, 0, 1, {1008, 0, 1024, 768}, {}},
        {0, 8, 1, {0, 0, 1024, 8}, {}},
        {0, -8, 1, {0, 760, 1024, 768}, {}},
        {16, -8, 2, {0, 0, 16, 768}, {0, 760, 1024, 768}},
        {-2000, 0, 1, {0, 0, 1024, 768}, {}},
    };
    for (const Case& c : cases) {
        std::array<EngineRect, 2> out{};
        ASSERT_EQ(DirtyStrips(view, c.dx, c.dy, out), c.count) << c.dx << "," << c.dy;
        EXPECT_EQ(out[0], c.first) << c.dx << "," << c.dy;
        if (c.count == 2) {
            EXPECT_EQ(out[1], c.second);
        }
    }
}

TEST_F(MapViewFrameTest, SeasonBlend) {
    EXPECT_EQ(SeasonBlendAlpha(15, 30, 1, 2), 15u * 255 / 30);
    EXPECT_EQ(SeasonBlendAlpha(30, 30, 1, 2), 255u);
    EXPECT_EQ(SeasonBlendAlpha(15, 30, 2, 2), 0u);
    EXPECT_EQ(SeasonBlendAlpha(15, 0, 1, 2), 0u);

    for (int32_t month = 0; month < 12; ++month)
        TreeColorTable::GetOrCreateRow(month)->Season = month; // every month a season of its own
    for (uint32_t setting : {0u, 1u, 2u}) {
        InterfaceState::SetU32(InterfaceStateOf().controlBar, 36, setting);
        MapViewFrameOf().lastDay = 0xFFFFFFFFu;
        Frame();
        const GameDate date = GetGameClock()->GetDate();
        const uint32_t alpha = date.day * 255 / GetGameClock()->GetDaysInMonth();
        EXPECT_EQ(MapViewFrameOf().blendColour, setting == 1 ? alpha << 24 : 0u) << setting;
    }
}

// Every block whose rectangle meets the view, once, rows from the top.
TEST_F(MapViewFrameTest, BlockWalkCoversTheViewInScreenOrder) {
    for (int32_t level : {0, 7, 14}) {
        Viewport::SetZoomLevel(level);
        Viewport::CenterOn(40, 20);
        const auto blocks = WalkBlocks(64, 64);
        std::set<std::pair<int32_t, int32_t>> expected;
        const EngineRect view = Viewport::GetRect();
        for (int32_t y = 0; y <= 60; y += 4)
            for (int32_t x = 0; x <= 60; x += 4) {
                const EngineRect r = BlockRect(x, y);
                if (r.left < view.right && view.left < r.right && r.top < view.bottom && view.top < r.bottom)
                    expected.insert({x, y});
            }
        EXPECT_EQ(std::set(blocks.begin(), blocks.end()), expected) << level;
        EXPECT_EQ(blocks.size(), expected.size()) << level;
        for (size_t i = 1; i < blocks.size(); ++i) {
            const auto [px, py] = blocks[i - 1];
            const auto [x, y] = blocks[i];
            EXPECT_TRUE(px + py < x + y || (px + py == x + y && px < x)) << level << " at " << i;
        }
    }
}

TEST_F(MapViewFrameTest, FullRedrawThenKeptPictureThenScrollStrips) {
    MapViewFrame& f = MapViewFrameOf();
    const size_t all = WalkBlocks(64, 64).size();
    ASSERT_GT(all, 20u);

    // The first frame draws every block and keeps the picture.
    auto calls = Frame();
    EXPECT_EQ(f.terrainBlocksDrawn, all);
    EXPECT_EQ(CountStarting(calls, "Copy spare"), 1u);
    EXPECT_EQ(MapViewOf().fullRedraw + MapViewOf().partialRedraw + MapViewOf().objectRedraw, 0);

    // A steady frame copies the kept picture back and draws no terrain.
    calls = Frame();
    EXPECT_EQ(f.terrainBlocksDrawn, 0u);
    EXPECT_EQ(CountStarting(calls, "Copy back"), 1u);
    EXPECT_EQ(CountStarting(calls, "Copy spare"), 0u);

    // A scroll redraws only the blocks under the uncovered strips.
    RequestScroll(40, -20);
    size_t underStrips = 0;
    for (auto [x, y] : WalkBlocks(64, 64)) {
        const EngineRect r = BlockRect(x, y);
        const auto meets = [&r](EngineRect d) {
            return r.left < d.right && d.left < r.right && r.top < d.bottom && d.top < r.bottom;
        };
        underStrips += meets({0, 0, 40, 768}) || meets({0, 748, 1024, 768}) ? 1 : 0;
    }
    calls = Frame();
    EXPECT_EQ(f.terrainBlocksDrawn, underStrips);
    EXPECT_LT(f.terrainBlocksDrawn, all);
    EXPECT_EQ(f.dirtyCount, 2);
    EXPECT_EQ(f.dirty[0], (EngineRect{0, 0, 40, 768}));
    EXPECT_EQ(CountStarting(calls, "Copy back (40,0) <- spare (0,20,984,768)"), 1u);
    EXPECT_EQ(f.scrollPending, 0);

    // A request made after a frame is served by the next one.
    RequestFullRedraw();
    Frame();
    EXPECT_EQ(f.terrainBlocksDrawn, all);
}

TEST_F(MapViewFrameTest, SeveralViewportsAreDrawnWhole) {
    EngineRect second{0, 0, 300, 200};
    Viewport::SetActive(1, true, &second);
    Frame();
    const auto calls = Frame();
    // Viewport 1 is cleared and drawn again every frame.
    EXPECT_EQ(CountStarting(calls, "Fill back (0,0,300,200) FF000000"), 1u);
    EXPECT_GT(MapViewFrameOf().terrainBlocksDrawn, 0u);
}

TEST_F(MapViewFrameTest, WaterListByAnimationType) {
    for (uint32_t y = 24; y < 40; ++y)
        for (uint32_t x = 24; x < 40; ++x)
            SetCell(x, y, x < 32 ? 2 : 3);
    MapViewFrame& f = MapViewFrameOf();
    Frame();
    ASSERT_FALSE(f.waterList.empty());
    EXPECT_EQ(f.waterList.size(), f.waterBlocks.size());
    for (size_t i = 1; i < f.waterList.size(); ++i)
        EXPECT_LE(f.waterList[i - 1]->waterAnimation, f.waterList[i]->waterAnimation);
    EXPECT_EQ(f.waterList.front()->waterAnimation, 1);
    EXPECT_EQ(f.waterList.back()->waterAnimation, 2);

    EXPECT_EQ(f.waterBlocksDrawn, 0u) << "no water images in this world";

    // With water detail 0 no water is animated; raising it rebuilds the list.
    MapViewOf().waterDetail = 0;
    f.waterList.clear();
    Frame();
    EXPECT_TRUE(f.waterList.empty());
    MapViewOf().waterDetail = 2;
    Frame();
    EXPECT_EQ(f.waterList.size(), f.waterBlocks.size());
}

TEST_F(MapViewFrameTest, TileMarksLastOneFrame) {
    const TextureHandle texture = MakeTexture(8, 8);
    QueueTileMark({texture, {100, 100, 140, 120}, {0, 0, 4, 4}, 0xFFFFFFFFu});
    Frame();
    EXPECT_EQ(Engine::Layer(1)->items.size(), 1u);
    EXPECT_TRUE(MapViewFrameOf().tileMarks.empty());
}

TEST_F(MapViewFrameTest, OverlaySquares) {
    struct Case {
        int32_t w, h;
        size_t count;
        int32_t size, restSize;
    };
    const Case cases[] = {
        {192, 192, 1, 192, 0}, {64, 128, 2, 64, 0}, {512, 512, 4, 256, 0}, {512, 384, 2 + 4, 256, 128}};
    for (const Case& c : cases) {
        const auto squares = OverlaySquares(c.w, c.h);
        ASSERT_EQ(squares.size(), c.count) << c.w << "x" << c.h;
        EXPECT_EQ(squares.front().size, c.size);
        if (c.restSize) {
            EXPECT_EQ(squares.back().size, c.restSize);
            EXPECT_EQ(squares.back().y, c.h - c.restSize);
        }
    }
    EXPECT_TRUE(OverlaySquares(0, 10).empty());
}

TEST_F(MapViewFrameTest, TerrainCornerWords) {
    TerrainTable::GetOrCreateRow(4)->TerrainType = 13;
    TerrainTable::GetOrCreateRow(4)->TerrainMixtureTyp = 1;
    SetCell(12, 8, 4); // corner 1 of the block at (8, 8)
    SetCell(8, 12, 2); // corner 2: water
    const auto words = TerrainCornerWords(8, 8);
    EXPECT_EQ(words[0] & 0x0FFFFFFFu, 2u << 21);
    EXPECT_EQ(words[1] & 0x0FFFFFFFu, 14u << 21 | ((1u << 9) | (1u << 1)) << 1);
    EXPECT_EQ(words[2] & 0x0FFFFFFFu, 3u << 21 | 1u);
    // The last block of a row and column has its far corners on itself.
    const auto edge = TerrainCornerWords(60, 60);
    EXPECT_EQ(edge[3] & 0x0FFFFFFFu, edge[0] & 0x0FFFFFFFu);
}

} // namespace

namespace {

// The same world with terrain pictures for rows 1 and 2 in a mounted
// folder, so that blocks draw real quads.
class MapViewFramePicturesTest : public MapViewFrameTest {
protected:
    void SetUp() override {
        MapViewFrameTest::SetUp();
        root = std::filesystem::temp_directory_path() / ("md_view_frame_" + std::to_string(::getpid()));
        std::filesystem::remove_all(root);
        for (const char* folder : {"terrain", "trees", "routes", "overlays", "mountains"})
            std::filesystem::create_directories(root / folder);
        for (const char* name : {"terrain/001_0_00_00_00_land.tga", "terrain/002_0_00_00_00_water.tga",
                                 "trees/003_0_00_00_00_oak.tga", "routes/005_0_00_00_00_road.tga",
                                 "routes/006_0_00_00_00_track.tga", "overlays/300_0_02_00_00_water.tga",
                                 "mountains/000_0_00_00_00_hill.tga"}) {
            const std::vector<uint8_t> bytes = WriteTga(std::vector<uint32_t>(64 * 64, 0xFF40A040u), 64, 64);
            std::ofstream(root / name, std::ios::binary)
                .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        }
        VfsShutdown();
        RegisterStandardSourceTypes();
        ASSERT_TRUE(VfsAddSource("file", root.string()));
        const std::pair<int32_t, const char*> kinds[] = {
            {1, "terrain"}, {2, "trees"}, {8, "routes"}, {4, "overlays"}, {13, "mountains"}};
        for (auto [kind, folder] : kinds) {
            ASSERT_TRUE(VfsAddVirtualDir(folder, folder));
            ASSERT_TRUE(TexturesTable::SetVirtualDirName(kind, folder));
        }
        RouteBuilderTable::GetOrCreateRow(1)->GfxIndex = 6;
        RouteBuilderTable::GetOrCreateRow(2)->GfxIndex = 5;
        MapViewOf().detailedTerrain = 0;
    }
    void TearDown() override {
        GraphicSets::ReleaseAll();
        RouteBuilderTable::Clear();
        VfsShutdown();
        TexturesTable::Clear();
        std::filesystem::remove_all(root);
        MapViewFrameTest::TearDown();
    }
    // The vertices the frame's draw calls sent.
    static uint32_t Vertices(const std::vector<std::string>& calls) {
        uint32_t sum = 0;
        for (const std::string& c : calls)
            if (c.rfind("Draw", 0) == 0) {
                const size_t at = c.find("v=");
                sum += at == std::string::npos ? 0 : uint32_t(std::stoul(c.substr(at + 2)));
            }
        return sum;
    }
    std::filesystem::path root;
};

TEST_F(MapViewFramePicturesTest, TerrainQuadsOnlyWhereThePictureChanges) {
    MapViewFrame& f = MapViewFrameOf();
    auto calls = Frame();
    ASSERT_GT(f.terrainBlocksDrawn, 0u);
    EXPECT_EQ(Vertices(calls), 4 * f.terrainBlocksDrawn);
    // The kept picture: no terrain drawn.
    calls = Frame();
    EXPECT_EQ(Vertices(calls), 0u);
    RequestScroll(0, 30);
    calls = Frame();
    EXPECT_GT(f.terrainBlocksDrawn, 0u);
    EXPECT_EQ(Vertices(calls), 4 * f.terrainBlocksDrawn);
}

} // namespace

namespace {

TEST_F(MapViewFramePicturesTest, RoutesTreesAndBuildingsAreListedOnce) {
    WorldMap& map = GetWorldMap();
    // A road of type 2 running 10 on (30, 30) and a track of type 1 on (31, 30).
    map.SetRouteKindAndClear(30, 30, 2);
    map.SetRouteType(2, 30, 30, 2);
    map.SetRoadDirections(30, 30, 10);
    map.SetRouteKindAndClear(31, 30, 1);
    map.SetRouteType(1, 31, 30, 1);
    map.SetTrackDirections(31, 30, 5);
    ASSERT_TRUE(map.PlaceDecoration(28, 28, 3, 0));
    auto* mountain = CreateMapObject(kCategoryBuilding, Mountain::kSubtype);
    ASSERT_TRUE(map.PlaceFootprint(33, 33, mountain->GetId(), 4, 4, 2));

    MapViewFrame& f = MapViewFrameOf();
    Frame();
    const DrawLists& lists = f.lists;
    ASSERT_EQ(lists.routes.size(), 2u);
    // Sorted by texture; each quad the atlas cell of its directions.
    EXPECT_LE(lists.routes[0].texture, lists.routes[1].texture);
    for (const RouteQuad& q : lists.routes) {
        float u0, v0, u1, v1;
        const bool road = q.rect == Viewport::TileBounds(30, 30);
        AtlasCell(f.graphicsVariant, road ? 10 : 5, u0, v0, u1, v1);
        EXPECT_EQ(q.u0, u0);
        EXPECT_EQ(q.v1, v1);
    }
    ASSERT_EQ(lists.trees.size(), 1u);
    EXPECT_EQ(lists.trees[0].footprint, (EngineRect{112, 112, 115, 115}));
    ASSERT_EQ(lists.buildings.size(), 1u);
    EXPECT_EQ(lists.buildings[0].building, mountain->GetId());
    EXPECT_NE(lists.buildings[0].image, nullptr);

    // Route quads are drawn every frame; the tree and the mountain queued
    // as sprites.
    const auto calls = Frame();
    EXPECT_GT(Vertices(calls), 2u * 4u); // the routes and the sprites on screen
    EXPECT_EQ(Engine::Layer(1)->items.size(), 2u);
    MapViewOf().showBuildings = 0;
    Frame();
    EXPECT_EQ(Engine::Layer(1)->items.size(), 1u);
    MapViewOf().showBuildings = 1;

    // Hidden trees leave the list empty after a rebuild.
    MapViewOf().showTrees = 0;
    RequestObjectRedraw();
    Frame();
    EXPECT_TRUE(f.lists.trees.empty());
    EXPECT_EQ(f.lists.buildings.size(), 1u);
    EXPECT_EQ(f.lists.routes.size(), 2u);
}

} // namespace

namespace {

TEST(WaterVertexTest, WavesMoveVerticesBySineOfTheirPlace) {
    WaterAnimation w;
    w.waveAStepX = 1.5707964f; // a quarter turn per tile
    w.waveAStepY = 0.0f;
    w.waveBStepX = 0.0f;
    w.waveBStepY = 0.0f;
    w.amplitudeX = 12.0f;
    w.amplitudeY = 21.0f;
    PointF d = WaterVertexOffset(w, 1.0f, 0.0f, 0.0f, 0.0f, 2.0f);
    EXPECT_NEAR(d.x, 24.0f, 1e-3f);
    EXPECT_NEAR(d.y, 0.0f, 1e-3f);
    // The phase moves the wave on.
    d = WaterVertexOffset(w, 1.0f, 0.0f, 1.5707964f, 0.0f, 2.0f);
    EXPECT_NEAR(d.x, 0.0f, 1e-3f);
    d = WaterVertexOffset(w, 0.0f, 0.0f, 0.0f, -1.5707964f, 1.0f);
    EXPECT_NEAR(d.y, 21.0f, 1e-3f);
    // Values no wave can take give no offset.
    w.waveAStepX = 1e30f;
    d = WaterVertexOffset(w, 2000.0f, 0.0f, 0.0f, 0.0f, 1.0f);
    EXPECT_EQ(d.x, 0.0f);
}

} // namespace

namespace {

TEST_F(MapViewFramePicturesTest, AnimatedWaterIsDrawnEveryFrame) {
    for (uint32_t y = 24; y < 40; ++y)
        for (uint32_t x = 24; x < 40; ++x)
            SetCell(x, y, 2);
    MapViewOf().waterDetail = 1; // one texture
    Frame();
    const uint32_t blocks = MapViewFrameOf().waterBlocksDrawn;
    EXPECT_EQ(blocks, MapViewFrameOf().waterList.size());
    ASSERT_GT(blocks, 0u);
    // The kept picture holds the terrain; the water moves on top of it.
    const auto calls = Frame();
    EXPECT_EQ(MapViewFrameOf().waterBlocksDrawn, blocks);
    EXPECT_GE(Vertices(calls), 4 * blocks);
    // With the water toggle off nothing is animated.
    InterfaceState::SetU32(InterfaceStateOf().controlBar, 56, 0);
    Frame();
    EXPECT_EQ(MapViewFrameOf().waterBlocksDrawn, 0u);
}

} // namespace

namespace {

// A map with streets, a railway, trees, water and mountains of 4 x 4 cells
// that straddle blocks, seen close up so that a scroll moves blocks out of
// the view and new ones in.
class MapViewScrollTest : public MapViewFramePicturesTest {
protected:
    void SetUp() override {
        MapViewFramePicturesTest::SetUp();
        WorldMap& map = GetWorldMap();
        for (uint32_t y = 0; y < 64; ++y)
            for (uint32_t x = 0; x < 64; ++x) {
                if (x >= 40 && y >= 20 && y < 34)
                    SetCell(x, y, 2);
                else if (y % 6 == 0) {
                    map.SetRouteKindAndClear(x, y, 2);
                    map.SetRouteType(2, x, y, 2);
                    map.SetRoadDirections(x, y, 10);
                } else if (x == 21) {
                    map.SetRouteKindAndClear(x, y, 1);
                    map.SetRouteType(1, x, y, 1);
                    map.SetTrackDirections(x, y, 5);
                } else if (x % 5 == 1 && y % 3 == 1) {
                    map.PlaceDecoration(x, y, 3, 0);
                }
            }
        for (auto [x, y] : {std::pair{13u, 13u}, {26u, 37u}, {7u, 49u}, {30u, 2u}}) {
            auto* mountain = CreateMapObject(kCategoryBuilding, Mountain::kSubtype);
            ASSERT_TRUE(map.PlaceFootprint(x, y, mountain->GetId(), 4, 4, 2));
        }
        Viewport::SetZoomLevel(9);
        Viewport::CenterOn(32, 32);
    }
    // The lists and blocks as text, one line a record, in list order.
    static std::vector<std::string> Lists() {
        const MapViewFrame& f = MapViewFrameOf();
        std::vector<std::string> out;
        const auto rect = [](const EngineRect& r) {
            return std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) +
                   "," + std::to_string(r.bottom);
        };
        for (const auto* blocks : {&f.landBlocks, &f.waterBlocks})
            for (const BlockRecord& b : *blocks)
                out.push_back("block " + std::to_string(b.x) + "," + std::to_string(b.y) + " " +
                              rect(b.rect));
        for (const BlockRecord* b : f.waterList)
            out.push_back("water " + std::to_string(b->x) + "," + std::to_string(b->y));
        for (const RouteQuad& q : f.lists.routes)
            out.push_back("route " + rect(q.rect) + " t" + std::to_string(q.texture));
        for (const TreeRecord& t : f.lists.trees)
            out.push_back("tree " + rect(t.rect) + " " + rect(t.footprint));
        for (const BuildingRecord& b : f.lists.buildings)
            out.push_back("building " + std::to_string(b.building) + " " + rect(b.rect));
        for (const CellObjectRecord& c : f.lists.cellObjects)
            out.push_back("object " + std::to_string(c.object));
        return out;
    }
    static void Scroll(int32_t dx, int32_t dy) {
        const ScreenPoint o = Viewport::GetOrigin();
        Viewport::SetOrigin({o.x + dx, o.y + dy});
        RequestScroll(dx, dy);
    }
};

// After each scroll the moved lists must equal those a whole walk of the
// same view gives, in the same order, while only the blocks the scroll
// brought in were visited; a second scroll in the same frame adds to the
// first.
TEST_F(MapViewScrollTest, ScrolledListsEqualAWholeWalk) {
    MapViewFrame& f = MapViewFrameOf();
    Frame();
    const uint32_t all = f.blocksVisited;
    ASSERT_GT(all, 20u);
    ASSERT_FALSE(f.lists.buildings.empty());
    struct Case {
        int32_t dx, dy, dx2, dy2; // a second scroll in the same frame
    };
    const Case cases[] = {
        {48, 0, 0, 0},   {-48, 0, 0, 0},  {0, 40, 0, 0},     {0, -40, 0, 0},     {64, -32, 0, 0},
        {-96, 72, 0, 0}, {8, 8, -24, 16}, {1200, 900, 0, 0}, {-1500, -20, 0, 0}, {30, 0, -30, 0},
    };
    bool someVisited = false;
    for (const Case& c : cases) {
        const std::string label = std::to_string(c.dx) + "," + std::to_string(c.dy) + " then " +
                                  std::to_string(c.dx2) + "," + std::to_string(c.dy2);
        Scroll(c.dx, c.dy);
        if (c.dx2 || c.dy2)
            Scroll(c.dx2, c.dy2);
        Frame();
        const std::vector<std::string> scrolled = Lists();
        const uint32_t visited = f.blocksVisited;
        const int32_t sx = c.dx + c.dx2, sy = c.dy + c.dy2;
        if (std::abs(sx) < 200 && std::abs(sy) < 200) {
            EXPECT_LT(visited, all / 2) << label;
            someVisited = someVisited || visited > 0;
        }
        RequestFullRedraw();
        Frame();
        const std::vector<std::string> whole = Lists();
        ASSERT_EQ(scrolled.size(), whole.size()) << label;
        for (size_t i = 0; i < whole.size(); ++i)
            ASSERT_EQ(scrolled[i], whole[i]) << label << " at line " << i;
    }
    EXPECT_TRUE(someVisited);
}

// The terrain of a scroll frame is drawn only inside the uncovered strips,
// each clipped to itself, the second without the corner the first drew.
TEST_F(MapViewScrollTest, ScrollDrawsTerrainClippedToTheStrips) {
    Frame();
    Scroll(40, -20);
    const auto calls = Frame();
    std::vector<std::string> clips;
    for (const std::string& c : calls)
        if (c.rfind("SetClip", 0) == 0)
            clips.push_back(c);
    const auto has = [&clips](const std::string& rect) {
        return std::any_of(clips.begin(), clips.end(),
                           [&rect](const std::string& c) { return c.find(rect) != std::string::npos; });
    };
    EXPECT_TRUE(has("(0,0,40,768)")) << ::testing::PrintToString(clips);
    EXPECT_TRUE(has("(40,748,1024,768)")) << ::testing::PrintToString(clips);
    EXPECT_GT(MapViewFrameOf().terrainBlocksDrawn, 0u);
    // A scroll past the screen keeps nothing of the picture: the screen is
    // cleared and drawn again, without a copy from outside it.
    Scroll(1100, 0);
    const auto far = Frame();
    EXPECT_EQ(CountStarting(far, "Copy back"), 0u) << ::testing::PrintToString(far);
    EXPECT_EQ(CountStarting(far, "Fill back (0,0,1024,768)"), 1u) << ::testing::PrintToString(far);
    // A view that did not move with the scroll is walked whole.
    RequestScroll(16, 0);
    Frame();
    EXPECT_GT(MapViewFrameOf().blocksVisited, 20u);
    // A zoom asks for a whole redraw: every block again.
    Viewport::SetZoomLevel(10);
    RequestFullRedraw();
    Scroll(8, 0);
    Frame();
    EXPECT_EQ(MapViewFrameOf().terrainBlocksDrawn, WalkBlocks(64, 64).size());
}

} // namespace
