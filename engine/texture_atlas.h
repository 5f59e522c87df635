// Atlas pages: large textures that hold copies of many small sprite
// textures side by side, so that a frame of the map view binds a page for a
// run of sprites instead of one texture per sprite. A packed texture keeps
// its own surface and handle (every other drawing path still uses them);
// the sprite paths of the draw layers read its copy in the page. Each copy
// is framed by a border of its edge texels, so filtering never reads a
// neighbour. A texture that is edited after packing leaves its page.
#pragma once

#include "engine/quad_geometry.h"
#include "engine/surface.h"

#include <cstdint>

namespace Engine {

// Edge texels repeated round every copy.
inline constexpr int32_t kAtlasPadding = 2;
// The largest page side; smaller when the device allows less.
inline constexpr int32_t kAtlasPageSide = 2048;
// Textures wider or higher than this (used texels) are left alone.
inline constexpr int32_t kAtlasMaxSprite = 512;

// Packing is on by default; switching it off packs nothing new.
void SetSpriteAtlases(bool on);
bool SpriteAtlasesOn();

// Copies the used pixels of the texture into a page of its format (a new
// page when none has room). False, leaving the texture alone, when packing
// is off, the handle is invalid, the texture is colour-keyed, too large, or
// the device fails.
bool PackIntoAtlas(TextureHandle handle);
// Drops the surface's copy (its pixels are about to change or it is being
// freed). A page that holds no copy any more is emptied for reuse.
void LeaveAtlas(Surface* surface);

// Pages in use and how many copies they hold.
int32_t AtlasPageCount();
int32_t AtlasSpriteCount();
// Frees every page; the surfaces that had copies keep only their own.
void ReleaseSpriteAtlases();

// The surface a sprite of this surface binds: its page, or itself.
inline const Surface* SpriteBindSurface(const Surface* s) {
    return s->atlasPage ? s->atlasPage : s;
}
// The whole image of a packed surface in its page.
inline QuadUV AtlasWholeUV(const Surface& s) {
    return {s.atlasU0, s.atlasV0, s.atlasU1, s.atlasV1};
}
// The source rectangle (used texels of the surface) in its page, a
// quarter texel in, as sprites with source rectangles are drawn.
QuadUV AtlasSourceUV(const Surface& s, const EngineRect& source);

} // namespace Engine
