#include "null_engine.h"

#include "engine/bitmap_font.h"
#include "engine/engine_services.h"
#include "engine/quad_draw.h"
#include "engine/screen.h"
#include "engine/system_font.h"
#include "engine/text_draw.h"
#include "engine/textures.h"

#include <cstring>
#include <string>

namespace {

// Measures 10 pixels a character (a "W" 300) and 12 high; renders white.
class FakeTextRenderer : public SystemTextRenderer {
public:
    bool Measure(const SystemFont*, const char16_t* text, int32_t count, int32_t* width,
                 int32_t* height) override {
        *width = 0;
        for (int32_t i = 0; i < count; ++i)
            *width += text[i] == u'W' ? 300 : 10;
        *height = 12;
        return true;
    }
    bool Render(const SystemFont*, const char16_t* text, int32_t count, uint32_t, uint32_t, int32_t width,
                int32_t height, std::vector<uint32_t>& argb) override {
        pieces.emplace_back(text, size_t(count));
        argb.assign(size_t(width) * size_t(height), 0xFFFFFF);
        return true;
    }
    std::vector<std::u16string> pieces;
};

class TextDrawTest : public NullEngineTest {
protected:
    void SetUp() override {
        NullEngineTest::SetUp();
        Engine::SetSystemTextRenderer(&renderer);
        // A font with glyphs for ' ' (advance 5) and '!' (advance 3) only, base size 7.
        const int32_t w = 12, h = 9;
        std::vector<uint32_t> pixels(size_t(w * h), 0xFFFFFFFF);
        pixels[0] = 0x00FF00FF;
        pixels[size_t(w + 5)] = 0x00FF00FF;
        pixels[size_t(w + 8)] = 0x00FF00FF;
        const uint32_t key = 0x00FF00FF;
        TextureHandle texture =
            Engine::CreateTexture(w, h, kFormat8888, 0, pixels.data(), w * 4, &key, nullptr);
        const uint8_t chars[] = {' ', '!'};
        font = Engine::CreateBitmapFont(texture, chars, 2, 7);
        ASSERT_NE(font, 0);
    }
    void TearDown() override {
        Engine::ReleaseTextTexture();
        Engine::SetSystemTextRenderer(nullptr);
        NullEngineTest::TearDown();
    }

    // Draw calls and the vertices they sent, after a flush.
    std::pair<uint32_t, uint32_t> Sent() {
        Engine::FlushQuads();
        return {device.Stats().drawCalls, device.Stats().verticesDrawn};
    }

    FakeTextRenderer renderer;
    int32_t font = 0;
};

TEST_F(TextDrawTest, ThePenMovesByEachGlyphOrByTheSpacingPlusFive) {
    struct Case {
        const char* text;
        int32_t size, spacing, pen;
    };
    const Case cases[] = {
        {" ", 7, 0, 105},    // 5
        {" !", 7, 1, 110},   // (5 + 1) + (3 + 1)
        {"ab", 7, 3, 116},   // two characters without glyphs: 2 x (3 + 5)
        {" ", 14, 0, 110},   // twice the size, twice the advance
        {"! !", 7, -1, 108}, // 2 + 4 + 2
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(Engine::DrawBitmapText(font, 0xFFFFFFFF, 100, 0, c.size, 0, c.text,
                                         int32_t(std::strlen(c.text)), c.spacing),
                  c.pen);
    }
    EXPECT_EQ(Engine::DrawBitmapText(font, 0xFFFFFFFF, 100, 0, 7, 0, "", 0, 0), 0);
    EXPECT_EQ(Engine::DrawBitmapText(font, 0xFFFFFFFF, 100, 0, 7, 0, nullptr, 3, 0), 0);
    EXPECT_EQ(Engine::DrawBitmapText(99, 0xFFFFFFFF, 100, 0, 7, 0, "!", 1, 0), 0);
}

TEST_F(TextDrawTest, PointFilterOnlyAtTheBaseSize) {
    Engine::DrawBitmapText(font, 0xFF00FF00, 0, 0, 7, 0, "!", 1, 0);
    Engine::FlushQuads();
    EXPECT_FALSE(device.State().linearFilter);
    EXPECT_TRUE(device.State().tint);
    Engine::DrawBitmapText(font, 0xFF00FF00, 0, 0, 9, 0, "!", 1, 0);
    Engine::FlushQuads();
    EXPECT_TRUE(device.State().linearFilter);
}

TEST_F(TextDrawTest, LongTextsGoOutInBatches) {
    device.ResetStats();
    const std::string text(1300, '!');
    EXPECT_EQ(Engine::DrawBitmapText(font, 0xFFFFFFFF, 0, 0, 7, 0, text.data(), int32_t(text.size()), 0),
              3900);
    auto [calls, vertices] = Sent();
    EXPECT_EQ(calls, 3u); // 512 + 512 + 276 glyphs
    EXPECT_EQ(vertices, 1300u * 4);
}

TEST_F(TextDrawTest, SystemTextsWiderThanTheTextureAreDrawnInPieces) {
    SystemFont sans;
    const std::u16string wide(30, u'a'); // 300 pixels: 25 characters, then 5
    ASSERT_TRUE(
        Engine::DrawGdiTextItem(&sans, 0xFF102030, {10, 10, 10, 10}, wide.data(), int32_t(wide.size())));
    ASSERT_EQ(renderer.pieces.size(), 2u);
    EXPECT_EQ(renderer.pieces[0].size(), 25u);
    EXPECT_EQ(renderer.pieces[1].size(), 5u);

    // The same single piece again is not rendered again.
    renderer.pieces.clear();
    const std::u16string hello = u"hello";
    ASSERT_TRUE(Engine::DrawGdiTextItem(&sans, 0xFF102030, {0, 0, 0, 0}, hello.data(), 5));
    ASSERT_TRUE(Engine::DrawGdiTextItem(&sans, 0xFFFFFFFF, {0, 40, 0, 40}, hello.data(), 5));
    EXPECT_EQ(renderer.pieces.size(), 1u);

    // A glyph wider than the texture still ends the piece.
    renderer.pieces.clear();
    const std::u16string w = u"aWa";
    EXPECT_TRUE(Engine::DrawGdiTextItem(&sans, 0xFFFFFFFF, {0, 0, 0, 0}, w.data(), 3));
    EXPECT_EQ(renderer.pieces.size(), 3u);
}

TEST_F(TextDrawTest, SystemTextLimits) {
    SystemFont sans;
    const std::u16string tooLong(513, u'a');
    EXPECT_FALSE(Engine::DrawGdiTextItem(&sans, 0xFFFFFFFF, {0, 0, 0, 0}, tooLong.data(), 513));
    EXPECT_TRUE(Engine::DrawGdiTextItem(&sans, 0xFFFFFFFF, {0, 0, 0, 0}, u"", 0));
    EXPECT_TRUE(Engine::DrawGdiTextItem(&sans, 0xFFFFFFFF, {0, 0, 0, 0}, nullptr, 4));
    EXPECT_TRUE(renderer.pieces.empty());
    // Outside the clip nothing is rendered.
    const std::u16string text = u"far";
    EXPECT_TRUE(Engine::DrawGdiTextItem(&sans, 0xFFFFFFFF, {2000, 2000, 2000, 2000}, text.data(), 3));
    EXPECT_TRUE(renderer.pieces.empty());
    // Without a renderer the text cannot be drawn.
    Engine::SetSystemTextRenderer(nullptr);
    EXPECT_FALSE(Engine::DrawGdiTextItem(&sans, 0xFFFFFFFF, {0, 0, 0, 0}, text.data(), 3));
}

} // namespace
