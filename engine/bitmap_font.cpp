#include "engine/bitmap_font.h"

#include "engine/surfaces.h"

#include <cmath>

namespace Engine {

std::vector<BitmapFont>& BitmapFonts() {
    static std::vector<BitmapFont> fonts;
    return fonts;
}

BitmapFont* GetBitmapFont(int32_t n) {
    auto& fonts = BitmapFonts();
    if (n < 1 || size_t(n) > fonts.size())
        return nullptr;
    return &fonts[size_t(n) - 1];
}

void InitBitmapFont(BitmapFont& font, Surface* surface, int32_t baseSize) {
    font.surface = surface;
    font.baseSize = baseSize;
    font.scale = baseSize != 0 ? 1.0f / float(baseSize) : 0.0f;
    font.glyphs = {};
}

int32_t GetFontSize(int32_t n) {
    const BitmapFont* f = GetBitmapFont(n);
    return f ? f->baseSize : 0;
}

int32_t BitmapTextWidth(int32_t n, int32_t size, int32_t table, const char* text, int32_t count,
                        int32_t spacing) {
    const BitmapFont* f = GetBitmapFont(n);
    if (!f || !text || count <= 0 || !text[0])
        return 0;
    const auto& glyphs = f->glyphs[size_t(table ? 1 : 0)];
    int32_t width = 0;
    for (int32_t i = 0; i < count; ++i) {
        const Glyph& g = glyphs[uint8_t(text[i])];
        if (g.advance != 0)
            width += int32_t(std::lround(g.advance * float(size) * f->scale + float(spacing)));
        else
            width += spacing + 5;
    }
    return width;
}

void FreeFontList() {
    for (BitmapFont& f : BitmapFonts())
        ReleaseSurfaceField(&f.surface);
    BitmapFonts().clear();
}

} // namespace Engine
