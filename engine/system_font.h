// A font of the platform's text renderer: what the font manager asks for
// when texts are drawn in system fonts instead of bitmap fonts.
#pragma once

#include <cstdint>
#include <string>

struct SystemFont {
    // Empty: the renderer's own choice.
    std::string face;
    // Negative: the character height in pixels; positive: the cell height.
    int32_t height = 0;
    int32_t weight = 400;
    uint8_t charSet = 1;
};
