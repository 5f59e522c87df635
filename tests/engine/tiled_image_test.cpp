#include "asset_fixture.h"

#include "engine/draw_layers.h"
#include "engine/tga_writer.h"
#include "engine/tiled_image.h"
#include "engine/viewport.h"

#include <optional>

namespace {

class TiledImageTest : public AssetEngineTest {
protected:
    void SetUp() override {
        AssetEngineTest::SetUp();
        Engine::State().caps.maxTextureWidth = 256;
        Engine::State().caps.maxTextureHeight = 256;
        Viewport::ResetAll();
        for (int32_t layer = 0; layer < kDrawLayerCount; ++layer)
            Engine::ResetLayer(layer);
        Engine::ResetFrameLists();
    }
    void TearDown() override {
        for (int32_t layer = 0; layer < kDrawLayerCount; ++layer)
            Engine::ResetLayer(layer);
        Engine::ResetFrameLists();
        GetDrawImageParams() = DrawImageParams();
        AssetEngineTest::TearDown();
    }

    static std::vector<uint8_t> Picture(int32_t w, int32_t h, std::optional<TgaFooterValues> footer = {},
                                        std::vector<std::pair<int32_t, int32_t>> markers = {}) {
        std::vector<uint32_t> pixels(size_t(w) * size_t(h), 0xFF808080);
        for (auto [x, y] : markers)
            pixels[size_t(y) * size_t(w) + size_t(x)] = 0x00FF00FF;
        TgaWriteOptions options;
        options.footer = footer;
        return WriteTga(pixels, w, h, options);
    }

    static bool Load(TiledImage& image, const std::vector<uint8_t>& file, int32_t frames = 1,
                     int32_t format = kFormat8888) {
        return image.LoadImage(file.data(), file.size(), format, frames, 0);
    }
};

TEST_F(TiledImageTest, APictureLargerThanATextureIsCutIntoAGrid) {
    TiledImage image;
    ASSERT_TRUE(Load(image, Picture(300, 200)));
    ASSERT_EQ(image.CellCount(), 2u);
    EXPECT_EQ(image.CellRect(0), (EngineRect{0, 0, 256, 200}));
    EXPECT_EQ(image.CellRect(1), (EngineRect{256, 0, 300, 200}));
    TextureRecord record;
    ASSERT_TRUE(Engine::GetTextureRecord(Engine::TextureSurface(image.textures[1]), &record));
    EXPECT_EQ(record.width, 44);
    EXPECT_EQ(record.height, 200);

    // Queued at a scale the two cells still meet.
    GetDrawImageParams().SetTarget({10, 20, 10 + 450, 20 + 300}, 1, 1).SetSource(2, {0, 0, 4, 4}, 7, 0, 0);
    ASSERT_TRUE(DrawImage(&image));
    const DrawLayer* layer = Engine::Layer(2);
    ASSERT_EQ(layer->items.size(), 2u);
    EXPECT_EQ(layer->items[0].dest, (EngineRect{10, 20, 10 + 384, 320}));
    EXPECT_EQ(layer->items[1].dest, (EngineRect{10 + 384, 20, 460, 320}));
    EXPECT_EQ(layer->items[1].texture, image.textures[1]);
    EXPECT_EQ(layer->items[1].param1, 7u);

    TiledImage cube;
    ASSERT_TRUE(Load(cube, Picture(600, 520)));
    EXPECT_EQ(cube.CellCount(), 9u);
    EXPECT_EQ(cube.CellRect(8), (EngineRect{512, 512, 600, 520}));
}

TEST_F(TiledImageTest, HotspotAndFootprintFromTheSizeOrTheMarkers) {
    struct Case {
        const char* name;
        int32_t w, h;
        std::vector<std::pair<int32_t, int32_t>> markers;
        int32_t hx, hy, fx, fy;
    };
    const Case cases[] = {
        {"120 wide, no markers", 120, 40, {}, 59, 39, 1, 1},
        {"240 wide, no markers", 240, 100, {}, 119, 99, 2, 2},
        {"small", 10, 10, {}, 4, 9, 1, 1},
        // Row 0 marker at x0 = 179 and a second at 239; column 0 marker at row 90.
        {"two row markers", 300, 100, {{179, 0}, {239, 0}, {0, 90}}, 179, 90, 3, 1},
        // x0 + 1 = 128 is a power of two and the width is not: the extent ends after the hotspot.
        {"power-of-two marker", 300, 100, {{127, 0}}, 127, 99, 2, 1},
        // The lowest marker of column 0 wins.
        {"column markers", 120, 80, {{0, 10}, {0, 60}}, 59, 60, 1, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TiledImage image;
        ASSERT_TRUE(Load(image, Picture(c.w, c.h, {}, c.markers)));
        EXPECT_EQ(image.hotspotX, c.hx);
        EXPECT_EQ(image.hotspotY, c.hy);
        EXPECT_EQ(image.footprintX, c.fx);
        EXPECT_EQ(image.footprintY, c.fy);
        // At the native zoom the zoomed metrics are the unzoomed ones.
        EXPECT_EQ(image.zoomedWidth, c.w);
        EXPECT_EQ(image.zoomedHotspotX, c.hx + 1);
    }
    // Keyed formats take no markers.
    TiledImage keyed;
    ASSERT_TRUE(Load(keyed, Picture(300, 100, {}, {{179, 0}}), 1, kFormatDisplaySystem));
    EXPECT_EQ(keyed.CellCount(), 1u);
    EXPECT_EQ(keyed.hotspotX, 149);
}

TEST_F(TiledImageTest, FooterBoxAndFrames) {
    TiledImage boxed;
    ASSERT_TRUE(Load(boxed, Picture(40, 30, TgaFooterValues{120, 60, 10, 20})));
    EXPECT_EQ(boxed.imageWidth, 40);
    EXPECT_EQ(boxed.displayWidth, 120);
    EXPECT_EQ(boxed.displayHeight, 60);
    EXPECT_EQ(boxed.offsetX, 10);
    EXPECT_EQ(boxed.offsetY, 20);
    EXPECT_EQ(boxed.hotspotX, 59);

    // A footer box of no size is ignored rather than divided by.
    TiledImage empty;
    ASSERT_TRUE(Load(empty, Picture(40, 30, TgaFooterValues{0, 60, 3, 4})));
    EXPECT_EQ(empty.displayWidth, 40);
    EXPECT_EQ(empty.displayHeight, 30);

    TiledImage strip;
    ASSERT_TRUE(Load(strip, Picture(64, 256), 4));
    EXPECT_EQ(strip.frameCount, 4);
    EXPECT_EQ(strip.displayHeight, 64);
    EXPECT_EQ(strip.imageHeight, 64);
    EXPECT_EQ(strip.zoomedHeight, 64);

    TiledImage noFrames;
    ASSERT_TRUE(Load(noFrames, Picture(8, 8), 0));
    EXPECT_EQ(noFrames.frameCount, 1);
    EXPECT_EQ(noFrames.displayHeight, 8);
}

TEST_F(TiledImageTest, ABadPictureGivesNoTextures) {
    auto file = Picture(8, 8);
    file.resize(30);
    TiledImage image;
    EXPECT_FALSE(Load(image, file));
    EXPECT_EQ(image.CellCount(), 0u);
    EXPECT_FALSE(DrawImage(&image));
    EXPECT_FALSE(DrawImage(nullptr));
}

TEST_F(TiledImageTest, FootprintPartsAreStripsAndCornersOfTheWhole) {
    // A 2 x 3 footprint at (5, 7): quarter tiles 20..28 by 28..40.
    const EngineRect parts[] = {
        {20, 28, 28, 40}, {20, 28, 21, 40}, {27, 28, 28, 40}, {20, 28, 28, 29}, {20, 39, 28, 40},
        {20, 28, 21, 29}, {27, 28, 28, 29}, {20, 39, 21, 40}, {27, 39, 28, 40}, {0, 0, 0, 0},
    };
    for (int32_t part = 0; part < 10; ++part)
        EXPECT_EQ(FootprintRectOf(5, 7, part, 2, 3), parts[part]) << part;
    EXPECT_EQ(FootprintRectOf(5, 7, -1, 2, 3), (EngineRect{0, 0, 0, 0}));
}

TEST_F(TiledImageTest, PlacedWithTheHotspotOnTheFootprintsFrontCorner) {
    TiledImage image;
    ASSERT_TRUE(Load(image, Picture(240, 100)));
    Viewport::SetOrigin({500, 0});
    EngineRect screen, footprint;
    image.PlaceOnMap(3, 4, screen, footprint, 0);
    const ScreenPoint corner = MapToScreen(5, 6);
    EXPECT_EQ(screen, (EngineRect{corner.x - 120, corner.y - 100, corner.x + 120, corner.y}));
    EXPECT_EQ(footprint, (EngineRect{12, 16, 20, 24}));
    // Quarter tiles land on the tile's projection and between its corners.
    EXPECT_EQ(QuarterTileToScreen(12, 16), MapToScreen(3, 4));
    EXPECT_EQ(QuarterTileToScreen(14, 16), (ScreenPoint{MapToScreen(3, 4).x + 30, MapToScreen(3, 4).y + 10}));
}

TEST_F(TiledImageTest, ReadsTheTexelUnderAPoint) {
    std::vector<uint32_t> pixels(300 * 10, 0xFF0000FF);
    for (int32_t y = 0; y < 10; ++y)
        pixels[size_t(y) * 300 + 270] = 0x80FF0000;
    auto file = WriteTga(pixels, 300, 10);
    TiledImage image;
    ASSERT_TRUE(Load(image, file));
    uint32_t colour = 0;
    ASSERT_TRUE(image.ReadPixelAt({0, 0, 600, 20}, 541, 5, &colour, 0));
    EXPECT_EQ(colour & 0xFFFFFF, 0xFF0000u);
    ASSERT_TRUE(image.ReadPixelAt({0, 0, 600, 20}, 10, 5, &colour, 0));
    EXPECT_EQ(colour & 0xFFFFFF, 0x0000FFu);
    EXPECT_FALSE(image.ReadPixelAt({0, 0, 600, 20}, 600, 5, &colour, 0));
    EXPECT_FALSE(image.ReadPixelAt({0, 0, 600, 20}, -1, 5, &colour, 0));
}

TEST_F(TiledImageTest, TheFootprintSplitQueuesOnePartPerFrontTile) {
    TiledImage image;
    ASSERT_TRUE(Load(image, Picture(240, 100)));
    Viewport::SetOrigin({500, 0});
    EngineRect screen, footprint;
    image.PlaceOnMap(3, 4, screen, footprint, 0);
    GetDrawImageParams().SetTarget(screen, 1, 0).SetSource(1, footprint, 9, 0, 0);
    GetDrawImageParams().requestFlags |= 129;
    ASSERT_TRUE(DrawImage(&image));
    const DrawLayer* layer = Engine::Layer(1);
    ASSERT_EQ(layer->items.size(), 4u);
    // The parts tile the picture left to right without gaps.
    int32_t x = screen.left, sourceX = 0;
    for (const DrawItem& item : layer->items) {
        EXPECT_EQ(item.mode, kItemSpriteUV);
        EXPECT_EQ(item.dest.left, x);
        EXPECT_EQ(int32_t(item.params[0]), sourceX);
        x = item.dest.right;
        sourceX = int32_t(item.params[2]);
        EXPECT_GE(item.x1, footprint.left);
        EXPECT_LE(item.x2, footprint.right);
        EXPECT_GE(item.y1, footprint.top);
        EXPECT_LE(item.y2, footprint.bottom);
    }
    EXPECT_EQ(x, screen.right);
    EXPECT_EQ(sourceX, 240);
}

} // namespace

namespace {

TEST_F(TiledImageTest, FootprintOutlinesAreDebugDrawingOnly) {
    DrawFootprintOutline(3, {0, 0, 8, 8}, 0, 0, 0);
    EXPECT_TRUE(Engine::Layer(3)->lines.empty());
    SetFootprintOutlines(true);
    DrawFootprintOutline(3, {0, 0, 2, 2}, 0, 0, 0);
    EXPECT_EQ(Engine::Layer(3)->lines.size(), 16u); // four diamonds
    EXPECT_EQ(Engine::Layer(3)->lines[0].colour, 0xFFFF0000u);
    DrawFootprintOutline(3, {0, 0, 1, 5}, 1, 16, 0);
    EXPECT_EQ(Engine::Layer(3)->lines.back().colour, 0xFF7FFF00u);
    // A footprint as large as a map gives its outline, not millions of cells.
    const size_t before = Engine::Layer(3)->lines.size();
    DrawFootprintOutline(3, {-8, -8, 8200, 8200}, 0, 0, 0xFF123456);
    EXPECT_EQ(Engine::Layer(3)->lines.size(), before + 4);
    EXPECT_EQ(Engine::Layer(3)->lines.back().colour, 0xFF123456u);
    SetFootprintOutlines(false);
}

} // namespace
