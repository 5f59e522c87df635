// Texts in system fonts from the SDL_ttf renderer: measured and rendered on
// their own, then drawn by the engine as a game with a text code page draws
// them, on the Null device and on the OpenGL device (SDL's off-screen driver;
// skipped where no GL context can be made).
#include "engine/draw_layers.h"
#include "engine/engine_services.h"
#include "engine/font_manager.h"
#include "engine/font_registry.h"
#include "engine/frame.h"
#include "engine/platform_text_renderer.h"
#include "engine/quad_draw.h"
#include "engine/system_font.h"
#include "engine/text_draw.h"
#include "platform/video/gl_render_device.h"
#include "platform/video/ttf_text_renderer.h"
#include "tests/engine/null_engine.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

namespace {

std::unique_ptr<plat::TextRenderer> OpenFont() {
    std::string error;
    auto r = plat::MakeTtfTextRenderer({"no/such/folder", plat::kDejaVuFontFolder}, &error);
    EXPECT_NE(r, nullptr) << error;
    return r;
}

bool Bright(uint32_t argb) {
    return (argb & 0xFF) > 200 && ((argb >> 8) & 0xFF) > 200 && ((argb >> 16) & 0xFF) > 200;
}

TEST(TtfText, AFolderListWithoutTheFontIsRefusedNamingIt) {
    std::string error;
    EXPECT_EQ(plat::MakeTtfTextRenderer({"no/such/folder"}, &error), nullptr);
    EXPECT_NE(error.find("DejaVuSans.ttf"), std::string::npos) << error;
    EXPECT_NE(error.find("no/such/folder"), std::string::npos) << error;
}

TEST(TtfText, MeasuresByHeightWeightAndLength) {
    auto r = OpenFont();
    ASSERT_NE(r, nullptr);
    auto measure = [&](const plat::TextFont& f, std::u16string_view text) {
        int32_t w = -1, h = -1;
        EXPECT_TRUE(r->Measure(f, text, w, h));
        return std::make_pair(w, h);
    };
    const plat::TextFont regular{"Arial", -16, 400}, bold{"Arial", -16, 700};
    const auto [w, h] = measure(regular, u"Marrowdale");
    EXPECT_GE(h, 16); // the line holds the character height and more
    EXPECT_LE(h, 24);
    EXPECT_GT(w, 40);
    EXPECT_GT(measure(regular, u"Marrowdale Marrowdale").first, w + w / 2);
    EXPECT_GT(measure(bold, u"Marrowdale").first, w);
    EXPECT_EQ(measure(regular, u"").first, 0);
    // A positive height is the line's; 0 is the renderer's own size.
    EXPECT_NEAR(measure({"", 20, 400}, u"Ag").second, 20, 1);
    const int32_t defaultHeight = measure({}, u"Ag").second;
    EXPECT_GE(defaultHeight, 10);
    EXPECT_LE(defaultHeight, 20);
    // Sizes far out of range are drawn at the largest size, not refused.
    EXPECT_LE(measure({"", -2000000000, 400}, u"A").second, 400);
}

TEST(TtfText, RendersCoverageOverTheBackgroundAndKeysWithoutFringes) {
    auto r = OpenFont();
    ASSERT_NE(r, nullptr);
    const plat::TextFont font{"", -16, 400};
    const std::u16string text = u"Mw";
    int32_t w = 0, h = 0;
    ASSERT_TRUE(r->Measure(font, text, w, h));
    const int32_t width = w + 10; // past the text: background
    std::vector<uint32_t> px;
    ASSERT_TRUE(r->Render(font, text, 0xFFFFFF, 0x000000, width, h, px));
    ASSERT_EQ(px.size(), size_t(width) * size_t(h));
    size_t full = 0, partial = 0;
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < width; ++x) {
            const uint32_t p = px[size_t(y) * size_t(width) + size_t(x)];
            ASSERT_EQ(p >> 24, 0xFFu);
            full += (p & 0xFFFFFF) == 0xFFFFFF;
            partial += (p & 0xFFFFFF) != 0xFFFFFF && (p & 0xFFFFFF) != 0;
            if (x >= w) {
                ASSERT_EQ(p, 0xFF000000u) << x << "," << y;
            }
        }
    EXPECT_GT(full, 20u);
    EXPECT_GT(partial, 0u); // blended edges

    // On the transparent key every pixel is the colour or the key.
    ASSERT_TRUE(r->Render(font, text, 0x20C040, 0xFF00FF, width, h, px));
    size_t coloured = 0;
    for (uint32_t p : px) {
        ASSERT_TRUE(p == 0xFF20C040u || p == 0xFFFF00FFu) << std::hex << p;
        coloured += p == 0xFF20C040u;
    }
    EXPECT_GT(coloured, 20u);
}

TEST(TtfText, UnusualCharactersAreDrawnAsSomething) {
    auto r = OpenFont();
    ASSERT_NE(r, nullptr);
    const std::u16string texts[] = {
        std::u16string(u"a\0b", 3),             // a NUL inside the text
        std::u16string{u'x', char16_t(0xD800)}, // a lone surrogate
        u"\U0001F600",                          // a pair
        u"\u00e4\u20ac\u0416",
    };
    for (const std::u16string& t : texts) {
        int32_t w = 0, h = 0;
        ASSERT_TRUE(r->Measure({}, t, w, h)) << t.size();
        EXPECT_GT(w, 0) << t.size();
        std::vector<uint32_t> px;
        EXPECT_TRUE(r->Render({}, t, 0xFFFFFF, 0, w, h, px));
    }
    std::vector<uint32_t> px;
    EXPECT_TRUE(r->Render({}, u"", 0xFFFFFF, 0x123456, 3, 2, px));
    EXPECT_EQ(px, std::vector<uint32_t>(6, 0xFF123456u));
    EXPECT_FALSE(r->Render({}, u"a", 0xFFFFFF, 0, -1, 2, px));
}

// The font manager with a text code page: its fonts are system fonts.
void UseSystemFonts() {
    FontManager::Reset();
    const std::string xml = R"(<Fonts><Font name="Arial" size="12"/></Fonts>)";
    ASSERT_TRUE(GetFontRegistry().LoadFromMemory(xml.data(), xml.size()));
    FontManager::SetGdiFonts(true);
    ASSERT_TRUE(FontManager::GetFont(0).systemFont);
}

class SystemTextOnNullTest : public NullEngineTest {
protected:
    void SetUp() override {
        NullEngineTest::SetUp();
        fonts = OpenFont();
        ASSERT_NE(fonts, nullptr);
        systemText = std::make_unique<PlatformTextRenderer>(*fonts);
        Engine::SetSystemTextRenderer(systemText.get());
    }
    void TearDown() override {
        FontManager::Reset();
        Engine::SetSystemTextRenderer(nullptr);
        NullEngineTest::TearDown();
    }
    std::unique_ptr<plat::TextRenderer> fonts;
    std::unique_ptr<PlatformTextRenderer> systemText;
};

// Blitted onto the back buffer (the statistics overlay's way): the letters
// land, the keyed background leaves the picture under it alone.
TEST_F(SystemTextOnNullTest, BlittedTextKeepsThePictureAroundTheLetters) {
    const SystemFont font{"", -16, 400, 1};
    const std::u16string text = u"Marrowdale";
    int32_t w = 0, h = 0;
    Engine::GdiTextExtent(&font, text.data(), int32_t(text.size()), &w, &h);
    ASSERT_LT(w, 200);
    ASSERT_TRUE(device.Fill(plat::RenderTarget::BackBuffer, {0, 0, 1024, 768}, 0xFF0000FF));
    ASSERT_TRUE(Engine::DrawGdiText(&font, text.data(), int32_t(text.size()), 20, 30, 0xFFFFFF, 0xFF00FF));
    std::vector<uint32_t> px;
    ASSERT_TRUE(device.ReadPixels(plat::RenderTarget::BackBuffer, {0, 0, 300, 100}, px));
    size_t letters = 0;
    for (int32_t y = 0; y < 100; ++y)
        for (int32_t x = 0; x < 300; ++x) {
            const uint32_t p = px[size_t(y) * 300 + size_t(x)] & 0xFFFFFF;
            const bool inside = x >= 20 && x < 20 + w && y >= 30 && y < 30 + h;
            ASSERT_TRUE(p == 0x0000FF || (inside && p == 0xFFFFFF)) << x << "," << y << " " << std::hex << p;
            letters += p == 0xFFFFFF;
        }
    EXPECT_GT(letters, 40u);
}

// Queued by the font manager and drawn with its layer: the text goes into
// the text texture as coverage and out as one quad.
TEST_F(SystemTextOnNullTest, FontManagerTextGoesThroughTheTextTexture) {
    UseSystemFonts();
    ASSERT_TRUE(Engine::BeginFrame());
    Engine::ResetLayer(1);
    ASSERT_TRUE(FontManager::DrawText(0, 0, {100, 100, 100, 100}, 0xFFFFFFFF, "Marrowdale", 0));
    device.ResetStats();
    ASSERT_TRUE(Engine::DrawSpriteLayer(1)); // system texts go one layer up
    Engine::FlushQuads();
    EXPECT_EQ(Engine::SystemTextRenders(), 1u);
    EXPECT_EQ(device.Stats().drawCalls, 1u);
    const plat::TextureLock* tex = device.TexturePixels(device.BoundTexture(0));
    ASSERT_NE(tex, nullptr);
    size_t covered = 0;
    for (int32_t y = 0; y < tex->height; ++y)
        for (int32_t x = 0; x < tex->width; ++x) {
            uint32_t v = 0;
            std::memcpy(&v, tex->pixels + size_t(y) * size_t(tex->pitch) + size_t(x) * 4, 4);
            covered += plat::NativeToArgb(tex->format, v) >> 24 == 0xFF;
        }
    EXPECT_GT(covered, 40u);
}

TEST(SystemTextOnGl, ACodePageTextReachesTheScreen) {
    static plat::Window* shared = new plat::Window; // the GL driver stays loaded until exit
    plat::Window& window = *shared;
    SDL_SetHint(SDL_HINT_VIDEODRIVER, "offscreen");
    if (!window.IsOpen() && !window.Open("text", 320, 240, false, true))
        GTEST_SKIP() << "no GL context: " << window.Error();
    std::string error;
    auto device = plat::MakeGlRenderDevice(window, &error);
    if (!device)
        GTEST_SKIP() << "no GL device: " << error;
    ASSERT_TRUE(Engine::EngineInit(device.get(), {}, DisplayMode{1024, 768, 16, 60, 0}));
    auto fonts = OpenFont();
    ASSERT_NE(fonts, nullptr);
    PlatformTextRenderer systemText(*fonts);
    Engine::SetSystemTextRenderer(&systemText);
    UseSystemFonts();

    const FontEntry& font = FontManager::GetFont(0);
    int32_t w = 0, h = 0;
    Engine::GdiTextExtent(font.systemFont.get(), u"Marrowdale", 10, &w, &h);
    ASSERT_GT(w, 0);
    *Engine::StatsOverlayFlag() = 0;
    ASSERT_TRUE(Engine::BeginFrame());
    Engine::ResetLayer(1);
    ASSERT_TRUE(FontManager::DrawText(0, 0, {100, 100, 100, 100}, 0xFFFFFFFF, "Marrowdale", 0));
    ASSERT_TRUE(Engine::DrawSpriteLayer(1));
    ASSERT_TRUE(Engine::PresentFrame());

    // White letters inside the text's box on black, nothing around it.
    std::vector<uint32_t> shot;
    const plat::DeviceRect area{80, 80, 100 + w + 20, 100 + h + 20};
    ASSERT_TRUE(device->ReadPixels(plat::RenderTarget::BackBuffer, area, shot));
    size_t letters = 0;
    for (int32_t y = area.top; y < area.bottom; ++y)
        for (int32_t x = area.left; x < area.right; ++x) {
            const uint32_t p = shot[size_t(y - area.top) * size_t(area.Width()) + size_t(x - area.left)];
            const bool inside = x >= 100 && x < 100 + w && y >= 100 && y < 100 + h;
            if (!inside) {
                ASSERT_EQ(p & 0xFFFFFF, 0u) << x << "," << y;
            }
            letters += Bright(p);
        }
    EXPECT_GT(letters, 40u);

    FontManager::Reset();
    Engine::SetSystemTextRenderer(nullptr);
    Engine::ReleaseEngine();
    device.reset();
}

} // namespace
