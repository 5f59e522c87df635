#include "engine/bitmap_font.h"
#include "engine/draw_layers.h"
#include "engine/engine_services.h"
#include "engine/frame.h"
#include "engine/quad_draw.h"
#include "engine/screen.h"
#include "platform/clock.h"
#include "platform/input_time.h"
#include "tests/engine/null_engine.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

class FrameTest : public NullEngineTest {};

// What a frame of three sprites on two textures, a scene rectangle and a
// bitmap text sends to the device, in order: sprites of one texture and
// configuration go out in one draw, the text's glyphs in one more.
TEST_F(FrameTest, FrameSendsBatchedDrawsInOrder) {
    TextureHandle a = MakeTexture(16, 16), b = MakeTexture(16, 16), glyphs = MakeTexture(16, 16);
    // A font of 8-pixel cells with glyphs for 'A' and 'B'.
    Surface* fontSurface = Engine::TextureSurface(glyphs);
    Engine::AddSurfaceRef(fontSurface);
    Engine::BitmapFonts().emplace_back();
    Engine::InitBitmapFont(Engine::BitmapFonts().back(), fontSurface, 8);
    Engine::BitmapFonts().back().glyphs[0]['A'] = {6, 0, 0, 0.375f, 0.5f};
    Engine::BitmapFonts().back().glyphs[0]['B'] = {6, 0.375f, 0, 0.75f, 0.5f};
    const int32_t font = int32_t(Engine::BitmapFonts().size());
    *Engine::StatsOverlayFlag() = 0;

    device.SetRecording(true);
    ASSERT_TRUE(Engine::BeginFrame());
    Engine::ResetLayer(0);
    ASSERT_TRUE(Engine::QueueSprite(0, a, {0, 0, 16, 16}, {0, 0, 1, 1}, 1, 1, 0, 0, 0));
    ASSERT_TRUE(Engine::QueueSprite(0, a, {20, 0, 36, 16}, {4, 0, 5, 1}, 2, 1, 0, 0, 0));
    ASSERT_TRUE(Engine::QueueSprite(0, b, {40, 0, 56, 16}, {8, 0, 9, 1}, 3, 1, 0, 0, 0));
    ASSERT_TRUE(Engine::DrawSpriteLayer(0));
    ASSERT_TRUE(Engine::QueueTexturedRect(2, b, {0, 100, 16, 116}, 0xFF808080, 1, 0));
    ASSERT_TRUE(Engine::QueueBitmapTextDirect(3, font, {10, 200}, 8, 0, "AB", 2, 0xFFFFFFFF, 1));
    ASSERT_TRUE(Engine::PresentFrame());
    *Engine::StatsOverlayFlag() = 1;
    auto id = [](TextureHandle h) { return std::to_string(Engine::TextureSurface(h)->deviceTexture); };
    const std::vector<std::string> expected = {
        "Fill back (0,0,1024,768) FF000000",
        "BeginScene",
        "BindTexture 0 " + id(a),
        "ApplyState blend=1(2,3) at=1(6,1) lin=0 mode=1 tint=0 wrap=0",
        "Draw tris v=8 i=12",
        "BindTexture 0 " + id(b),
        "Draw tris v=4 i=6",
        "EndScene",
        "SetClip (0,0,1024,768)",
        "BeginScene",
        "ApplyState blend=1(2,3) at=1(6,1) lin=0 mode=1 tint=1 wrap=0",
        "Draw tris v=4 i=6",
        "EndScene",
        "BeginScene",
        "BindTexture 0 " + id(glyphs),
        "ApplyState blend=1(2,3) at=1(6,1) lin=0 mode=1 tint=1 wrap=0", // a new scene forgets the last
        "Draw tris v=8 i=12",
        "EndScene",
        "Finish",
        "Present",
    };
    EXPECT_EQ(device.Calls(), expected);
}

TEST_F(FrameTest, LongRunsOfQuadsGoOutInBatchesOfTheRingSize) {
    TextureHandle a = MakeTexture(4, 4);
    ASSERT_TRUE(Engine::BeginFrame());
    Engine::ResetLayer(1);
    for (int32_t i = 0; i < 1100; ++i)
        ASSERT_TRUE(Engine::QueueSprite(1, a, {i % 1000, 0, i % 1000 + 4, 4}, {i, 0, i, 0}, 1, 1, 0, 0, 0));
    device.SetRecording(true);
    ASSERT_TRUE(Engine::DrawSpriteLayer(1));
    EXPECT_EQ(CallsStarting("Draw"),
              (std::vector<std::string>{"Draw tris v=2048 i=3072", "Draw tris v=2048 i=3072",
                                        "Draw tris v=304 i=456"}));
}

// An item whose texture went away fails the layer; the others are drawn.
TEST_F(FrameTest, FailedItemDoesNotStopTheLayer) {
    TextureHandle a = MakeTexture(4, 4), gone = MakeTexture(4, 4);
    ASSERT_TRUE(Engine::BeginFrame());
    Engine::ResetLayer(0);
    ASSERT_TRUE(Engine::QueueSprite(0, gone, {0, 0, 4, 4}, {0, 0, 0, 0}, 1, 1, 0, 0, 0));
    ASSERT_TRUE(Engine::QueueSprite(0, a, {8, 0, 12, 4}, {8, 8, 8, 8}, 2, 1, 0, 0, 0));
    ASSERT_TRUE(Engine::DeleteTexture(gone));
    device.SetRecording(true);
    EXPECT_FALSE(Engine::DrawSpriteLayer(0));
    EXPECT_EQ(CallsStarting("Draw"), (std::vector<std::string>{"Draw tris v=4 i=6"}));
}

// Renders every character as a 4 x 10 block.
class BlockTextRenderer : public SystemTextRenderer {
public:
    bool Measure(const SystemFont*, const char16_t*, int32_t count, int32_t* width,
                 int32_t* height) override {
        *width = 4 * count;
        *height = 10;
        return true;
    }
    bool Render(const SystemFont*, const char16_t*, int32_t, uint32_t colour, uint32_t, int32_t width,
                int32_t height, std::vector<uint32_t>& argb) override {
        argb.assign(size_t(width) * size_t(height), 0xFF000000 | colour);
        return true;
    }
};

TEST_F(FrameTest, OverlayFallsBackToTheSystemFont) {
    BlockTextRenderer renderer;
    Engine::SetSystemTextRenderer(&renderer);
    ASSERT_TRUE(Engine::BeginFrame());
    ASSERT_TRUE(Engine::AddStatsLine(u"one"));
    device.SetRecording(true);
    ASSERT_TRUE(Engine::PresentFrame());
    Engine::SetSystemTextRenderer(nullptr);
    std::vector<std::string> blits = CallsStarting("Blit");
    ASSERT_EQ(blits.size(), 2u);
    EXPECT_EQ(blits[0].rfind("Blit back (0,0)", 0), 0u) << blits[0];
    EXPECT_EQ(blits[1].rfind("Blit back (0,17)", 0), 0u) << blits[1];
    std::vector<uint32_t> pixel;
    ASSERT_TRUE(device.ReadPixels(plat::RenderTarget::BackBuffer, {1, 18, 2, 19}, pixel));
    EXPECT_EQ(pixel[0] & 0xFFFFFF, 0xFFFFFFu);
}

// The overlay's idle figure counts from the last input, over idle times
// past what 32-bit microseconds hold (35.8 minutes).
TEST_F(FrameTest, IdleFigureCountsFromTheLastInput) {
    auto idle = [] {
        const std::string text = Engine::FormatStatsOverlay(0, 0);
        const size_t at = text.rfind("Idle ");
        return at == std::string::npos ? -1 : std::stoll(text.substr(at + 5));
    };
    for (const uint64_t agoMs : {0ull, 5000ull, 40ull * 60 * 1000}) {
        const uint64_t before = plat::Clock::Timestamp();
        if (before < agoMs * 1000000)
            continue; // the clock has not run that long
        plat::NoteInput(before - agoMs * 1000000);
        const int64_t figure = idle();
        const uint64_t tookMs = (plat::Clock::Timestamp() - before) / 1000000;
        EXPECT_GE(figure, int64_t(agoMs)) << agoMs;
        EXPECT_LE(figure, int64_t(agoMs + tookMs + 1)) << agoMs;
    }
    const uint64_t before = plat::Clock::Timestamp();
    Engine::NoteInput();
    EXPECT_LE(idle(), int64_t((plat::Clock::Timestamp() - before) / 1000000 + 1));
}

TEST_F(FrameTest, StatisticsLinesAtMostEight) {
    ASSERT_TRUE(Engine::BeginFrame());
    EXPECT_FALSE(Engine::AddStatsLine(u""));
    EXPECT_FALSE(Engine::AddStatsLine(nullptr));
    for (int i = 0; i < 9; ++i)
        EXPECT_TRUE(Engine::AddStatsLine(u"line"));
    EXPECT_EQ(Engine::StatsLineCount(), 8);
    ASSERT_TRUE(Engine::BeginFrame());
    EXPECT_EQ(Engine::StatsLineCount(), 0);
}

TEST_F(FrameTest, TextStoreRefusesWhatWouldPassItsEnd) {
    std::string big(65535, 'x');
    const char* copy = nullptr;
    int32_t count = int32_t(big.size());
    EXPECT_TRUE(Engine::StoreText(&copy, big.c_str(), &count)); // rounded up to 65536
    ASSERT_NE(copy, nullptr);
    count = 1;
    EXPECT_FALSE(Engine::StoreText(&copy, "y", &count));
    EXPECT_EQ(copy, nullptr);
    EXPECT_EQ(count, 0);
    Engine::ClearTextStore();
    count = 1;
    EXPECT_TRUE(Engine::StoreText(&copy, "y", &count));
}

TEST_F(FrameTest, CursorImageLimits) {
    TextureHandle small = MakeTexture(64, 64), wide = MakeTexture(256, 32);
    const struct {
        TextureHandle texture;
        int32_t columns, rows;
        bool accepted;
        int32_t frameWidth;
    } cases[] = {
        {small, 4, 4, true, 16}, {small, 5, 4, false, 0}, {wide, 2, 1, false, 0}, {wide, 4, 1, true, 64},
        {small, 0, 1, false, 0}, {small, 1, 0, false, 0}, {9000, 1, 1, false, 0},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(Engine::SetCursorImage({}));
        EXPECT_EQ(Engine::SetCursorImage({c.texture, 0, 0, c.columns, c.rows, 0, 0}), c.accepted)
            << c.columns << "x" << c.rows;
        const CursorState& cursor = Engine::State().cursor;
        EXPECT_EQ(cursor.texture, c.accepted ? c.texture : 0u);
        EXPECT_EQ(cursor.frameWidth, c.frameWidth);
    }
    ASSERT_TRUE(Engine::SetCursorImage({small, 0, 0, 4, 4, 0, 0}));
    EXPECT_EQ(Engine::State().cursor.frames[5], (EngineRect{16, 16, 32, 32}));
}

TEST_F(FrameTest, CursorIsClippedToTheScreen) {
    TextureHandle c = MakeTexture(16, 16);
    ASSERT_TRUE(Engine::SetCursorImage({c, 2, 3, 1, 1, 0, 0}));
    device.SetRecording(true);
    Engine::SetMousePosition(1020, 10);
    EXPECT_TRUE(Engine::DrawCursor());
    const std::string id = std::to_string(Engine::TextureSurface(c)->deviceTexture);
    EXPECT_EQ(CallsStarting("Blit"),
              (std::vector<std::string>{"Blit back (1018,7) <- tex " + id + " (0,0,6,16)"}));
    device.ClearCalls();
    Engine::SetMousePosition(-100, 10);
    EXPECT_TRUE(Engine::DrawCursor());
    EXPECT_TRUE(CallsStarting("Blit").empty());
}

TEST(CursorThread, RedrawDecision) {
    const struct {
        PointI32 at, last;
        int32_t frames;
        int64_t sinceFrame;
        bool redraw;
    } cases[] = {
        {{5, 5}, {4, 5}, 1, 0, true},
        {{5, 5}, {5, 5}, 1, 1000000, false},
        {{5, 5}, {5, 5}, 4, 99999, false},
        {{5, 5}, {5, 5}, 4, 100000, true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Engine::CursorNeedsRedraw(c.at, c.last, c.frames, c.sinceFrame, 100), c.redraw);
}

TEST_F(FrameTest, GammaCorrectsBadValuesAndBuildsTheRamp) {
    ASSERT_TRUE(Engine::SetGamma(0.0f, -1.0f, 2.0f));
    float r, g, b;
    ASSERT_TRUE(Engine::GetGamma(&r, &g, &b));
    EXPECT_EQ(r, 1.0f);
    EXPECT_EQ(g, 1.0f);
    EXPECT_EQ(b, 2.0f);
    EXPECT_EQ(device.Gamma().red[128], 32896); // identity: 128 * 257
    EXPECT_EQ(device.Gamma().blue[64], 32832); // sqrt(64 / 255) * 65535
    EXPECT_EQ(device.Gamma().blue[255], 65535);
}

TEST_F(FrameTest, ReleaseTwiceAndLeakedSurfaces) {
    Surface* leaked = nullptr;
    ASSERT_EQ(Engine::CreateSurface(Engine::InitSurfaceDesc(8, 8, kSurfaceSystemMemory, kFormat565), &leaked),
              0);
    MakeTexture(4, 4); // textures are freed with the table, not leaks
    Engine::ReleaseEngine();
    EXPECT_EQ(messages, (std::vector<std::string>{"Engine: Released additional Surfaces!"}));
    EXPECT_TRUE(Engine::State().memory.IsZero());
    messages.clear();
    Engine::ReleaseEngine();
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(Engine::CheckModeChange(), 2);
}

TEST_F(FrameTest, PrimitivesAndMeshBounds) {
    ASSERT_TRUE(Engine::BeginFrame());
    device.SetRecording(true);
    EXPECT_TRUE(Engine::DrawRect(0xFF00FF00, {10, 10, 50, 50}, 0));
    EXPECT_TRUE(Engine::DrawRect(0xFF00FF00, {10, 10, 50, 50}, 2));
    EXPECT_TRUE(Engine::DrawRect(0xFF00FF00, {2000, 10, 2050, 50}, 2));
    EXPECT_EQ(CallsStarting("Draw"), (std::vector<std::string>{"Draw strip v=4 i=0", "Draw tris v=8 i=24"}));
    EngineVertex v[1] = {};
    EXPECT_FALSE(Engine::DrawMesh(v, 0, 0));
    EXPECT_FALSE(Engine::DrawMesh(v, 2049, 0));
    EXPECT_FALSE(Engine::DrawLine(0xFFFFFFFF, 0, 0, 10, 10, 0));
}

TEST_F(FrameTest, CulledQuadsChooseTheirConfigurations) {
    TextureHandle a = MakeTexture(8, 8), mask = MakeTexture(8, 8);
    ASSERT_TRUE(Engine::BeginFrame());
    device.SetRecording(true);
    EXPECT_TRUE(Engine::DrawQuad(a, mask, 0xFFFFFFFF, {0, 0, 8, 8}, 1, 1));
    const PointF uv[4] = {{0, 0}, {2, 0}, {0, 2}, {2, 2}};
    EXPECT_TRUE(Engine::DrawQuadUV(a, 0, 0xFF808080, {0, 0, 8, 8}, uv, 0, 2));
    EXPECT_TRUE(Engine::DrawQuad(a, 0, 0xFFFFFFFF, {-20, 0, -10, 8}, 0, 1)); // outside: nothing drawn
    EXPECT_FALSE(Engine::DrawQuad(9000, 0, 0xFFFFFFFF, {0, 0, 8, 8}, 0, 1));
    Engine::FlushQuads();
    EXPECT_EQ(CallsStarting("ApplyState"),
              (std::vector<std::string>{"ApplyState blend=1(2,3) at=0(7,0) lin=1 mode=2 tint=0 wrap=0",
                                        "ApplyState blend=1(1,3) at=0(7,0) lin=0 mode=1 tint=1 wrap=1"}));
    EXPECT_EQ(CallsStarting("Draw"), (std::vector<std::string>{"Draw tris v=4 i=6", "Draw tris v=4 i=6"}));
}

TEST_F(FrameTest, PickFindsTheFrontOpaqueSprite) {
    // Left half opaque, right half transparent.
    TextureHandle t = MakeTexture(8, 8, [](int32_t x, int32_t) { return x < 4 ? 0xFF102030u : 0x00102030u; });
    ASSERT_TRUE(Engine::QueueSprite(0, t, {0, 0, 16, 16}, {0, 0, 1, 1}, 11, 1, 0, 0, 0));
    ASSERT_TRUE(Engine::QueueSprite(0, t, {8, 0, 24, 16}, {0, 0, 1, 1}, 22, 1, 0, 0, 0));
    ASSERT_TRUE(Engine::SortLayer(0));
    // (10, 4) lies on the opaque half of the sprite at 8 and the transparent
    // half of the one at 0.
    EXPECT_EQ(Engine::PickItemAt(0, {10, 4}), 22u);
    EXPECT_EQ(Engine::PickItemAt(0, {2, 4}), 11u);
    EXPECT_EQ(Engine::PickItemAt(0, {20, 4}), 0u);
    EXPECT_EQ(Engine::PickItemAt(16, {2, 4}), 0u);
}

TEST_F(FrameTest, FramesCutFromOutlinesAndComposed) {
    // A 12 x 6 picture with two 3 x 3 frames outlined in magenta.
    const int32_t w = 12, h = 6;
    std::vector<uint32_t> picture(w * h, 0xFF000000);
    auto outline = [&](int32_t x0, int32_t y0, uint32_t inside) {
        for (int32_t y = y0; y < y0 + 5; ++y)
            for (int32_t x = x0; x < x0 + 5; ++x)
                picture[size_t(y * w + x)] =
                    (x == x0 || y == y0 || x == x0 + 4 || y == y0 + 4) ? 0xFFFF00FF : inside;
    };
    outline(0, 0, 0xFF111111);
    outline(6, 0, 0xFF222222);
    std::vector<uint32_t> scan = picture;
    EXPECT_EQ(Engine::FindOutlinedFrames(scan, w, h), (std::vector<EngineRect>{{1, 1, 4, 4}, {7, 1, 10, 4}}));
    TextureHandle t = MakeTexture(w, h, [&](int32_t x, int32_t y) { return picture[size_t(y * w + x)]; });
    ASSERT_TRUE(Engine::CacheTextureFrames(t, picture.data(), w, h));
    outline(0, 0, 0xFF333333);
    outline(6, 0, 0xFF444444);
    ASSERT_TRUE(Engine::CacheTextureFrames(t, picture.data(), w, h));
    const uint8_t pairs[] = {1, 0, 0, 1};
    ASSERT_TRUE(Engine::ComposeTextureFrames(t, pairs, 2));
    uint32_t c = 0;
    Engine::ReadTexturePixel(t, {0, 0, w, h}, 2, 2, {0, 0, w, h}, &c);
    EXPECT_EQ(c, 0xFF333333u);
    Engine::ReadTexturePixel(t, {0, 0, w, h}, 8, 2, {0, 0, w, h}, &c);
    EXPECT_EQ(c, 0xFF222222u);
    const uint8_t badGroup[] = {2, 0}, badFrame[] = {0, 2};
    CapturedErrors().clear();
    EXPECT_FALSE(Engine::ComposeTextureFrames(t, badGroup, 1));
    EXPECT_FALSE(Engine::ComposeTextureFrames(t, badFrame, 1));
    EXPECT_FALSE(Engine::ComposeTextureFrames(t, pairs, 0));
    EXPECT_FALSE(Engine::ComposeTextureFrames(9000, pairs, 1));
    ASSERT_EQ(CapturedErrors().size(), 4u);
    EXPECT_EQ(CapturedErrors()[0].second, 12290);
    EXPECT_EQ(CapturedErrors()[1].second, 12300);
    EXPECT_EQ(CapturedErrors()[2].second, 12269);
    EXPECT_EQ(CapturedErrors()[3].second, 12229);
}

} // namespace
