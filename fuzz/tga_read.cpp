// Decodes arbitrary bytes as a TGA picture, reads its footer and looks for
// its key colour; every pixel of a decoded picture is read once.
#include "engine/tga_reader.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    int32_t width = 0, height = 0;
    std::vector<uint32_t> pixels = ReadTga(data, size, width, height);
    uint32_t sum = 0;
    for (uint32_t p : pixels)
        sum += p;
    if (!pixels.empty() && size_t(width) * size_t(height) != pixels.size())
        __builtin_trap();
    uint32_t key = 0;
    FindKeyColour(pixels.data(), width, height, width * 4, 1, key);
    TgaFooterValues footer;
    ReadTgaFooter(data, size, footer);
    return int(sum & 0);
}
