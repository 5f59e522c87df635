#include "tools/mdtool/png_encode.h"

#include <png.h>

namespace mdtool {

namespace {

void Append(png_structp png, png_bytep data, png_size_t length) {
    auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}

} // namespace

bool EncodePngImage(const std::vector<uint32_t>& pixels, int32_t width, int32_t height,
                    std::vector<uint8_t>& out) {
    if (width < 1 || height < 1 || pixels.size() != size_t(width) * size_t(height))
        return false;
    std::vector<uint8_t> rgba(pixels.size() * 4);
    for (size_t i = 0; i < pixels.size(); ++i) {
        const uint32_t p = pixels[i];
        rgba[i * 4] = uint8_t(p >> 16);
        rgba[i * 4 + 1] = uint8_t(p >> 8);
        rgba[i * 4 + 2] = uint8_t(p);
        rgba[i * 4 + 3] = uint8_t(p >> 24);
    }
    std::vector<png_bytep> rows(static_cast<size_t>(height));
    for (int32_t y = 0; y < height; ++y)
        rows[size_t(y)] = rgba.data() + size_t(y) * size_t(width) * 4;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (png == nullptr)
        return false;
    png_infop info = png_create_info_struct(png);
    if (info == nullptr || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, info != nullptr ? &info : nullptr);
        return false;
    }
    out.clear();
    png_set_write_fn(png, &out, Append, nullptr);
    png_set_IHDR(png, info, png_uint_32(width), png_uint_32(height), 8, PNG_COLOR_TYPE_RGBA,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    png_write_image(png, rows.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

} // namespace mdtool
