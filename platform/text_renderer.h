// Texts in the platform's fonts, measured and rendered into pixels on the
// CPU: what the engine draws its system-font texts with. The SDL_ttf
// renderer lives in platform/video.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace plat {

struct TextFont {
    std::string face;     // empty: the renderer's default face
    int32_t height = 0;   // negative: the character height in pixels; positive: the cell height; 0: default
    int32_t weight = 400; // 600 and above is bold
};

class TextRenderer {
public:
    virtual ~TextRenderer() = default;

    // The text's width and the font's line height in pixels; false when the
    // text cannot be measured.
    virtual bool Measure(const TextFont& font, std::u16string_view text, int32_t& width, int32_t& height) = 0;
    // Renders the text from the top left of a width x height picture of
    // opaque ARGB rows, top down: the colour over the background (both
    // 0x00RRGGBB), edges blended. On the transparent key 0xFF00FF the edges
    // are not blended, so that no pixel of a mixed colour is left around the
    // letters. What lies past the text is background. False on failure.
    virtual bool Render(const TextFont& font, std::u16string_view text, uint32_t colour, uint32_t background,
                        int32_t width, int32_t height, std::vector<uint32_t>& argb) = 0;
};

} // namespace plat
