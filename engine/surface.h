// Surfaces: the engine's pictures (textures, off-screen copies, text and
// cursor buffers). Each is a texture of the render device, which keeps the
// pixels in memory in the surface's format. The small records a surface
// carries say which texture handle names it, how it is counted, where its
// backup lies and how its texels map to texture coordinates.
#pragma once

#include <cstdint>

using TextureHandle = uint32_t;

// Where a surface lives; a texture may also be asked for in video memory.
enum SurfaceCaps : uint32_t {
    kSurfaceVideoMemory = 0x1,
    kSurfaceSystemMemory = 0x2,
    kSurfaceTexture = 0x4,
};

// A pixel format of the engine's table (numbers 0 to 7). `kind` 2 marks a
// 16-bit format whose colours are converted channel by channel.
struct PixelFormat {
    uint32_t bitCount = 0;
    uint32_t aMask = 0, rMask = 0, gMask = 0, bMask = 0;
    uint32_t aShift = 0, rShift = 0, gShift = 0, bShift = 0;
    uint32_t kind = 0;
    uint8_t supported = 0;

    uint32_t BytesPerPixel() const { return bitCount / 8; }
    bool SameLayout(const PixelFormat& o) const {
        return bitCount == o.bitCount && aMask == o.aMask && rMask == o.rMask && gMask == o.gMask &&
               bMask == o.bMask;
    }
};

// Pixel-format numbers.
enum PixelFormatId : int32_t {
    kFormat4444 = 0,
    kFormat8888 = 1,
    kFormat1555 = 2,
    kFormat565 = 3,
    kFormat555 = 4,
    kFormatX888 = 5,
    kFormatDisplayVideo = 6,
    kFormatDisplaySystem = 7,
    kPixelFormatCount = 8,
};

// How a texture's texels map to texture coordinates.
struct TextureRecord {
    int32_t width = 0, height = 0; // the image's size in texels
    float invWidth = 0, invHeight = 0;
    float usedU = 0, usedV = 0; // image size / surface size
    float halfU = 0, halfV = 0; // half a surface texel
    int32_t format = 0;
    int32_t shift = 0; // the image was scaled down by 2^shift
};
static_assert(sizeof(TextureRecord) == 40);

// Memory kinds of a surface's memory record; format classes of textures.
enum MemoryKind : uint32_t { kMemoryNone = 0, kMemoryVideo = 1, kMemoryTexture = 2, kMemorySystem = 3 };
inline constexpr uint32_t kFormatClassOther = 8;

struct MemoryRecord {
    MemoryKind kind = kMemoryNone;
    uint32_t size = 0;
    uint32_t formatClass = kFormatClassOther;
};

struct Surface;

// Where a texture's pixels can be found again: a copy in system memory.
// Swap files are never written here; the index stays -1.
struct BackupRecord {
    Surface* systemCopy = nullptr;
    int32_t swapIndex = -1;
};

struct Surface {
    int32_t width = 0, height = 0; // allocated size in pixels
    int32_t format = 0;            // pixel-format number of the engine's table
    uint32_t caps = 0;
    bool hasColourKey = false;
    uint32_t colourKey = 0; // in the surface's format

    bool hasHandle = false;
    TextureHandle handle = 0;
    bool hasMemoryRecord = false;
    MemoryRecord memory;
    bool hasBackup = false;
    BackupRecord backup;
    bool hasTextureRecord = false;
    TextureRecord texture;

    // The render device's texture that holds the pixels.
    uint32_t deviceTexture = 0;
    // A copy of the used pixels in a shared atlas page (null: none): the
    // image's top-left texel in the page and its whole-image coordinates,
    // a quarter texel in as sprites are drawn.
    Surface* atlasPage = nullptr;
    int32_t atlasX = 0, atlasY = 0;
    float atlasU0 = 0, atlasV0 = 0, atlasU1 = 0, atlasV1 = 0;
    int32_t refs = 1;
    int32_t liveIndex = -1; // position in the engine's list of live surfaces
};

// What a surface is made from (a small stand-in for a surface description).
struct SurfaceDesc {
    int32_t width = 0, height = 0;
    uint32_t caps = 0;
    int32_t format = 0;
    bool hasColourKey = false;
    uint32_t colourKey = 0; // in the format
};
