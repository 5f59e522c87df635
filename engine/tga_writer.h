// Writing TGA pictures that the reader reads back unchanged: for the
// project's art tools, the test fixtures and the fuzz seeds.
#pragma once

#include "engine/tga_reader.h"

#include <cstdint>
#include <optional>
#include <vector>

struct TgaWriteOptions {
    // 32 (BGRA), 24 (BGR, alpha dropped) or 8 (grey, taken from the blue
    // channel; the reader turns it into white with that alpha).
    int bitsPerPixel = 32;
    bool runLength = false;
    // Rows top first (descriptor bit 5) instead of bottom first.
    bool topDown = false;
    // With values, a TGA 2.0 footer whose developer area holds them.
    std::optional<TgaFooterValues> footer;
};

// Encodes width x height ARGB pixels, row 0 at the top. Empty for a size
// below 1 or above 65535, too few pixels or an unknown depth.
std::vector<uint8_t> WriteTga(const std::vector<uint32_t>& pixels, int32_t width, int32_t height,
                              const TgaWriteOptions& options = {});
