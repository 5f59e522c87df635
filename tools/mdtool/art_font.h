// Bitmap-font sheets rendered from a TrueType file: glyphs in the engine's
// character order, white with coverage as alpha, cut apart by marker
// pixels on the first line of each row of cells.
#pragma once

#include "tools/mdtool/art_image.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace mdtool::art {

// The 223 single-byte characters of a font sheet, in sheet order.
std::vector<uint8_t> FontGlyphOrder();
// The Unicode character of a Windows-1252 byte; 0 for the five unused bytes.
uint32_t Cp1252ToUnicode(uint8_t byte);

// Renders the sheet for cells `cellHeight` pixels high; nothing (with the
// reason in `error`) when the font cannot be read.
std::optional<ArtImage> RenderFontSheet(const std::string& ttfPath, int32_t cellHeight, std::string& error);

} // namespace mdtool::art
