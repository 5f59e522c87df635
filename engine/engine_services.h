// The engine's smaller services: the software cursor image, the gamma
// ramp, texts in system fonts measured and drawn through the platform's
// text renderer, and the frame cache that rewrites animated textures from
// frames cut out of their pictures.
#pragma once

#include "engine/engine_state.h"

#include <cstdint>
#include <vector>

struct SystemFont;

// Renders texts in system fonts; installed by the platform side. Without
// one, system-font texts are refused.
class SystemTextRenderer {
public:
    virtual ~SystemTextRenderer() = default;
    // Width and height of the text in pixels; false when it cannot be measured.
    virtual bool Measure(const SystemFont* font, const char16_t* text, int32_t count, int32_t* width,
                         int32_t* height) = 0;
    // Renders the text into ARGB rows (width x height, rows top down) in the
    // colour on the background (both 0x00RRGGBB); false on failure.
    virtual bool Render(const SystemFont* font, const char16_t* text, int32_t count, uint32_t colour,
                        uint32_t background, int32_t width, int32_t height, std::vector<uint32_t>& argb) = 0;
};

// The cursor image request: a texture of columns x rows frames.
struct CursorImage {
    TextureHandle texture = 0;
    int32_t hotspotX = 0, hotspotY = 0;
    int32_t columns = 0, rows = 0;
    int32_t frameWidth = 0, frameHeight = 0;
};

namespace Engine {

void SetSystemTextRenderer(SystemTextRenderer* renderer);
SystemTextRenderer* GetSystemTextRenderer();

// The text's size in the font; 65535 x 65535 when it cannot be measured.
void GdiTextExtent(const SystemFont* font, const char16_t* text, int32_t count, int32_t* width,
                   int32_t* height);
// Draws a text at (x, y) onto the back buffer; the background colour
// 0xFF00FF is transparent.
bool DrawGdiText(const SystemFont* font, const char16_t* text, int32_t count, int32_t x, int32_t y,
                 uint32_t colour, uint32_t background);

// Sets the software cursor (texture 0: none). Refused, leaving no cursor,
// for fewer than one or more than 16 frames, an invalid texture or frames
// larger than 64 pixels.
bool SetCursorImage(const CursorImage& image);
bool GetCursorState(int32_t out[7]);

// Values not above 0 become 1.0; false without gamma control.
bool SetGamma(float red, float green, float blue);
bool GetGamma(float* red, float* green, float* blue);
// ramp[i] = round((i / 255) ^ (1 / gamma) * 65535).
uint16_t GammaRampEntry(int32_t i, float gamma);

// Cuts the frames outlined in magenta out of an ARGB picture of the
// texture's size and caches them for the texture: the first call gives the
// first group, later calls with the same outlines add groups.
bool CacheTextureFrames(TextureHandle texture, const uint32_t* argb, int32_t width, int32_t height);
// The frame rectangles of an outlined picture, row by row.
std::vector<EngineRect> FindOutlinedFrames(std::vector<uint32_t>& argb, int32_t width, int32_t height);
// Copies cached frames into the texture; pairs of (group, frame), or with
// none every frame of the first group.
bool ComposeTextureFrames(TextureHandle texture, const uint8_t* pairs, int32_t count);
bool ClearFrameCache();

} // namespace Engine
