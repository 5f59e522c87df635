// PNG encoding for mdtool's picture output (screenshots, decoded images).
#pragma once

#include <cstdint>
#include <vector>

namespace mdtool {

// Encodes width x height ARGB pixels (row 0 at the top) as an 8-bit RGBA
// PNG in memory; false when libpng fails or the sizes do not match.
bool EncodePngImage(const std::vector<uint32_t>& pixels, int32_t width, int32_t height,
                    std::vector<uint8_t>& out);

} // namespace mdtool
