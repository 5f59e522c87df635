#include "asset_fixture.h"

#include "engine/textures.h"
#include "engine/tga_texture.h"
#include "engine/tga_writer.h"

#include <cstring>
#include <string>

namespace {

class TexturesTest : public AssetEngineTest {
protected:
    // The texture's pixels as stored, one value per texel (16 or 32 bits).
    std::vector<uint32_t> Texels(TextureHandle handle) {
        Surface* surface = Engine::TextureSurface(handle);
        const plat::TextureLock* lock = device->TexturePixels(surface->deviceTexture);
        const int32_t bytes = plat::BytesPerPixel(lock->format);
        std::vector<uint32_t> out;
        for (int32_t y = 0; y < lock->height; ++y) {
            for (int32_t x = 0; x < lock->width; ++x) {
                uint32_t v = 0;
                std::memcpy(&v, lock->pixels + size_t(y) * lock->pitch + size_t(x) * bytes, size_t(bytes));
                out.push_back(v);
            }
        }
        return out;
    }
};

TEST_F(TexturesTest, ConvertsPixelsIntoTheFormatOnAPowerOfTwoSurface) {
    const std::vector<uint32_t> picture = {0xFFFF0000, 0x8000FF00, 0x000000FF, //
                                           0xFFFFFFFF, 0x00000000, 0x12345678};
    struct Case {
        int32_t format;
        std::vector<uint32_t> texels; // 4 x 2: the surface is rounded up to a power of two
    };
    const Case cases[] = {
        {kFormat8888, {0xFFFF0000, 0x8000FF00, 0x000000FF, 0, 0xFFFFFFFF, 0x00000000, 0x12345678, 0}},
        {kFormat565, {0xF800, 0x07E0, 0x001F, 0, 0xFFFF, 0x0000, 0x32AF, 0}},
        {kFormat4444, {0xFF00, 0x80F0, 0x000F, 0, 0xFFFF, 0x0000, 0x1357, 0}},
        {kFormat1555, {0xFC00, 0x83E0, 0x001F, 0, 0xFFFF, 0x0000, 0x194F, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.format);
        Engine::TextureSize size;
        TextureHandle handle = Engine::CreateTexture(3, 2, c.format, 0, picture.data(), 12, nullptr, &size);
        ASSERT_NE(handle, 0u);
        EXPECT_EQ(size.width, 3);
        EXPECT_EQ(size.height, 2);
        EXPECT_EQ(Texels(handle), c.texels);
        TextureRecord record;
        ASSERT_TRUE(Engine::GetTextureRecord(Engine::TextureSurface(handle), &record));
        EXPECT_EQ(record.width, 3);
        EXPECT_EQ(record.height, 2);
        EXPECT_FLOAT_EQ(record.usedU, 0.75f);
        EXPECT_FLOAT_EQ(record.usedV, 1.0f);
        EXPECT_FLOAT_EQ(record.halfU, 0.125f);
        EXPECT_FLOAT_EQ(record.halfV, 0.25f);
        EXPECT_FLOAT_EQ(record.invWidth, 1.0f / 3);
        EXPECT_EQ(record.format, c.format);
        EXPECT_TRUE(Engine::DeleteTexture(handle));
    }
}

TEST_F(TexturesTest, AScaleShiftAveragesEachBlockChannelByChannel) {
    // 4 x 2 with a pitch of 5 pixels; the fifth column must be ignored.
    const std::vector<uint32_t> picture = {0xFF000000, 0xFF0000FF, 0x00FF0000, 0x40FF0000, 0xDEADBEEF,
                                           0xFF00FF00, 0xFF000003, 0x80FF0000, 0xC0FF0000, 0xDEADBEEF};
    Engine::TextureSize size;
    TextureHandle handle = Engine::CreateTexture(4, 2, kFormat8888, 1, picture.data(), 20, nullptr, &size);
    ASSERT_NE(handle, 0u);
    EXPECT_EQ(size.width, 2);
    EXPECT_EQ(size.height, 1);
    EXPECT_EQ(size.shift, 1);
    // Left block: green 255 / 4 = 63, blue (255 + 3) / 4 = 64; right block: alpha (0 + 64 + 128 + 192) / 4.
    EXPECT_EQ(Texels(handle), (std::vector<uint32_t>{0xFF003F40, 0x60FF0000}));
}

TEST_F(TexturesTest, RefusesSizesThatLeaveNoTexture) {
    const std::vector<uint32_t> picture(64, 0xFFFFFFFF);
    struct Case {
        const char* name;
        int32_t w, h, format, shift, pitch;
    };
    const Case cases[] = {
        {"width 1 shift 1", 1, 8, kFormat8888, 1, 4},   {"zero width", 0, 8, kFormat8888, 0, 4},
        {"negative height", 8, -1, kFormat8888, 0, 32}, {"shift 32", 8, 8, kFormat8888, 32, 32},
        {"negative shift", 8, 8, kFormat8888, -1, 32},  {"format 8", 8, 8, 8, 0, 32},
        {"pitch too small", 8, 8, kFormat8888, 0, 16},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(
            Engine::CreateTexture(c.w, c.h, c.format, c.shift, picture.data(), c.pitch, nullptr, nullptr),
            0u);
    }
    Engine::State().formats[kFormat1555].supported = 0;
    EXPECT_EQ(Engine::CreateTexture(8, 8, kFormat1555, 0, picture.data(), 32, nullptr, nullptr), 0u);
    EXPECT_TRUE(Engine::State().liveSurfaces.empty());
}

TEST_F(TexturesTest, AFullTableReleasesTheNewSurface) {
    const uint32_t pixel = 0xFFFFFFFF;
    for (uint32_t i = 1; i < kTextureTableSize; ++i)
        ASSERT_EQ(Engine::CreateTexture(1, 1, kFormat8888, 0, &pixel, 4, nullptr, nullptr), i);
    const size_t live = Engine::State().liveSurfaces.size();
    EXPECT_EQ(Engine::CreateTexture(1, 1, kFormat8888, 0, &pixel, 4, nullptr, nullptr), 0u);
    EXPECT_EQ(Engine::State().liveSurfaces.size(), live);
}

TEST_F(TexturesTest, ColourKeyIsStoredInTheSurfaceFormat) {
    const std::vector<uint32_t> picture = {0x00FF00FF, 0xFF123456};
    const uint32_t key = 0x00FF00FF;
    TextureHandle handle = Engine::CreateTexture(2, 1, kFormat565, 0, picture.data(), 8, &key, nullptr);
    Surface* surface = Engine::TextureSurface(handle);
    ASSERT_NE(surface, nullptr);
    EXPECT_TRUE(surface->hasColourKey);
    EXPECT_EQ(surface->colourKey, 0xF81Fu);
    uint32_t colour = 0;
    ASSERT_TRUE(Engine::ReadTexturePixel(handle, {0, 0, 2, 1}, 0, 0, {0, 0, 2, 1}, &colour));
    EXPECT_EQ(colour >> 24, 0u);
}

TEST_F(TexturesTest, UnlockRefusesHandlesThatNameNoTexture) {
    const uint32_t pixel = 0xFFFFFFFF;
    TextureHandle handle = Engine::CreateTexture(1, 1, kFormat8888, 0, &pixel, 4, nullptr, nullptr);
    Engine::TextureLockInfo lock;
    ASSERT_TRUE(Engine::LockTexture(handle, &lock));
    EXPECT_TRUE(Engine::UnlockTexture(handle));
    ASSERT_TRUE(Engine::DeleteTexture(handle));
    for (TextureHandle bad : {0u, handle, kTextureTableSize, kTextureTableSize + 5})
        EXPECT_FALSE(Engine::UnlockTexture(bad)) << bad;
    EXPECT_TRUE(errors().empty());
}

// A font picture: marker at (0, 0), cells 3 pixels high from y = 1, one
// pixel line between rows, a marker on a row's first line closing a glyph.
struct FontPicture {
    int32_t width = 12, height = 9;
    std::vector<uint32_t> pixels = std::vector<uint32_t>(size_t(12 * 9), 0xFFFFFFFF);
    void Mark(int32_t x, int32_t y) { pixels[size_t(y * width + x)] = 0x00FF00FF; }
};

FontPicture SampleFont() {
    FontPicture font;
    font.Mark(0, 0);
    // Row 0 (y = 1): glyphs over columns 1-3, 4-4, 5-9.
    font.Mark(3, 1);
    font.Mark(4, 1);
    font.Mark(9, 1);
    // Row 1 (y = 5): one glyph over columns 1-2, then a second marker right after.
    font.Mark(2, 5);
    font.Mark(3, 5);
    return font;
}

TEST_F(TexturesTest, BitmapFontCellsAreCutAtTheMarkers) {
    FontPicture picture = SampleFont();
    const uint32_t key = 0x00FF00FF;
    TextureHandle handle = Engine::CreateTexture(picture.width, picture.height, kFormat8888, 0,
                                                 picture.pixels.data(), picture.width * 4, &key, nullptr);
    ASSERT_NE(handle, 0u);
    const uint8_t chars[] = {'A', 'B', 'C', 'D', 'E', 'F', 'G'};
    int32_t count = Engine::CreateBitmapFont(handle, chars, 7, 3);
    ASSERT_EQ(count, 1);
    EXPECT_FALSE(Engine::IsValidTexture(handle)); // the handle went back, the font keeps the surface
    const BitmapFont* font = Engine::GetBitmapFont(1);
    ASSERT_NE(font, nullptr);
    EXPECT_EQ(font->baseSize, 3);
    ASSERT_NE(font->surface, nullptr);

    // Surface 16 x 16: a texel is 1/16, half a texel 1/32.
    const float t = 1.0f / 16, h = 1.0f / 32;
    struct Expect {
        uint8_t c;
        float wide, narrow, left, top, rightWide, rightNarrow;
    };
    const Expect glyphs[] = {
        {'A', 3, 2, 1 * t + h, 1 * t + h, 4 * t + h, 3 * t + h},
        {'B', 1, 0, 4 * t + h, 1 * t + h, 5 * t + h, 4 * t + h},
        {'C', 5, 4, 5 * t + h, 1 * t + h, 10 * t + h, 9 * t + h},
        {'D', 2, 1, 1 * t + h, 5 * t + h, 3 * t + h, 2 * t + h},
        {'E', 1, 0, 3 * t + h, 5 * t + h, 4 * t + h, 3 * t + h},
    };
    for (const Expect& e : glyphs) {
        SCOPED_TRACE(e.c);
        const Glyph& wide = font->glyphs[0][e.c];
        const Glyph& narrow = font->glyphs[1][e.c];
        EXPECT_FLOAT_EQ(wide.advance, e.wide);
        EXPECT_FLOAT_EQ(narrow.advance, e.narrow);
        EXPECT_FLOAT_EQ(wide.uLeft, e.left);
        EXPECT_FLOAT_EQ(wide.vTop, e.top);
        EXPECT_FLOAT_EQ(wide.vBottom, e.top + 3 * t);
        EXPECT_FLOAT_EQ(wide.uRight, e.rightWide);
        EXPECT_FLOAT_EQ(narrow.uRight, e.rightNarrow);
    }
    // More characters than cells: the rest have no glyph.
    EXPECT_EQ(font->glyphs[0]['F'].advance, 0.0f);
    EXPECT_EQ(font->glyphs[0]['G'].advance, 0.0f);
}

TEST_F(TexturesTest, BitmapFontRefusals) {
    FontPicture picture = SampleFont();
    const uint8_t chars[] = {'A'};
    auto make = [&] {
        return Engine::CreateTexture(picture.width, picture.height, kFormat4444, 0, picture.pixels.data(),
                                     picture.width * 4, nullptr, nullptr);
    };
    TextureHandle handle = make();
    EXPECT_EQ(Engine::CreateBitmapFont(handle, chars, 1, 0), 0);
    EXPECT_TRUE(Engine::IsValidTexture(handle));
    EXPECT_EQ(Engine::CreateBitmapFont(0, chars, 1, 3), 0);
    EXPECT_EQ(Engine::CreateBitmapFont(kTextureTableSize, chars, 1, 3), 0);
    EXPECT_FALSE(errors().empty());
    // A cell higher than the picture gives a font without glyphs rather than a scan past its end.
    ASSERT_EQ(Engine::CreateBitmapFont(handle, chars, 1, 100), 1);
    EXPECT_EQ(Engine::GetBitmapFont(1)->glyphs[0]['A'].advance, 0.0f);
    // 16-bit font textures compare the marker without its alpha bits.
    ASSERT_EQ(Engine::CreateBitmapFont(make(), chars, 1, 3), 2);
    EXPECT_EQ(Engine::GetBitmapFont(2)->glyphs[0]['A'].advance, 3.0f);
}

} // namespace

namespace {

class TgaTextureTest : public AssetEngineTest {};

TEST_F(TgaTextureTest, TheFirstTransparentPixelBecomesTheKeyWhenAsked) {
    const std::vector<uint32_t> picture = {0xFF102030, 0x00FF00FF, 0x00000000, 0xFF405060};
    auto file = WriteTga(picture, 2, 2);
    Engine::TextureSize size;
    TextureHandle keyed = LoadTgaTextureFromMemory(file.data(), file.size(), kFormat565, &size, true, 0);
    ASSERT_NE(keyed, 0u);
    EXPECT_EQ(size.width, 2);
    Surface* surface = Engine::TextureSurface(keyed);
    EXPECT_TRUE(surface->hasColourKey);
    EXPECT_EQ(surface->colourKey, 0xF81Fu);
    TextureHandle plain = LoadTgaTextureFromMemory(file.data(), file.size(), kFormat565, nullptr, false, 0);
    EXPECT_FALSE(Engine::TextureSurface(plain)->hasColourKey);
    const std::vector<uint32_t> opaque = {0xFF000000};
    TextureHandle none = MakeTextureFromPixels(opaque.data(), kFormat8888, nullptr, true, 0, 1, 1, 4);
    EXPECT_FALSE(Engine::TextureSurface(none)->hasColourKey);
    file.resize(file.size() - 1);
    EXPECT_EQ(LoadTgaTextureFromMemory(file.data(), file.size(), kFormat565, nullptr, true, 0), 0u);
    EXPECT_EQ(LoadTgaTexture("no/such/file.tga", kFormat565, nullptr, true, 0), 0u);
}

} // namespace
