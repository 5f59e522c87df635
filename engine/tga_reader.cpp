#include "engine/tga_reader.h"

#include "engine/asset_log.h"
#include "files/virtual_file_system.h"
#include "platform/endian.h"

#include <cstring>
#include <string>

namespace {

constexpr size_t kHeaderSize = 18;
constexpr size_t kFooterSize = 26;
constexpr char kFooterSignature[18] = "TRUEVISION-XFILE.";

constexpr uint8_t kDescriptorRightToLeft = 0x10;
constexpr uint8_t kDescriptorTopDown = 0x20;

// Pixel formats of the decoders: how many bytes a file pixel takes and how
// it becomes ARGB.
enum class PixelKind { Bgra, Bgr, Grey };

inline uint32_t ToArgb(const uint8_t* p, PixelKind kind) {
    switch (kind) {
    case PixelKind::Bgra:
        return uint32_t(p[3]) << 24 | uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
    case PixelKind::Bgr:
        return 0xFF000000u | uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
    case PixelKind::Grey:
        return uint32_t(p[0]) * 0x01010101u;
    }
    return 0;
}

struct Layout {
    int32_t width;
    int32_t height;
    PixelKind kind;
    size_t bytesPerPixel;
    bool topDown;
    bool rightToLeft;
};

// Decodes one file row of raw pixels into the picture row `out`.
void DecodeRawRow(const uint8_t* in, uint32_t* out, const Layout& layout) {
    const int32_t w = layout.width;
    const size_t bpp = layout.bytesPerPixel;
    if (!layout.rightToLeft) {
        for (int32_t x = 0; x < w; ++x, in += bpp)
            out[x] = ToArgb(in, layout.kind);
    } else {
        for (int32_t x = w - 1; x >= 0; --x, in += bpp)
            out[x] = ToArgb(in, layout.kind);
    }
}

// Decodes one file row of run-length packets. Returns the bytes consumed,
// or 0 when the input ends early or a packet runs past the row's end.
size_t DecodeRleRow(const uint8_t* in, size_t available, uint32_t* out, const Layout& layout,
                    const char*& problem) {
    const int32_t w = layout.width;
    const size_t bpp = layout.bytesPerPixel;
    size_t pos = 0;
    int32_t done = 0;
    while (done < w) {
        if (pos >= available) {
            problem = "the pixel data ends early";
            return 0;
        }
        uint8_t packet = in[pos++];
        int32_t count = (packet & 0x7F) + 1;
        if (count > w - done) {
            problem = "a run-length packet runs past the end of its row";
            return 0;
        }
        size_t need = (packet & 0x80) ? bpp : bpp * size_t(count);
        if (available - pos < need) {
            problem = "the pixel data ends early";
            return 0;
        }
        if (packet & 0x80) {
            uint32_t value = ToArgb(in + pos, layout.kind);
            for (int32_t i = 0; i < count; ++i, ++done)
                out[layout.rightToLeft ? w - 1 - done : done] = value;
        } else {
            const uint8_t* p = in + pos;
            for (int32_t i = 0; i < count; ++i, ++done, p += bpp)
                out[layout.rightToLeft ? w - 1 - done : done] = ToArgb(p, layout.kind);
        }
        pos += need;
    }
    return pos;
}

} // namespace

std::vector<uint32_t> ReadTga(const void* data, size_t size, int32_t& width, int32_t& height,
                              std::string_view name) {
    std::string label(name.empty() ? std::string_view("picture") : name);
    auto refuse = [&](const char* why) {
        LogAssetProblem("TGA %s: %s", label.c_str(), why);
        return std::vector<uint32_t>();
    };
    if (!data || size < kHeaderSize)
        return refuse("too short for a TGA header");
    const auto* bytes = static_cast<const uint8_t*>(data);
    const uint8_t idLength = bytes[0];
    const uint8_t colourMapType = bytes[1];
    const uint8_t imageType = bytes[2];
    const uint16_t fileWidth = plat::LoadLE16(bytes + 12);
    const uint16_t fileHeight = plat::LoadLE16(bytes + 14);
    const uint8_t depth = bytes[16];
    const uint8_t descriptor = bytes[17];

    if (colourMapType != 0)
        return refuse("colour-mapped pictures are not supported");
    const uint8_t baseType = imageType & ~0x08;
    if (imageType > 11 || (baseType != 2 && baseType != 3))
        return refuse("the image type is not true colour or grey");
    const bool rle = (imageType & 0x08) != 0;

    Layout layout{};
    if (baseType == 2) {
        if (depth == 32)
            layout.kind = PixelKind::Bgra;
        else if (depth == 24)
            layout.kind = PixelKind::Bgr;
        else
            return refuse("true-colour pictures must have 24 or 32 bits per pixel");
        layout.bytesPerPixel = depth / 8;
        layout.topDown = (descriptor & (kDescriptorRightToLeft | kDescriptorTopDown)) != 0;
    } else {
        if (depth != 8)
            return refuse("grey pictures must have 8 bits per pixel");
        layout.kind = PixelKind::Grey;
        layout.bytesPerPixel = 1;
        // Grey pictures are always stored bottom-up.
        layout.topDown = false;
    }
    layout.rightToLeft = (descriptor & kDescriptorRightToLeft) != 0;
    if (fileWidth == 0 || fileHeight == 0)
        return refuse("the picture is empty");
    const uint64_t pixelCount = uint64_t(fileWidth) * fileHeight;
    if (pixelCount > kMaxTgaPixels)
        return refuse("the picture is too large");
    layout.width = fileWidth;
    layout.height = fileHeight;

    const size_t dataStart = kHeaderSize + idLength;
    if (size < dataStart)
        return refuse("the image ID runs past the end of the file");
    const uint8_t* in = bytes + dataStart;
    size_t available = size - dataStart;

    // Check what the input can hold before allocating: a raw picture needs
    // all its bytes, a run-length one at least one packet per 128 pixels of
    // every row.
    const uint64_t packetsPerRow = (uint64_t(fileWidth) + 127) / 128;
    const uint64_t minimum =
        rle ? packetsPerRow * fileHeight * (1 + layout.bytesPerPixel) : pixelCount * layout.bytesPerPixel;
    if (available < minimum)
        return refuse("the pixel data ends early");

    std::vector<uint32_t> pixels(static_cast<size_t>(pixelCount));
    const char* problem = nullptr;
    for (int32_t y = 0; y < layout.height; ++y) {
        int32_t row = layout.topDown ? y : layout.height - 1 - y;
        uint32_t* out = pixels.data() + size_t(row) * layout.width;
        if (!rle) {
            DecodeRawRow(in, out, layout);
            in += size_t(layout.width) * layout.bytesPerPixel;
            continue;
        }
        size_t used = DecodeRleRow(in, available, out, layout, problem);
        if (used == 0)
            return refuse(problem);
        in += used;
        available -= used;
    }
    width = layout.width;
    height = layout.height;
    return pixels;
}

bool ReadTgaFooter(const void* data, size_t size, TgaFooterValues& values) {
    if (!data || size < kHeaderSize + kFooterSize)
        return false;
    const auto* footer = static_cast<const uint8_t*>(data) + size - kFooterSize;
    if (std::memcmp(footer + 8, kFooterSignature, sizeof(kFooterSignature)) != 0)
        return false;
    const uint32_t offset = plat::LoadLE32(footer + 4);
    if (offset == 0 || offset > size - kFooterSize || size - kFooterSize - offset < 16)
        return false;
    const auto* developer = static_cast<const uint8_t*>(data) + offset;
    values.displayWidth = int32_t(plat::LoadLE32(developer));
    values.displayHeight = int32_t(plat::LoadLE32(developer + 4));
    values.offsetX = int32_t(plat::LoadLE32(developer + 8));
    values.offsetY = int32_t(plat::LoadLE32(developer + 12));
    return true;
}

bool ReadVfsFile(std::string_view path, std::vector<uint8_t>& bytes) {
    RefPtr<VfsFile> file = VfsOpen(path, kAccessRead, kOpenExisting);
    std::string label(path);
    if (!file) {
        LogAssetProblem("cannot open %s", label.c_str());
        return false;
    }
    bytes.assign(file->Size(), 0);
    uint32_t read = 0;
    if (!file->Read(uint32_t(bytes.size()), bytes.data(), &read) || read != bytes.size()) {
        LogAssetProblem("cannot read %s", label.c_str());
        bytes.clear();
        return false;
    }
    return true;
}

std::vector<uint32_t> ReadTgaFile(std::string_view path, int32_t& width, int32_t& height) {
    std::vector<uint8_t> bytes;
    if (!ReadVfsFile(path, bytes))
        return {};
    return ReadTga(bytes.data(), bytes.size(), width, height, path);
}

bool FindKeyColour(const uint32_t* pixels, int32_t width, int32_t height, int32_t pitch, int32_t format,
                   uint32_t& key) {
    if (!pixels || format < 0 || format > 7 || width < 1 || height < 1 || pitch < width * 4 || pitch % 4)
        return false;
    const int32_t stride = pitch / 4;
    for (int32_t y = 0; y < height; ++y) {
        const uint32_t* row = pixels + size_t(y) * stride;
        for (int32_t x = 0; x < width; ++x) {
            if (row[x] < 0x01000000u) {
                key = row[x];
                return true;
            }
        }
    }
    return false;
}
