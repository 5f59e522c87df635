#include "engine/tga_writer.h"

#include "platform/endian.h"

#include <cstring>

namespace {

void AppendPixel(std::vector<uint8_t>& out, uint32_t argb, int bitsPerPixel) {
    if (bitsPerPixel == 8) {
        out.push_back(uint8_t(argb));
        return;
    }
    out.push_back(uint8_t(argb));
    out.push_back(uint8_t(argb >> 8));
    out.push_back(uint8_t(argb >> 16));
    if (bitsPerPixel == 32)
        out.push_back(uint8_t(argb >> 24));
}

// What the file keeps of a pixel, so that runs compare stored values.
uint32_t Stored(uint32_t argb, int bitsPerPixel) {
    if (bitsPerPixel == 8)
        return argb & 0xFF;
    return bitsPerPixel == 24 ? argb & 0xFFFFFF : argb;
}

// Run-length packets that never cross the row's end.
void AppendRleRow(std::vector<uint8_t>& out, const uint32_t* row, int32_t width, int bitsPerPixel) {
    int32_t x = 0;
    while (x < width) {
        int32_t run = 1;
        while (x + run < width && run < 128 &&
               Stored(row[x + run], bitsPerPixel) == Stored(row[x], bitsPerPixel))
            ++run;
        if (run >= 2) {
            out.push_back(uint8_t(0x80 | (run - 1)));
            AppendPixel(out, row[x], bitsPerPixel);
            x += run;
            continue;
        }
        // A literal packet up to the next pair of equal pixels.
        int32_t count = 1;
        while (x + count < width && count < 128 &&
               !(x + count + 1 < width &&
                 Stored(row[x + count], bitsPerPixel) == Stored(row[x + count + 1], bitsPerPixel)))
            ++count;
        out.push_back(uint8_t(count - 1));
        for (int32_t i = 0; i < count; ++i)
            AppendPixel(out, row[x + i], bitsPerPixel);
        x += count;
    }
}

} // namespace

std::vector<uint8_t> WriteTga(const std::vector<uint32_t>& pixels, int32_t width, int32_t height,
                              const TgaWriteOptions& options) {
    const int bpp = options.bitsPerPixel;
    if (width < 1 || height < 1 || width > 65535 || height > 65535 ||
        pixels.size() < size_t(width) * size_t(height) || (bpp != 8 && bpp != 24 && bpp != 32))
        return {};
    std::vector<uint8_t> out(18, 0);
    out[2] = uint8_t((bpp == 8 ? 3 : 2) | (options.runLength ? 8 : 0));
    plat::StoreLE16(&out[12], uint16_t(width));
    plat::StoreLE16(&out[14], uint16_t(height));
    out[16] = uint8_t(bpp);
    // Grey pictures are always read bottom-up.
    const bool topDown = options.topDown && bpp != 8;
    out[17] = uint8_t((bpp == 32 ? 8 : 0) | (topDown ? 0x20 : 0));
    out.reserve(18 + size_t(width) * height * (bpp / 8) + 64);
    for (int32_t i = 0; i < height; ++i) {
        const int32_t row = topDown ? i : height - 1 - i;
        const uint32_t* source = pixels.data() + size_t(row) * width;
        if (options.runLength) {
            AppendRleRow(out, source, width, bpp);
        } else {
            for (int32_t x = 0; x < width; ++x)
                AppendPixel(out, source[x], bpp);
        }
    }
    if (options.footer) {
        const size_t developer = out.size();
        out.resize(developer + 16);
        plat::StoreLE32(&out[developer], uint32_t(options.footer->displayWidth));
        plat::StoreLE32(&out[developer + 4], uint32_t(options.footer->displayHeight));
        plat::StoreLE32(&out[developer + 8], uint32_t(options.footer->offsetX));
        plat::StoreLE32(&out[developer + 12], uint32_t(options.footer->offsetY));
        const size_t footer = out.size();
        out.resize(footer + 26, 0);
        plat::StoreLE32(&out[footer + 4], uint32_t(developer));
        std::memcpy(&out[footer + 8], "TRUEVISION-XFILE.", 18);
    }
    return out;
}
