#include "tools/mdtool/art_font.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>

namespace mdtool::art {

std::vector<uint8_t> FontGlyphOrder() {
    static const uint8_t kLast[] = {129, 141, 143, 144, 157, 160};
    std::vector<uint8_t> order;
    for (int b = 32; b <= 126; ++b)
        order.push_back(uint8_t(b));
    for (int b = 128; b <= 255; ++b)
        if (std::find(std::begin(kLast), std::end(kLast), b) == std::end(kLast))
            order.push_back(uint8_t(b));
    order.insert(order.end(), std::begin(kLast), std::end(kLast));
    return order;
}

uint32_t Cp1252ToUnicode(uint8_t b) {
    static const uint16_t k80[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                     0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                     0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                     0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};
    if (b >= 0x80 && b < 0xA0)
        return k80[b - 0x80];
    return b;
}

namespace {

struct FreeType {
    FT_Library lib = nullptr;
    FT_Face face = nullptr;
    ~FreeType() {
        if (face != nullptr)
            FT_Done_Face(face);
        if (lib != nullptr)
            FT_Done_FreeType(lib);
    }
};

} // namespace

std::optional<ArtImage> RenderFontSheet(const std::string& ttfPath, int32_t cellHeight, std::string& error) {
    if (cellHeight < 4) {
        error = "cell height below 4";
        return std::nullopt;
    }
    FreeType ft;
    if (FT_Init_FreeType(&ft.lib) != 0 || FT_New_Face(ft.lib, ttfPath.c_str(), 0, &ft.face) != 0) {
        error = "cannot read the font " + ttfPath;
        return std::nullopt;
    }
    // The largest pixel size whose line fits below the marker line.
    int32_t ascent = 0;
    for (int32_t px = cellHeight; px >= 2; --px) {
        FT_Set_Pixel_Sizes(ft.face, 0, FT_UInt(px));
        const FT_Size_Metrics& m = ft.face->size->metrics;
        ascent = int32_t((m.ascender + 63) / 64);
        const int32_t descent = int32_t((-m.descender + 63) / 64);
        if (ascent + descent <= cellHeight - 1)
            break;
    }

    const int32_t sheetWidth = cellHeight <= 16 ? 256 : 512;
    struct Cell {
        int32_t x, row, width, offset;
        bool rendered;
    };
    std::vector<Cell> cells;
    std::vector<ArtImage> glyphs;
    int32_t x = 1, row = 0;
    for (uint8_t b : FontGlyphOrder()) {
        const uint32_t code = Cp1252ToUnicode(b);
        ArtImage glyph(1, 1);
        int32_t width = 2, offset = 0;
        bool rendered = false;
        if (code != 0 && FT_Load_Char(ft.face, code, FT_LOAD_RENDER | FT_LOAD_TARGET_LIGHT) == 0) {
            const FT_GlyphSlot g = ft.face->glyph;
            const FT_Bitmap& bm = g->bitmap;
            offset = std::max(0, -g->bitmap_left);
            const int32_t advance = int32_t((g->advance.x + 32) / 64);
            width = std::max({advance + offset, offset + g->bitmap_left + int32_t(bm.width), 2});
            glyph = ArtImage(width, cellHeight - 1);
            for (unsigned r = 0; r < bm.rows; ++r)
                for (unsigned c = 0; c < bm.width; ++c) {
                    const uint8_t a = bm.buffer[r * unsigned(bm.pitch) + c];
                    if (a != 0)
                        glyph.Set(offset + g->bitmap_left + int32_t(c), ascent - g->bitmap_top + int32_t(r),
                                  uint32_t(a) << 24 | 0xFFFFFF);
                }
            rendered = true;
        }
        if (x + width >= sheetWidth) {
            x = 1;
            ++row;
        }
        cells.push_back({x, row, width, offset, rendered});
        glyphs.push_back(std::move(glyph));
        x += width;
    }

    ArtImage sheet(sheetWidth, 1 + (row + 1) * (cellHeight + 1));
    sheet.Set(0, 0, kKeyColour);
    for (size_t i = 0; i < cells.size(); ++i) {
        const Cell& c = cells[i];
        const int32_t top = 1 + c.row * (cellHeight + 1);
        if (c.rendered)
            sheet.Paste(glyphs[i], c.x, top + 1);
        sheet.Set(c.x + c.width - 1, top, kKeyColour);
    }
    return sheet;
}

} // namespace mdtool::art
