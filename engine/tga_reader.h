// Decoding TGA pictures (true colour and grey, raw or run-length encoded)
// into 32-bit ARGB pixels, row 0 at the top, and the four numbers that the
// game's art tools keep in the TGA 2.0 footer's developer area.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

// The largest picture the reader accepts, in pixels (128 MiB decoded).
inline constexpr uint32_t kMaxTgaPixels = 32u << 20;
// The largest TGA file that can hold such a picture: header, image id, a
// full colour map, every pixel as its own run (five bytes) and the footer.
inline constexpr uint64_t kMaxTgaFileSize = 18 + 255 + 65535 * 4 + uint64_t(kMaxTgaPixels) * 5 + 1024;

// The values kept in the developer area: the box the picture stands in and
// the picture's position within it.
struct TgaFooterValues {
    int32_t displayWidth = 0;
    int32_t displayHeight = 0;
    int32_t offsetX = 0;
    int32_t offsetY = 0;
};

// Decodes the TGA held in data[0, size). Types 2 and 10 (24 or 32 bits per
// pixel) and 3 and 11 (8-bit grey, whose value is also the alpha) are read;
// anything else, and any input that ends early, gives an empty result with
// one log line naming `name`. Width and height are set only on success.
std::vector<uint32_t> ReadTga(const void* data, size_t size, int32_t& width, int32_t& height,
                              std::string_view name = {});

// True and the developer values when the footer's signature matches, the
// developer-directory offset is not 0 and its 16 bytes lie before the footer.
bool ReadTgaFooter(const void* data, size_t size, TgaFooterValues& values);

// Reads the file through the virtual file system and decodes it.
std::vector<uint32_t> ReadTgaFile(std::string_view path, int32_t& width, int32_t& height);

// Reads a whole file through the virtual file system; false (one log line)
// when it cannot be opened or read.
bool ReadVfsFile(std::string_view path, std::vector<uint8_t>& bytes);

// The first pixel, in row order, whose alpha is 0. `pitch` is the distance
// between rows in bytes. False when there is none, the format is outside
// 0 to 7 or the sizes do not describe a picture.
bool FindKeyColour(const uint32_t* pixels, int32_t width, int32_t height, int32_t pitch, int32_t format,
                   uint32_t& key);
