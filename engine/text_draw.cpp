#include "engine/text_draw.h"

#include "engine/bitmap_font.h"
#include "engine/engine_error.h"
#include "engine/engine_result.h"
#include "engine/engine_services.h"
#include "engine/quad_draw.h"
#include "engine/screen.h"
#include "engine/state_blocks.h"
#include "engine/surfaces.h"
#include "engine/textures.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace {

// Glyph quads go to the device in batches of at most this many.
constexpr int32_t kGlyphBatch = 512;
// The system-font text texture, and the longest text drawn in one call.
constexpr int32_t kTextTextureWidth = 256;
constexpr int32_t kTextTextureHeight = 32;
constexpr int32_t kMaxSystemTextLength = 512;

constexpr int32_t kLineBitmapFont = 6102;
constexpr int32_t kLineRenderText = 6190;
constexpr int32_t kLineTextTexture = 6211;

// The last piece rendered into the text texture.
struct RenderedPiece {
    const SystemFont* font = nullptr;
    std::u16string text;
    bool valid = false;
};

struct TextTexture {
    TextureHandle handle = 0;
    const Surface* surface = nullptr;
    RenderedPiece last;
    uint32_t renders = 0;
};

TextTexture& Text() {
    static TextTexture text;
    return text;
}

// The text texture, made on first use; null when it cannot be made or the
// engine has no device.
Surface* TextSurface() {
    TextTexture& t = Text();
    // The handle may have been freed (and handed out again) by a reset of the texture table.
    if (!t.surface || Engine::TextureSurface(t.handle) != t.surface) {
        t.last = {};
        t.handle = Engine::CreateTexture(kTextTextureWidth, kTextTextureHeight, kFormat8888, 0, nullptr, 0,
                                         nullptr, nullptr);
        t.surface = Engine::TextureSurface(t.handle);
    }
    return Engine::TextureSurface(t.handle);
}

// Renders a piece white on black and stores it as white with the coverage
// as alpha, so that the quad's colour tints it.
bool RenderPiece(const SystemFont* font, const char16_t* text, int32_t count, int32_t width, int32_t height) {
    TextTexture& t = Text();
    if (t.last.valid && t.last.font == font && t.last.text == std::u16string_view(text, size_t(count)))
        return true;
    SystemTextRenderer* renderer = Engine::GetSystemTextRenderer();
    if (width > kTextTextureWidth || height < 0 || height > kTextTextureHeight) {
        Engine::ReportError(EngineResult::kInvalidArg, kLineRenderText);
        return false;
    }
    std::vector<uint32_t> argb;
    if (!renderer || !renderer->Render(font, text, count, 0xFFFFFF, 0x000000, width, height, argb) ||
        argb.size() < size_t(width) * size_t(height)) {
        Engine::ReportError(EngineResult::kFail, kLineRenderText);
        return false;
    }
    Engine::TextureLockInfo lock;
    if (!Engine::LockTexture(t.handle, &lock))
        return false;
    for (int32_t y = 0; y < kTextTextureHeight; ++y) {
        auto* row = reinterpret_cast<uint32_t*>(lock.pixels + size_t(y) * size_t(lock.pitch));
        for (int32_t x = 0; x < kTextTextureWidth; ++x) {
            uint32_t coverage = 0;
            if (x < width && y < height) {
                const uint32_t p = argb[size_t(y) * size_t(width) + size_t(x)];
                coverage = std::max({(p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF});
            }
            row[x] = coverage << 24 | 0xFFFFFF;
        }
    }
    if (!Engine::UnlockTexture(t.handle)) {
        t.last.valid = false;
        return false;
    }
    t.last = {font, std::u16string(text, size_t(count)), true};
    ++t.renders;
    return true;
}

} // namespace

namespace Engine {

int32_t DrawBitmapText(int32_t fontNumber, uint32_t colour, int32_t x, int32_t y, int32_t size, int32_t table,
                       const char* chars, int32_t count, int32_t spacing) {
    if (!chars || count < 1)
        return 0;
    const BitmapFont* font = GetBitmapFont(fontNumber);
    if (!font || !font->surface) {
        ReportError(EngineResult::kFail, kLineBitmapFont);
        return 0;
    }
    const int32_t filter = size == font->baseSize ? 0 : 1;
    if (!BindAndApply(font->surface, StateBlockIndex(1, 1, filter, 1, 1, 0)))
        return 0;
    std::vector<EngineVertex> quads(size_t(std::min(count, kGlyphBatch)) * 4);
    int32_t pen = x;
    int32_t pending = 0;
    bool ok = true;
    for (int32_t i = 0; i < count; ++i) {
        const uint8_t c = uint8_t(chars[i]);
        const Glyph& glyph = font->glyphs[size_t(table ? 1 : 0)][c];
        if (glyph.advance == 0) {
            pen += spacing + 5;
            continue;
        }
        GlyphQuad(&quads[size_t(pending) * 4], *font, float(pen), float(y), size, table, c, colour);
        pen += int32_t(std::lround(glyph.advance * float(size) * font->scale + float(spacing)));
        if (++pending == kGlyphBatch) {
            ok = DrawQuads(quads.data(), pending) && ok;
            pending = 0;
        }
    }
    if (pending)
        ok = DrawQuads(quads.data(), pending) && ok;
    return ok ? pen : 0;
}

bool DrawGdiTextItem(const SystemFont* font, uint32_t colour, const EngineRect& rect, const char16_t* chars,
                     int32_t count) {
    if (!chars || count < 1)
        return true;
    if (count > kMaxSystemTextLength || !font)
        return false;
    Surface* surface = TextSurface();
    if (!surface) {
        ReportError(EngineResult::kFail, kLineTextTexture);
        return false;
    }
    int32_t width = 0, height = 0;
    GdiTextExtent(font, chars, count, &width, &height);
    if (width == 65535 && height == 65535)
        return false;
    EngineRect target = rect;
    if (rect.left == rect.right && rect.top == rect.bottom) {
        target.right = target.left + width;
        target.bottom = target.top + height;
    }
    // Pieces: each the longest run no wider than the texture, and always at
    // least one character so that a glyph wider than the texture still ends.
    int32_t start = 0;
    int32_t x = target.left;
    bool ok = true;
    while (start < count) {
        int32_t end = start + 1;
        int32_t pieceWidth = 0, pieceHeight = 0;
        GdiTextExtent(font, chars + start, 1, &pieceWidth, &pieceHeight);
        if (width >= kTextTextureWidth) {
            while (end < count) {
                int32_t w = 0, h = 0;
                GdiTextExtent(font, chars + start, end + 1 - start, &w, &h);
                if (w > kTextTextureWidth)
                    break;
                pieceWidth = w;
                pieceHeight = h;
                ++end;
            }
        } else {
            end = count;
            pieceWidth = width;
            pieceHeight = height;
        }
        pieceWidth = std::min(pieceWidth, kTextTextureWidth);
        pieceHeight = std::min(pieceHeight, kTextTextureHeight);
        const EngineRect dest{x, target.top, x + pieceWidth, target.top + pieceHeight};
        if (pieceWidth > 0 && pieceHeight > 0 && IsRectVisible(dest)) {
            FlushQuads();
            if (RenderPiece(font, chars + start, end - start, pieceWidth, pieceHeight)) {
                ok = BindAndApply(surface, StateBlockIndex(1, 1, 0, 1, 1, 0)) &&
                     DrawTextQuad(dest, {0, 0, pieceWidth, pieceHeight}, colour) && ok;
            } else {
                ok = false;
            }
        }
        x += pieceWidth;
        start = end;
    }
    return ok;
}

uint32_t SystemTextRenders() {
    return Text().renders;
}

void ReleaseTextTexture() {
    TextTexture& t = Text();
    if (t.surface && TextureSurface(t.handle) == t.surface)
        DeleteTexture(t.handle);
    t = {};
}

} // namespace Engine
