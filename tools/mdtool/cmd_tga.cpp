// mdtool tga: what the engine's TGA reader makes of a file, and the decoded
// picture written as a PNG.
#include "tools/mdtool/command.h"

#include "engine/asset_log.h"
#include "engine/tga_reader.h"
#include "platform/endian.h"
#include "platform/file.h"

#include <png.h>

#include <cstdio>
#include <string>
#include <vector>

namespace mdtool {
namespace {

constexpr const char* kTgaUsage = "tga info FILE | tga png IN OUT.png";

bool Decode(const std::string& path, std::vector<uint8_t>& bytes, std::vector<uint32_t>& pixels,
            int32_t& width, int32_t& height, std::string& error) {
    if (!plat::ReadWholeFile(path, bytes, kMaxTgaFileSize, &error)) {
        error = path + ": " + error;
        return false;
    }
    ClearAssetProblem();
    pixels = ReadTga(bytes.data(), bytes.size(), width, height, path);
    if (pixels.empty()) {
        error = LastAssetProblem();
        return false;
    }
    return true;
}

int RunInfo(const std::string& path) {
    std::vector<uint8_t> bytes;
    std::vector<uint32_t> pixels;
    int32_t width = 0, height = 0;
    std::string error;
    if (!Decode(path, bytes, pixels, width, height, error))
        return Fail(error);
    const uint8_t type = bytes[2], depth = bytes[16], descriptor = bytes[17];
    std::printf("size %dx%d\n", width, height);
    std::printf("type %u (%s, %s), %u bits per pixel\n", unsigned(type),
                (type & 7) == 3 ? "grey" : "true colour", (type & 8) ? "run-length" : "raw", unsigned(depth));
    std::printf("rows %s, columns %s\n",
                (type & 7) != 3 && (descriptor & 0x30) ? "top first" : "bottom first",
                (descriptor & 0x10) ? "right to left" : "left to right");
    TgaFooterValues footer;
    if (ReadTgaFooter(bytes.data(), bytes.size(), footer))
        std::printf("footer display %dx%d offset %d,%d\n", footer.displayWidth, footer.displayHeight,
                    footer.offsetX, footer.offsetY);
    else
        std::printf("footer none\n");
    uint32_t key = 0;
    if (FindKeyColour(pixels.data(), width, height, width * 4, 1, key))
        std::printf("key colour 0x%08X\n", key);
    else
        std::printf("key colour none\n");
    return 0;
}

void AppendPng(png_structp png, png_bytep data, png_size_t length) {
    auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}

// Encodes ARGB pixels as an 8-bit RGBA PNG in memory.
bool EncodePng(const std::vector<uint32_t>& pixels, int32_t width, int32_t height,
               std::vector<uint8_t>& out) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (!png)
        return false;
    png_infop info = png_create_info_struct(png);
    std::vector<uint8_t> rgba(size_t(width) * size_t(height) * 4);
    std::vector<png_bytep> rows(static_cast<size_t>(height));
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, info ? &info : nullptr);
        return false;
    }
    for (size_t i = 0; i < pixels.size(); ++i) {
        const uint32_t p = pixels[i];
        rgba[i * 4] = uint8_t(p >> 16);
        rgba[i * 4 + 1] = uint8_t(p >> 8);
        rgba[i * 4 + 2] = uint8_t(p);
        rgba[i * 4 + 3] = uint8_t(p >> 24);
    }
    for (int32_t y = 0; y < height; ++y)
        rows[size_t(y)] = rgba.data() + size_t(y) * size_t(width) * 4;
    png_set_write_fn(png, &out, AppendPng, nullptr);
    png_set_IHDR(png, info, png_uint_32(width), png_uint_32(height), 8, PNG_COLOR_TYPE_RGBA,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    png_write_image(png, rows.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

int RunPng(const std::string& in, const std::string& outPath) {
    std::vector<uint8_t> bytes;
    std::vector<uint32_t> pixels;
    int32_t width = 0, height = 0;
    std::string error;
    if (!Decode(in, bytes, pixels, width, height, error))
        return Fail(error);
    std::vector<uint8_t> png;
    if (!EncodePng(pixels, width, height, png))
        return Fail("cannot encode the PNG");
    plat::AtomicFileWriter writer(outPath);
    if (!writer.Open() || !writer.Write(png.data(), png.size()) || !writer.Commit())
        return Fail("cannot write " + outPath);
    std::printf("%s: %dx%d\n", outPath.c_str(), width, height);
    return 0;
}

int RunTga(const Args& args) {
    if (args.size() == 2 && args[0] == "info")
        return RunInfo(args[1]);
    if (args.size() == 3 && args[0] == "png")
        return RunPng(args[1], args[2]);
    return Usage(kTgaUsage);
}

} // namespace

MDTOOL_COMMAND("tga", kTgaUsage, RunTga);

} // namespace mdtool
