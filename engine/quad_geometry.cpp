#include "engine/quad_geometry.h"

#include <cmath>

namespace {

const TextureRecord& Stage(int32_t stage) {
    EngineState& s = Engine::State();
    return s.stageRecord[size_t(stage >= 0 && stage < 3 ? stage : 0)];
}

// Texture coordinates per surface texel: (1 / image width) * used fraction.
float ScaleU(const TextureRecord& r) {
    return r.invWidth * r.usedU;
}
float ScaleV(const TextureRecord& r) {
    return r.invHeight * r.usedV;
}

void SetUV1(EngineVertex* q, float u0, float v0, float u1, float v1) {
    q[0].u1 = u0, q[0].v1 = v0;
    q[1].u1 = u1, q[1].v1 = v0;
    q[2].u1 = u0, q[2].v1 = v1;
    q[3].u1 = u1, q[3].v1 = v1;
}
void SetUV2(EngineVertex* q, float u0, float v0, float u1, float v1) {
    q[0].u2 = u0, q[0].v2 = v0;
    q[1].u2 = u1, q[1].v2 = v0;
    q[2].u2 = u0, q[2].v2 = v1;
    q[3].u2 = u1, q[3].v2 = v1;
}

// Puts the corners (u0, v0)-(u1, v1) on the vertices of the orientation,
// into the first or second coordinate set.
void SetOriented(EngineVertex* q, int32_t orientation, float u0, float v0, float u1, float v1, bool second) {
    const auto& o = Engine::kOrientations[size_t(orientation & 7)];
    const float us[4] = {u0, u1, u0, u1};
    const float vs[4] = {v0, v0, v1, v1};
    for (int c = 0; c < 4; ++c) {
        EngineVertex& v = q[o[size_t(c)]];
        (second ? v.u2 : v.u1) = us[c];
        (second ? v.v2 : v.v1) = vs[c];
    }
}

} // namespace

namespace Engine {

const std::array<std::array<uint8_t, 4>, 8> kOrientations = {{
    {0, 1, 2, 3},
    {1, 3, 0, 2},
    {3, 2, 1, 0},
    {2, 0, 3, 1},
    {0, 2, 1, 3},
    {3, 1, 2, 0},
    {1, 0, 3, 2},
    {2, 3, 0, 1},
}};

void ResetDepth(EngineVertex* q, int32_t count) {
    for (int32_t i = 0; i < count; ++i) {
        q[i].z = 0.0f;
        q[i].rhw = 1.0f;
    }
}

void QuadFromRect(EngineVertex* q, const EngineRect& r) {
    QuadFromRectF(q, {float(r.left), float(r.top), float(r.right), float(r.bottom)});
}

void QuadFromRectF(EngineVertex* q, const RectF& r) {
    q[0].x = r.left, q[0].y = r.top;
    q[1].x = r.right, q[1].y = r.top;
    q[2].x = r.left, q[2].y = r.bottom;
    q[3].x = r.right, q[3].y = r.bottom;
    ResetDepth(q);
}

void QuadDiamond(EngineVertex* q, const EngineRect& r) {
    float cx = float((r.left + r.right) / 2), cy = float((r.top + r.bottom) / 2);
    q[0].x = cx, q[0].y = float(r.top);
    q[1].x = float(r.right), q[1].y = cy;
    q[2].x = float(r.left), q[2].y = cy;
    q[3].x = cx, q[3].y = float(r.bottom);
    ResetDepth(q);
}

void QuadFromPoints(EngineVertex* q, const PointF p[4]) {
    for (int i = 0; i < 4; ++i)
        q[i].x = p[i].x, q[i].y = p[i].y;
    ResetDepth(q);
}

void SetUVFromPoints(EngineVertex* q, const PointF p[4]) {
    for (int i = 0; i < 4; ++i)
        q[i].u1 = p[i].x, q[i].v1 = p[i].y;
    SetUV2(q, 0, 0, 1, 1);
}

void SetOrientedUV(EngineVertex* q, int32_t stage, int32_t orientation) {
    const TextureRecord& r = Stage(stage);
    SetOriented(q, orientation, 0, 0, 1 - r.halfU, 1 - r.halfV, false);
}

void SetTwoStageUV(EngineVertex* q, int32_t orientation) {
    const EngineState& s = State();
    const TextureRecord& r0 = Stage(0);
    const TextureRecord& r1 = Stage(1);
    bool secondFollows = s.secondStage == 1;
    SetOriented(q, secondFollows ? 0 : orientation, 2 * r0.halfU, 2 * r0.halfV, 1 - 2 * r0.halfU,
                1 - 2 * r0.halfV, false);
    SetOriented(q, secondFollows ? orientation : 0, 2 * r1.halfU, 2 * r1.halfV, 1 - 2 * r1.halfU,
                1 - 2 * r1.halfV, true);
}

void SetUVRect(EngineVertex* q, float u, float v, float u2, float v2, float du, float dv) {
    SetUV1(q, u, v, u + du, v + dv);
    SetUV2(q, u2, v2, u2 + du, v2 + dv);
}

void SetUVFromSourceRect(EngineVertex* q, int32_t stage, const EngineRect& s) {
    const TextureRecord& r = Stage(stage);
    float su = ScaleU(r), sv = ScaleV(r);
    SetUV1(q, s.left * su + 2 * r.halfU, s.top * sv + 2 * r.halfV, s.right * su - 2 * r.halfU,
           s.bottom * sv - 2 * r.halfV);
}

void SetBothUVFromSourceRect(EngineVertex* q, const EngineRect& s) {
    SetUVFromSourceRect(q, 0, s);
    for (int i = 0; i < 4; ++i)
        q[i].u2 = q[i].u1, q[i].v2 = q[i].v1;
}

void SetUVFromSourceRectShifted(EngineVertex* q, const EngineRect& s) {
    const TextureRecord& r = Stage(0);
    float su = ScaleU(r), sv = ScaleV(r);
    SetUV1(q, s.left * su + r.halfU / 2, s.top * sv + r.halfV / 2, s.right * su + r.halfU / 2,
           s.bottom * sv + r.halfV / 2);
}

void SetUVFromSize(EngineVertex* q, int32_t width, int32_t height) {
    const TextureRecord& r = Stage(0);
    SetUV1(q, r.halfU, r.halfV, width * ScaleU(r) + r.halfU, height * ScaleV(r) + r.halfV);
}

void SetColour(EngineVertex* q, uint32_t colour, int32_t count) {
    for (int32_t i = 0; i < count; ++i)
        q[i].color = colour;
}

void TexturedQuad(EngineVertex* q, const PointF p[4], uint32_t colour) {
    const TextureRecord& r = Stage(0);
    QuadFromPoints(q, p);
    SetUV1(q, r.halfU / 2, r.halfV / 2, r.halfU / 2 + r.usedU, r.halfV / 2 + r.usedV);
    SetColour(q, colour);
}

void TexturedQuadUV(EngineVertex* q, const PointF p[4], float u, float v, float du, float dv,
                    uint32_t colour) {
    QuadFromPoints(q, p);
    SetUV1(q, u, v, u + du, v + dv);
    SetColour(q, colour);
}

int32_t RectQuad(EngineVertex* q, const EngineRect& r, uint32_t colour) {
    return RectQuadF(q, {float(r.left), float(r.top), float(r.right), float(r.bottom)}, colour);
}

int32_t RectQuadF(EngineVertex* q, const RectF& rect, uint32_t colour) {
    WriteRectQuad(q, rect, colour, WholeImageUV(Stage(0)));
    return 4;
}

void RectQuadUVPoints(EngineVertex* q, const EngineRect& r, const PointF p[4], uint32_t colour) {
    QuadFromRect(q, r);
    SetUVFromPoints(q, p);
    SetColour(q, colour);
}

void RectQuadSourceRect(EngineVertex* q, const EngineRect& r, const EngineRect& source, uint32_t colour) {
    QuadFromRect(q, r);
    SetUVFromSourceRectShifted(q, source);
    SetColour(q, colour);
}

void RectQuadSized(EngineVertex* q, const EngineRect& r, int32_t width, int32_t height, uint32_t colour) {
    QuadFromRect(q, r);
    SetUVFromSize(q, width, height);
    SetColour(q, colour);
}

void GridQuads(EngineVertex* q, const EngineRect& r, int32_t columns, int32_t rows, uint32_t colour) {
    if (columns < 1 || rows < 1)
        return;
    const TextureRecord& t = Stage(0);
    float cw = float(r.right - r.left) / float(columns), ch = float(r.bottom - r.top) / float(rows);
    for (int32_t row = 0; row < rows; ++row) {
        for (int32_t col = 0; col < columns; ++col) {
            EngineVertex* cell = q + 4 * (row * columns + col);
            float left = float(r.left) + float(col) * cw, top = float(r.top) + float(row) * ch;
            QuadFromRectF(cell, {left, top, left + cw, top + ch});
            SetUV1(cell, t.halfU / 2, t.halfV / 2, t.halfU / 2 + t.usedU, t.halfV / 2 + t.usedV);
            SetColour(cell, colour);
        }
    }
}

float GlyphQuad(EngineVertex* q, const BitmapFont& font, float x, float y, int32_t size, int32_t table,
                uint8_t character, uint32_t colour) {
    const Glyph& g = font.glyphs[size_t(table ? 1 : 0)][character];
    float width = g.advance * float(size) * font.scale;
    QuadFromRectF(q, {x, y, x + width, y + float(size)});
    SetUV1(q, g.uLeft, g.vTop, g.uRight, g.vBottom);
    SetColour(q, colour);
    return width;
}

void RotateQuad(PointF p[4], PointF centre, float angle) {
    const float s = std::sin(angle), c = std::cos(angle);
    for (int i = 0; i < 4; ++i) {
        float dx = p[i].x - centre.x, dy = p[i].y - centre.y;
        p[i].x = centre.x + c * dx - s * dy;
        p[i].y = centre.y + s * dx + c * dy;
    }
}

PointI InterpolatePoint(PointI a, PointI b, int32_t divisor, int32_t factor) {
    if (divisor == 0)
        return {-666, -666};
    return {int32_t(b.x - int64_t(b.x - a.x) * factor / divisor),
            int32_t(b.y - int64_t(b.y - a.y) * factor / divisor)};
}

} // namespace Engine
