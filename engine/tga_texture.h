// Turning decoded pictures and TGA files into engine textures, with the
// colour key taken from the picture's first fully transparent pixel.
#pragma once

#include "engine/surface.h"
#include "engine/textures.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// A texture of the picture; with useKey the first alpha-0 pixel (if any) is
// the colour key. `shift` scales the picture down by 2^shift. 0 on failure.
TextureHandle MakeTextureFromPixels(const uint32_t* pixels, int32_t format, Engine::TextureSize* info,
                                    bool useKey, int32_t shift, int32_t width, int32_t height, int32_t pitch);

// The same for a TGA file read through the virtual file system; 0 (with a
// log line) when it cannot be read or decoded.
TextureHandle LoadTgaTexture(std::string_view path, int32_t format, Engine::TextureSize* info, bool useKey,
                             int32_t shift);
// The same for a TGA held in memory.
TextureHandle LoadTgaTextureFromMemory(const void* data, size_t size, int32_t format,
                                       Engine::TextureSize* info, bool useKey, int32_t shift);

// The file whose texture is being made, for reports; empty otherwise.
const std::string& CurrentTextureFile();
