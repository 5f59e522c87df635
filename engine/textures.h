// Textures made from 32-bit ARGB pictures: converted to an engine pixel
// format, optionally scaled down by a power of two, named by a texture
// handle; and bitmap fonts cut from a font texture by its marker pixels.
//
// The render device keeps a copy of every texture's pixels in memory, so a
// texture never needs to be rebuilt from a swap file: the swap-file calls
// keep their results (success) but write nothing, and no temporary files
// are made or deleted.
#pragma once

#include "engine/surface.h"

#include <cstdint>

namespace Engine {

// The used size of a texture and the scale shift it was made with.
struct TextureSize {
    int32_t width = 0;
    int32_t height = 0;
    int32_t shift = 0;
};

// The largest scale shift: a 2^15 box is already wider than any picture.
inline constexpr int32_t kMaxScaleShift = 15;

// The pixel format pictures are loaded in when the caller names none.
int32_t DefaultTextureFormat();

// Makes a texture of (width >> shift) x (height >> shift) from rows of ARGB
// pixels `pitch` bytes apart (no pixels: a cleared texture). With a colour
// key (ARGB), texels of that colour are transparent. 0 on failure, or when
// the texture table is full.
TextureHandle CreateTexture(int32_t width, int32_t height, int32_t format, int32_t shift,
                            const uint32_t* pixels, int32_t pitch, const uint32_t* colourKey,
                            TextureSize* sizeOut);
// The worker of CreateTexture: a surface with the given caps (kSurface*).
Surface* CreateSurfaceFromPixels(int32_t width, int32_t height, int32_t format, int32_t shift,
                                 const uint32_t* pixels, int32_t pitch, const uint32_t* colourKey,
                                 TextureSize* sizeOut, uint32_t caps);

// Ends an edit begun with LockTexture: sends the pixels to the device and
// refreshes the texture's system-memory copy when it has one. False for an
// invalid handle.
bool UnlockTexture(TextureHandle handle);
// Keeps the surface's pixels for a later rebuild: the device already holds
// them, so this only checks the surface.
bool SaveSurfaceToSwapFile(Surface* surface);

// Cuts a bitmap font out of a font texture. The texture's top-left pixel is
// the marker colour; glyph cells stand in rows of cellHeight pixels, one
// pixel apart, from y = 1; on each row's first line a marker pixel closes a
// glyph, which goes to the next of `chars`. The font keeps the texture's
// surface and the handle is freed. The number of fonts after adding it, or
// 0 on failure (the handle is then left as it was).
int32_t CreateBitmapFont(TextureHandle fontTexture, const uint8_t* chars, int32_t charCount,
                         int32_t cellHeight);

} // namespace Engine
