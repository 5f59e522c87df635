// Drawing texts: bitmap-font glyphs as quads, and texts in system fonts
// rendered into the engine's text texture. Defined with the text drawing;
// the layers and the frame presentation call them.
#pragma once

#include "engine/engine_state.h"

#include <cstdint>

// A system (platform) font, owned by the font manager.
struct SystemFont;

namespace Engine {

// Draws count characters of a bitmap font from (x, y); the pen's x after
// the text, 0 on failure.
int32_t DrawBitmapText(int32_t font, uint32_t colour, int32_t x, int32_t y, int32_t size, int32_t table,
                       const char* chars, int32_t count, int32_t spacing);

// Draws a text in a system font into the rectangle (a point grows to the
// text's size).
bool DrawGdiTextItem(const SystemFont* font, uint32_t colour, const EngineRect& rect, const char16_t* chars,
                     int32_t count);
// How often a system-font piece was rendered (the same piece drawn again is not).
uint32_t SystemTextRenders();
// Frees the system-font text texture (engine release).
void ReleaseTextTexture();

} // namespace Engine
