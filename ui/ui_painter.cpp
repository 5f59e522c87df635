#include "ui/ui_painter.h"

#include "engine/draw_layers.h"
#include "engine/font_manager.h"
#include "engine/graphic_sets.h"
#include "engine/tiled_image.h"

#include <string>

namespace {

EngineRect ToEngine(const UiRect& r) {
    return {r.left, r.top, r.right, r.bottom};
}

// Widget images never fall back to a stand-in picture.
TiledImage* Fetch(std::string_view image, int32_t frames) {
    if (image.empty())
        return nullptr;
    GraphicSets::SetFallbackLoader(nullptr);
    return GraphicSets::FetchByName(image, frames < 1 ? 1 : frames);
}

} // namespace

bool EngineUiPainter::ImageSize(std::string_view image, int32_t frames, UiImageSize& size) {
    const TiledImage* tiled = Fetch(image, frames);
    if (!tiled)
        return false;
    size = {tiled->displayWidth, tiled->displayHeight};
    return true;
}

uint32_t EngineUiPainter::ImagePixel(std::string_view image, int32_t frames, int32_t n, const UiRect& placed,
                                     UiPoint point) {
    const TiledImage* tiled = Fetch(image, frames);
    uint32_t pixel = 0;
    if (tiled && !tiled->ReadPixelAt(ToEngine(placed), point.x, point.y, &pixel, n))
        pixel = 0;
    return pixel;
}

void EngineUiPainter::DrawImageFrame(int32_t layer, std::string_view image, int32_t frames, int32_t n,
                                     const UiRect& target, uint32_t colour) {
    if (const TiledImage* tiled = Fetch(image, frames))
        tiled->DrawFrame(layer, ToEngine(target), n, colour, 1, 0);
}

void EngineUiPainter::DrawImageRegion(int32_t layer, std::string_view image, int32_t frames,
                                      const UiRect& target, const UiRect& source, uint32_t colour) {
    if (const TiledImage* tiled = Fetch(image, frames))
        tiled->DrawRegion(layer, ToEngine(target), ToEngine(source), colour, 1, 0);
}

void EngineUiPainter::DrawText(int32_t layer, int32_t font, UiPoint at, uint32_t colour,
                               std::string_view text) {
    if (text.empty())
        return;
    const FontEntry& entry = FontManager::GetFont(font);
    if (entry.bitmapFont == 0) {
        const EngineRect rect{at.x, at.y, at.x + FontManager::GetTextWidth(font, text),
                              at.y + FontManager::GetTextHeight(font)};
        FontManager::DrawText(layer, font, rect, colour, text, 0);
        return;
    }
    // Bitmap texts join the layer's scene in order with the images, so that
    // a caption lands over its button; a colour below 16 is an entry of the
    // text colour table.
    if ((colour & 0xFFFFFF) < 16)
        colour =
            (colour & 0xFF000000u) | (FontManager::GetTextColour(int32_t(colour & 0xFFFFFF)) & 0xFFFFFFu);
    Engine::QueueBitmapTextDirect(layer, entry.bitmapFont, {at.x, at.y}, FontManager::GetTextHeight(font),
                                  FontManager::GetGlyphSet(), text.data(), int32_t(text.size()), colour, 0);
}

int32_t EngineUiPainter::TextWidth(int32_t font, std::string_view text) {
    return FontManager::GetTextWidth(font, text);
}

int32_t EngineUiPainter::TextHeight(int32_t font) {
    return FontManager::GetTextHeight(font);
}

void EngineUiPainter::FillRect(int32_t layer, const UiRect& rect, uint32_t colour) {
    Engine::QueueColourFill(layer, ToEngine(rect), colour);
}

bool EngineUiPainter::UsesSystemFonts() {
    return FontManager::UsesGdiFonts();
}

uint32_t EngineUiPainter::FontColour(int32_t i) {
    // The table has 16 entries.
    return i >= 0 && i < 16 ? FontManager::GetTextColour(i) : 0xFFFFFFFF;
}
