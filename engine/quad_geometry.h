// Quads in screen space: four vertices in strip order (top-left,
// top-right, bottom-left, bottom-right), the eight corner orientations, and
// the builders that fill positions and texture coordinates from rectangles,
// points and the texture records of the bound stages.
#pragma once

#include "engine/bitmap_font.h"
#include "engine/engine_state.h"
#include "platform/render_device.h"

#include <array>
#include <cstdint>

using EngineVertex = plat::RenderVertex;

struct PointF {
    float x = 0, y = 0;
};
using PointI = PointI32;
struct RectF {
    float left = 0, top = 0, right = 0, bottom = 0;
};

// The first texture coordinates of a quad's corners: (u0, v0) top left,
// (u1, v1) bottom right.
struct QuadUV {
    float u0 = 0, v0 = 0, u1 = 0, v1 = 0;
};

namespace Engine {

// The whole image of a texture, a quarter of a surface texel in from its
// top-left corner: the coordinates of sprites.
inline QuadUV WholeImageUV(const TextureRecord& r) {
    return {r.halfU / 2, r.halfV / 2, r.halfU / 2 + r.usedU, r.halfV / 2 + r.usedV};
}

// The rectangle as a quad at depth 0 in the colour, with the coordinates
// in the first set; the second set is left as it is.
inline void WriteRectQuad(EngineVertex* q, const RectF& r, uint32_t colour, const QuadUV& uv) {
    const float xs[4] = {r.left, r.right, r.left, r.right}, ys[4] = {r.top, r.top, r.bottom, r.bottom};
    const float us[4] = {uv.u0, uv.u1, uv.u0, uv.u1}, vs[4] = {uv.v0, uv.v0, uv.v1, uv.v1};
    for (int i = 0; i < 4; ++i) {
        q[i].x = xs[i], q[i].y = ys[i], q[i].z = 0.0f, q[i].rhw = 1.0f;
        q[i].color = colour;
        q[i].u1 = us[i], q[i].v1 = vs[i];
    }
}

// For each orientation, the vertices that take the texture's top-left,
// top-right, bottom-left and bottom-right corners.
extern const std::array<std::array<uint8_t, 4>, 8> kOrientations;

void QuadFromRect(EngineVertex* q, const EngineRect& r);
void QuadFromRectF(EngineVertex* q, const RectF& r);
void QuadDiamond(EngineVertex* q, const EngineRect& r);
void QuadFromPoints(EngineVertex* q, const PointF p[4]);
void SetUVFromPoints(EngineVertex* q, const PointF p[4]);
void SetOrientedUV(EngineVertex* q, int32_t stage, int32_t orientation);
void SetTwoStageUV(EngineVertex* q, int32_t orientation);
void SetUVRect(EngineVertex* q, float u, float v, float u2, float v2, float du, float dv);
void SetUVFromSourceRect(EngineVertex* q, int32_t stage, const EngineRect& source);
void SetBothUVFromSourceRect(EngineVertex* q, const EngineRect& source);
void SetUVFromSourceRectShifted(EngineVertex* q, const EngineRect& source);
void SetUVFromSize(EngineVertex* q, int32_t width, int32_t height);
void SetColour(EngineVertex* q, uint32_t colour, int32_t count = 4);
// z = 0, rhw = 1 on the vertices.
void ResetDepth(EngineVertex* q, int32_t count = 4);

void TexturedQuad(EngineVertex* q, const PointF p[4], uint32_t colour);
void TexturedQuadUV(EngineVertex* q, const PointF p[4], float u, float v, float du, float dv,
                    uint32_t colour);
int32_t RectQuad(EngineVertex* q, const EngineRect& r, uint32_t colour);
int32_t RectQuadF(EngineVertex* q, const RectF& r, uint32_t colour);
void RectQuadUVPoints(EngineVertex* q, const EngineRect& r, const PointF p[4], uint32_t colour);
void RectQuadSourceRect(EngineVertex* q, const EngineRect& r, const EngineRect& source, uint32_t colour);
void RectQuadSized(EngineVertex* q, const EngineRect& r, int32_t width, int32_t height, uint32_t colour);
// columns x rows quads tiling the rectangle, each mapping the whole image.
void GridQuads(EngineVertex* q, const EngineRect& r, int32_t columns, int32_t rows, uint32_t colour);
// One glyph of a bitmap font at (x, y), size pixels high; the quad's width.
float GlyphQuad(EngineVertex* q, const BitmapFont& font, float x, float y, int32_t size, int32_t table,
                uint8_t character, uint32_t colour);

// Turns the four points about the centre by the angle (radians).
void RotateQuad(PointF p[4], PointF centre, float angle);
// b - (b - a) * factor / divisor per coordinate; divisor 0 gives (-666, -666).
PointI InterpolatePoint(PointI a, PointI b, int32_t divisor, int32_t factor);

} // namespace Engine
