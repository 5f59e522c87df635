// Bitmap fonts: glyph cells cut from one font texture, in two tables (the
// wide and the narrow glyph forms). Fonts are numbered from 1 in the
// engine's pool. Measuring lives here; cutting a font out of its texture
// and drawing text live with the textures and the text drawing.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

struct Surface;

struct Glyph {
    float advance = 0; // 0 = no glyph
    float uLeft = 0, vTop = 0, uRight = 0, vBottom = 0;
};

struct BitmapFont {
    Surface* surface = nullptr; // the font's own reference
    int32_t baseSize = 0;       // cell height in pixels
    float scale = 0;            // 1 / baseSize, 0 for size 0
    std::array<std::array<Glyph, 256>, 2> glyphs{};
};

namespace Engine {

// The pool; font n is element n - 1.
std::vector<BitmapFont>& BitmapFonts();
// Font n, or null.
BitmapFont* GetBitmapFont(int32_t n);

// Takes the surface and size and clears both glyph tables.
void InitBitmapFont(BitmapFont& font, Surface* surface, int32_t baseSize);
int32_t GetFontSize(int32_t n);
// Width in pixels of count characters at the size: each glyph adds
// round(advance * size / base + spacing), a character without glyph
// spacing + 5.
int32_t BitmapTextWidth(int32_t n, int32_t size, int32_t table, const char* text, int32_t count,
                        int32_t spacing);
// Releases every font's surface and empties the pool.
void FreeFontList();

} // namespace Engine
