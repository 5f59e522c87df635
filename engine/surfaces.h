// Creating, counting and releasing surfaces; the texture handle table with
// its free list; the records a surface carries; texel reads and colour
// conversions between 32-bit ARGB and the engine's pixel formats. Texture
// creation from pixels and the unlock that follows an edit live with the
// textures.
#pragma once

#include "engine/engine_state.h"
#include "engine/surface.h"

#include <cstdint>

namespace Engine {

// The nine memory counters, in their overlay order; false before start.
bool GetSurfaceMemory(int64_t out[9]);

// Fills pixel formats 0 to 5 (masks, shifts, kinds) and clears 6 and 7;
// availability is left to the device's enumeration.
void ResetPixelFormats();
// Makes formats 6 and 7 copies of format n (the back buffer's format).
void SetDisplayFormat(int32_t n);
// The device format a pixel-format number is stored in.
int32_t DeviceFormatOf(int32_t format);

// A description for a surface of the size and caps; textures get the size
// the device's texture capabilities require.
SurfaceDesc InitSurfaceDesc(int32_t width, int32_t height, uint32_t caps, int32_t format);

// Creates a surface and counts it in the memory counters; a result code.
int32_t CreateSurface(const SurfaceDesc& desc, Surface** out);
void AddSurfaceRef(Surface* surface);
// Takes the surface's memory record out of the counters and drops a
// reference; the last one frees it. Null is ignored.
void ReleaseSurface(Surface* surface);
void ReleaseSurfaceField(Surface** field);

bool SetSurfaceHandle(Surface* surface, TextureHandle handle);
TextureHandle GetSurfaceHandle(const Surface* surface);
bool SetSurfaceMemoryRecord(Surface* surface, const MemoryRecord& record);
bool SetBackupRecord(Surface* surface, const BackupRecord* record);
bool GetBackupRecord(const Surface* surface, BackupRecord* out);
bool SetTextureRecord(Surface* surface, const TextureRecord* record);
bool GetTextureRecord(const Surface* surface, TextureRecord* out);

// Hands out the free-list head for the surface; with the table full the
// surface is released and the result is 0.
TextureHandle StoreTextureHandle(Surface* surface);
// The surface of a valid handle, else null.
inline Surface* TextureSurface(TextureHandle handle) {
    return handle > 0 && handle < kTextureTableSize ? State().textures[handle] : nullptr;
}
inline bool IsValidTexture(TextureHandle handle) {
    return TextureSurface(handle) != nullptr;
}
// Releases the surface of the entry (and its backup copy) and puts the
// entry first on the free list, or stores the replacement in it.
bool FreeTextureHandle(TextureHandle handle, Surface* replacement, bool deleteSwapFile);
bool DeleteTexture(TextureHandle handle);
// Frees every handle and rebuilds the free list 1, 2, ... 8191.
void ResetTextureTable();

// Maps the point from the target rectangle into the source rectangle and
// reads that texel as ARGB; a keyed texel gets alpha 0, others 255.
bool ReadTexturePixel(TextureHandle handle, const EngineRect& target, int32_t x, int32_t y,
                      const EngineRect& source, uint32_t* colour);

struct TextureLockInfo {
    uint8_t* pixels = nullptr;
    int32_t width = 0, height = 0, pitch = 0, bitsPerPixel = 0, format = 0;
};
bool LockTexture(TextureHandle handle, TextureLockInfo* out);

uint32_t ConvertColour(uint32_t argb, int32_t format);
uint32_t FromNativeColour(uint32_t pixel, int32_t format);
uint32_t ReadPixel(const TextureLockInfo& lock, int32_t format, int32_t x, int32_t y);
void WritePixel(const TextureLockInfo& lock, int32_t format, uint32_t argb, int32_t x, int32_t y);

} // namespace Engine
