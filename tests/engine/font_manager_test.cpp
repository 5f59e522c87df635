#include "vfs_fixture.h"

#include "engine/asset_log.h"
#include "engine/bitmap_font.h"
#include "engine/draw_layers.h"
#include "engine/font_manager.h"
#include "engine/font_registry.h"

namespace {

// A font picture in the bitmap-font layout: marker at (0, 0), one row of
// cells `size` pixels high from y = 1, a glyph of `width` pixels closed by
// a marker for each of `glyphs` characters.
std::vector<uint8_t> FontPicture(int32_t size, int32_t glyphs, int32_t width) {
    const int32_t w = 1 + glyphs * (width + 1) + 1, h = size + 2;
    std::vector<uint32_t> pixels(size_t(w) * size_t(h), 0x00FFFFFF);
    pixels[0] = 0x00FF00FF;
    for (int32_t g = 0; g < glyphs; ++g) {
        const int32_t x = 1 + g * (width + 1);
        for (int32_t y = 1; y <= size; ++y)
            pixels[size_t(y) * size_t(w) + size_t(x)] = 0xFFFFFFFF;
        pixels[size_t(w) + size_t(x + width)] = 0x00FF00FF;
    }
    return WriteTga(pixels, w, h);
}

class FontManagerTest : public VfsAssetTest {
protected:
    void SetUp() override {
        VfsAssetTest::SetUp();
        FontManager::Reset();
        Mount("fonts");
        Mount("gfx_uif");
        for (int32_t layer = 0; layer < kDrawLayerCount; ++layer)
            Engine::ResetLayer(layer);
        Engine::ResetFrameLists();
    }
    void TearDown() override {
        for (int32_t layer = 0; layer < kDrawLayerCount; ++layer)
            Engine::ResetLayer(layer);
        Engine::ResetFrameLists();
        FontManager::Reset();
        VfsAssetTest::TearDown();
    }

    void Definitions(const std::string& fonts) {
        WriteText("config/fonts.xml", "<Fonts>" + fonts + "</Fonts>");
        FontManager::SetDefinitionFile((root / "config/fonts.xml").string());
    }
};

TEST(FontHeights, FromPointSizes) {
    const std::pair<int32_t, int32_t> cases[] = {{10, -13}, {12, -16}, {9, -12}, {0, 0}, {1, -1}, {29, -39}};
    for (auto [size, height] : cases)
        EXPECT_EQ(FontHeightFromSize(size), height) << size;
}

TEST(GlyphOrders, CommonAndShort) {
    const auto& common = GlyphOrderFor("Font00_12.tga");
    ASSERT_EQ(common.size(), 223u);
    EXPECT_EQ(common[0], 32);
    EXPECT_EQ(common[94], 126);
    EXPECT_EQ(common[95], 128);
    EXPECT_EQ(common[96], 130); // 129 comes at the end
    EXPECT_EQ(common[222], 160);
    const auto& short95 = GlyphOrderFor("fearialblack_29.TGA");
    ASSERT_EQ(short95.size(), 95u);
    EXPECT_EQ(short95[4], '0');
    EXPECT_EQ(short95[94], 223);
}

TEST(WideText, Code1252AndLatin1) {
    EXPECT_EQ(WidenText("A\x80\xE4", 1252), (std::u16string{u'A', 0x20AC, 0xE4}));
    EXPECT_EQ(WidenText("A\x80", 1250), (std::u16string{u'A', 0x80}));
    EXPECT_EQ(WidenText(std::string(5000, 'x'), 1252).size(), 3999u);
}

TEST_F(FontManagerTest, BitmapFontsComeFromTheFirstMatchingFileAndAreShared) {
    WriteFile("fonts/Small_7.tga", FontPicture(7, 3, 4));
    Definitions(
        R"(<Font name="Small" size="9"/><Font name="Small" size="12"/><Font name="Missing" size="9"/>)");
    const FontEntry& first = FontManager::GetFont(0);
    ASSERT_NE(first.bitmapFont, 0);
    EXPECT_EQ(first.logFont.height, 7);
    EXPECT_EQ(first.logFont.faceName, "Small");
    EXPECT_EQ(FontManager::GetFont(1).bitmapFont, first.bitmapFont);
    EXPECT_EQ(FontManager::FontCount(), 1u);
    const BitmapFont* font = Engine::GetBitmapFont(first.bitmapFont);
    ASSERT_NE(font, nullptr);
    EXPECT_EQ(font->glyphs[0][' '].advance, 5.0f);
    EXPECT_EQ(font->glyphs[0]['#'].advance, 0.0f); // only three cells: ' ', '!', '"'
    EXPECT_EQ(FontManager::GetTextHeight(0), 7);
    // Two glyphs of 5 and a character without one (spacing 0 + 5).
    EXPECT_EQ(FontManager::GetTextWidth(0, " !#"), 15);

    ClearAssetProblem();
    EXPECT_EQ(FontManager::GetFont(2).bitmapFont, 0);
    EXPECT_NE(LastAssetProblem().find("Missing"), std::string::npos);
    // The failure is kept: no second search.
    ClearAssetProblem();
    EXPECT_EQ(FontManager::GetFont(2).bitmapFont, 0);
    EXPECT_TRUE(LastAssetProblem().empty());
    // Numbers outside the definitions.
    EXPECT_EQ(FontManager::GetFont(3).bitmapFont, 0);
    EXPECT_EQ(FontManager::GetTextHeight(3), 0);
    EXPECT_EQ(FontManager::GetTextWidth(-1, "x"), 0);
}

TEST_F(FontManagerTest, FontFilesWhoseNamesGiveNoUsableSizeAreRefused) {
    WriteFile("fonts/NoSize.tga", FontPicture(7, 1, 4));
    WriteFile("fonts/Zero_0.tga", FontPicture(7, 1, 4));
    WriteFile("fonts/Huge_40.tga", FontPicture(7, 1, 4));
    WriteFile("fonts/Broken_7.tga", {1, 2, 3});
    struct Case {
        const char* name;
        const char* reason;
    };
    const Case cases[] = {{"NoSize", "size"},
                          {"Zero", "size"},
                          {"Huge", "leaves no glyph row"},
                          {"Broken", "font Broken_7.tga: TGA"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ClearAssetProblem();
        int32_t size = -1;
        EXPECT_EQ(LoadBitmapFont(c.name, size), 0);
        EXPECT_EQ(size, 0);
        EXPECT_NE(LastAssetProblem().find(c.reason), std::string::npos) << LastAssetProblem();
    }
    EXPECT_TRUE(Engine::State().liveSurfaces.empty());
}

TEST_F(FontManagerTest, AMissingDefinitionFileIsReadOnce) {
    FontManager::SetDefinitionFile((root / "config/none.xml").string());
    ClearAssetProblem();
    EXPECT_EQ(FontManager::GetTextHeight(0), 0);
    EXPECT_FALSE(LastAssetProblem().empty());
    ClearAssetProblem();
    EXPECT_EQ(FontManager::GetFont(0).bitmapFont, 0);
    EXPECT_EQ(FontManager::GetTextWidth(0, "abc"), 0);
    EXPECT_TRUE(LastAssetProblem().empty());
}

TEST_F(FontManagerTest, ColourIndexesPickTheTextColours) {
    WriteFile("fonts/Small_7.tga", FontPicture(7, 3, 4));
    Definitions(R"(<Font name="Small" size="9"/>)");
    WritePicture("gfx_uif/textcolor_03.tga", 2, 2, 0xFF123456);
    WritePicture("gfx_uif/textcolor_16.tga", 2, 2, 0xFF654321);
    WritePicture("gfx_uif/textcolor.tga", 2, 2, 0xFF654321);
    FontManager::Init(true);
    EXPECT_EQ(FontManager::GetTextColour(3), 0xFF123456u);
    EXPECT_EQ(FontManager::GetTextColour(16), 0u);
    struct Case {
        uint32_t given, drawn;
    };
    const Case cases[] = {{0x80000003, 0x80123456}, {0xFF000003, 0xFF123456}, {0x40000010, 0x40000010}};
    for (const Case& c : cases) {
        ASSERT_TRUE(FontManager::DrawText(4, 0, {10, 20, 100, 40}, c.given, " !", 0));
        const DrawItem& item = Engine::Layer(4)->items.back();
        EXPECT_EQ(item.mode, kItemBitmapText);
        EXPECT_EQ(item.colour, c.drawn);
        EXPECT_EQ(item.dest.left, 10);
        EXPECT_EQ(item.dest.top, 20);
    }
    EXPECT_FALSE(FontManager::DrawText(4, 5, {0, 0, 1, 1}, 0, "x", 0));
}

TEST_F(FontManagerTest, SystemFontsFallBackToTheAlternativeFaceThenTheSystemsChoice) {
    Definitions(
        R"(<Font name="Sans" size="10"/><Font name="Serif" size="10"/><Font name="Mono" size="12"/>)");
    FontManager::SetGdiFonts(true);
    FontManager::SetFaces("", "Backup");
    FontManager::SetFaceQuery([](const std::string& face) { return face == "Sans" || face == "Backup"; });
    const FontEntry& sans = FontManager::GetFont(0);
    ASSERT_TRUE(sans.systemFont);
    EXPECT_EQ(sans.systemFont->face, "Sans");
    EXPECT_EQ(sans.systemFont->height, -13);
    EXPECT_EQ(sans.logFont.height, -13);
    EXPECT_EQ(FontManager::GetFont(1).systemFont->face, "Backup");
    EXPECT_EQ(FontManager::GetFont(1).logFont.faceName, "Serif");
    FontManager::SetFaces("", "");
    EXPECT_EQ(FontManager::GetFont(2).systemFont->face, "");
    EXPECT_EQ(FontManager::FontCount(), 3u);
    // The same font number again is the same entry.
    EXPECT_EQ(FontManager::GetFont(0).systemFont, sans.systemFont);
    FontManager::SetGdiFonts(false);
    EXPECT_EQ(FontManager::FontCount(), 0u);
}

TEST_F(FontManagerTest, TheDefaultFontsOfTheGameDataAllLoad) {
    VfsShutdown();
    RegisterStandardSourceTypes();
    ASSERT_TRUE(VfsAddSource("file", "gamedata"));
    ASSERT_TRUE(VfsAddVirtualDir("fonts", "fonts"));
    FontManager::SetDefinitionFile("gamedata/config/fonts.xml");
    FontManager::GetFont(0);
    const int32_t count = GetFontRegistry().Count();
    ASSERT_GE(count, 1);
    for (int32_t n = 0; n < count; ++n) {
        SCOPED_TRACE(n);
        const FontEntry& entry = FontManager::GetFont(n);
        ASSERT_NE(entry.bitmapFont, 0) << LastAssetProblem();
        const BitmapFont* font = Engine::GetBitmapFont(entry.bitmapFont);
        for (uint8_t c : std::string("AZaz09!?"))
            EXPECT_GT(font->glyphs[0][c].advance, 0.0f) << c;
        EXPECT_GT(FontManager::GetTextWidth(n, "Marrowdale"), FontManager::GetTextWidth(n, "Mar"));
    }
}

} // namespace
