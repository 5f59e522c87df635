#include "engine/platform_text_renderer.h"

#include "engine/system_font.h"

namespace {

// A null font is the renderer's default one.
plat::TextFont ToPlatform(const SystemFont* font) {
    plat::TextFont f;
    if (font) {
        f.face = font->face;
        f.height = font->height;
        f.weight = font->weight;
    }
    return f;
}

} // namespace

bool PlatformTextRenderer::Measure(const SystemFont* font, const char16_t* text, int32_t count,
                                   int32_t* width, int32_t* height) {
    if (!text || count < 0 || !width || !height)
        return false;
    return renderer_.Measure(ToPlatform(font), std::u16string_view(text, size_t(count)), *width, *height);
}

bool PlatformTextRenderer::Render(const SystemFont* font, const char16_t* text, int32_t count,
                                  uint32_t colour, uint32_t background, int32_t width, int32_t height,
                                  std::vector<uint32_t>& argb) {
    if (!text || count < 0)
        return false;
    return renderer_.Render(ToPlatform(font), std::u16string_view(text, size_t(count)), colour, background,
                            width, height, argb);
}
