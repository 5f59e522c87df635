// Drawing quads at once inside the frame's scene: sprites, quads with source
// rectangles, rotated quads, meshes, grid outlines, the untextured
// primitives and the terrain tiles with their corner transitions. Quads
// that follow one another under the same configuration and textures go to
// the device as one draw call; FlushQuads sends what is pending and must
// run before anything else changes the device's configuration, textures,
// clip or targets.
#pragma once

#include "engine/quad_geometry.h"
#include "engine/state_blocks.h"

#include <algorithm>
#include <array>
#include <cstdint>

namespace Engine {

inline constexpr int32_t kQuadBatchVertices = 2048;

// The quads queued and not yet sent.
struct QuadBatch {
    std::array<EngineVertex, kQuadBatchVertices> vertices{};
    int32_t used = 0;
};

namespace detail {
extern constinit QuadBatch gPendingQuads;
// Sends the pending quads as one draw and empties the batch.
bool SendQuads();
} // namespace detail

// Queues strip-order quads for the current configuration.
bool DrawQuads(const EngineVertex* quads, int32_t quadCount);
inline bool FlushQuads() {
    return detail::gPendingQuads.used == 0 || detail::SendQuads();
}

// Queues the rectangle as a sprite quad (see RectQuad) with the coordinates
// of the stage-0 texture given in `uv`; a full batch is sent first.
inline bool AddSpriteQuadF(const RectF& r, uint32_t colour, const QuadUV& uv) {
    QuadBatch& b = detail::gPendingQuads;
    const bool ok = b.used < kQuadBatchVertices || FlushQuads();
    WriteRectQuad(b.vertices.data() + b.used, r, colour, uv);
    b.used += 4;
    return ok;
}
inline bool AddSpriteQuad(const EngineRect& r, uint32_t colour, const QuadUV& uv) {
    return AddSpriteQuadF({float(r.left), float(r.top), float(r.right), float(r.bottom)}, colour, uv);
}

// Binds the surface to stage 0 and applies the configuration; the batched
// quads are sent first when either changes (the bind and the apply do it).
inline bool BindAndApply(const Surface* surface, int32_t stateBlock) {
    return SetTextureAndStates(surface, 0, stateBlock);
}
bool BindTwoAndApply(const Surface* first, const Surface* second, int32_t stateBlock);

// The state block of a sprite: blend, alpha test on, the filter, one
// texture, tint for any colour but 0xFFFFFFFF, clamp.
constexpr int32_t SpriteStateBlock(int32_t blend, int32_t filter, uint32_t colour) {
    return StateBlockIndex(std::clamp(blend, 0, 4), 1, filter ? 1 : 0, 1, colour != 0xFFFFFFFF ? 1 : 0, 0);
}

bool DrawQuadOriented(const EngineRect& r, int32_t stage, int32_t orientation, uint32_t colour = 0xFFFFFFFF);
bool DrawQuadTwoStages(const EngineRect& r, int32_t orientation, uint32_t colour = 0xFFFFFFFF);
bool DrawRotatedQuad(const PointF p[4], uint32_t colour);
bool DrawQuadUVSet(const EngineRect& r, const PointF uv[4], uint32_t colour);
bool DrawQuadCorners(const PointF corners[4], const PointF uv[4], uint32_t colour);
bool DrawQuadInset(const EngineRect& r, const EngineRect& source, uint32_t colour);
bool DrawQuadSourceStages(const EngineRect& r, const EngineRect& source, uint32_t colour);
bool DrawQuadSource(const EngineRect& r, const EngineRect& source, uint32_t colour);
bool DrawRotatedRect(const EngineRect& r, float angleRadians, uint32_t colour);
bool DrawTextQuad(const EngineRect& r, const EngineRect& source, uint32_t colour);
// 1 to 2048 vertices as a triangle list in the colour.
bool DrawMesh(const EngineVertex* vertices, int32_t count, uint32_t colour);
bool DrawSpriteQuad(const EngineRect& r, uint32_t colour);
bool DrawSpriteQuadF(const RectF& r, uint32_t colour);
bool DrawGridQuad(PointF p1, PointF p2, PointF p3, PointF p4, int32_t divisions, uint32_t colour);

// Culled immediate draws: a rectangle outside the clip draws nothing and
// succeeds.
bool DrawQuadSimple(TextureHandle texture, const EngineRect& r, int32_t mode);
bool DrawQuadTinted(TextureHandle texture, uint32_t colour, const EngineRect& r, int32_t mode);
bool DrawQuadTwoTextures(TextureHandle texture, TextureHandle second, uint32_t colour, const EngineRect& r,
                         int32_t orientation, int32_t filter, int32_t blend);
// The source rectangle one texel inside, on both stages.
bool DrawQuadTwoTexturesInset(TextureHandle texture, TextureHandle second, uint32_t colour,
                              const EngineRect& r, const EngineRect& source, int32_t filter, int32_t blend);
// The whole image of one texture, or of two with the second on the blend stage.
bool DrawQuad(TextureHandle texture, TextureHandle second, uint32_t colour, const EngineRect& r,
              int32_t filter, int32_t blend);
// Explicit texture coordinates with wrap addressing, for repeated patterns.
bool DrawQuadUV(TextureHandle texture, TextureHandle second, uint32_t colour, const EngineRect& r,
                const PointF uv[4], int32_t filter, int32_t blend);
bool DrawSpriteNow(TextureHandle texture, const EngineRect& r, int32_t blend, int32_t filter);
bool DrawSpriteNowTinted(TextureHandle texture, uint32_t colour, const EngineRect& r, int32_t blend,
                         int32_t filter);
bool DrawSpriteForImage(TextureHandle texture, const EngineRect& r, const EngineRect& source, int32_t blend,
                        int32_t filter);
bool DrawSpriteForImageTinted(TextureHandle texture, uint32_t colour, const EngineRect& r,
                              const EngineRect& source, int32_t blend, int32_t filter);

// Untextured primitives.
bool DrawPoints(const PointI* points, int32_t count, uint32_t colour);
bool DrawRect(uint32_t colour, const EngineRect& r, int32_t frameWidth);
bool DrawLine(uint32_t colour, int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t width);

// A terrain tile from four corner words (high 4 bits: the terrain class),
// four textures and colours (one per corner) and the transition masks.
bool DrawTerrainTileSimple(const uint32_t* corners, const TextureHandle textures[4],
                           const TextureHandle masks[5], const uint32_t colours[4], const EngineRect& r,
                           int32_t filter);
bool DrawTerrainTile(const uint32_t* corners, const TextureHandle textures[4], const TextureHandle masks[12],
                     const uint32_t colours[4], const EngineRect& r, int32_t filter);

// One overlay pass of a terrain tile: texture k through mask m turned by o.
struct TerrainPass {
    int32_t texture = 0, mask = 0, orientation = 0, blend = 1;
    bool operator==(const TerrainPass&) const = default;
};
// The overlay passes of a simple tile for corner classes c0..c3; 0 to 3.
int32_t SimpleTerrainPasses(const int32_t c[4], TerrainPass out[3]);
// The overlay passes of a full tile from its corner words and colours.
int32_t TerrainPasses(const uint32_t corners[4], const uint32_t colours[4], TerrainPass out[4]);

} // namespace Engine
