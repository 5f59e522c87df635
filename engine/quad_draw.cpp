#include "engine/quad_draw.h"

#include "engine/engine_error.h"
#include "engine/engine_result.h"
#include "engine/screen.h"
#include "engine/state_blocks.h"
#include "engine/surfaces.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

constexpr int32_t kQuadCapacity = Engine::kQuadBatchVertices / 4;

// The shared index list: per quad k the triangles (4k, 4k+1, 4k+2) and
// (4k+3, 4k+2, 4k+1).
const std::array<uint16_t, kQuadCapacity * 6>& QuadIndices() {
    static const auto indices = [] {
        std::array<uint16_t, kQuadCapacity * 6> a{};
        for (int32_t k = 0; k < kQuadCapacity; ++k) {
            const uint16_t b = uint16_t(4 * k);
            const uint16_t tri[6] = {
                b, uint16_t(b + 1), uint16_t(b + 2), uint16_t(b + 3), uint16_t(b + 2), uint16_t(b + 1)};
            std::copy(tri, tri + 6, a.begin() + 6 * k);
        }
        return a;
    }();
    return indices;
}

plat::RenderDevice* Device() {
    return Engine::State().device;
}

bool DrawDirect(plat::Primitive prim, const EngineVertex* v, int32_t count, const uint16_t* indices,
                int32_t indexCount, int32_t line) {
    if (!Engine::FlushQuads())
        return false;
    plat::RenderDevice* d = Device();
    if (!d || !d->Draw(prim, v, count, indices, indexCount)) {
        Engine::ReportError(EngineResult::kFail, line);
        return false;
    }
    return true;
}

bool DrawOne(EngineVertex* q, uint32_t colour) {
    Engine::SetColour(q, colour);
    return Engine::DrawQuads(q, 1);
}

Surface* Tex(TextureHandle h) {
    return Engine::TextureSurface(h);
}

int32_t Class(uint32_t corner) {
    return int32_t(corner >> 28);
}

} // namespace

namespace Engine {

constinit QuadBatch detail::gPendingQuads;

bool detail::SendQuads() {
    QuadBatch& b = gPendingQuads;
    int32_t count = b.used;
    b.used = 0;
    plat::RenderDevice* d = Device();
    if (!d || !d->Draw(plat::Primitive::TriangleList, b.vertices.data(), count, QuadIndices().data(),
                       count / 4 * 6)) {
        ReportError(EngineResult::kFail, 9736);
        return false;
    }
    return true;
}

bool DrawQuads(const EngineVertex* quads, int32_t quadCount) {
    QuadBatch& b = detail::gPendingQuads;
    bool ok = true;
    while (quadCount > 0) {
        if (b.used == kQuadBatchVertices)
            ok = FlushQuads() && ok;
        int32_t room = (kQuadBatchVertices - b.used) / 4;
        int32_t n = std::min(room, quadCount);
        std::copy(quads, quads + 4 * n, b.vertices.begin() + b.used);
        b.used += 4 * n;
        quads += 4 * n;
        quadCount -= n;
    }
    return ok;
}

bool BindTwoAndApply(const Surface* first, const Surface* second, int32_t stateBlock) {
    EngineState& s = State();
    int32_t blendStage = s.secondStage;
    if (s.stageSurface[0] != first || s.stageSurface[size_t(blendStage)] != second ||
        s.cachedStateBlock != stateBlock)
        FlushQuads();
    return SetStageTexture(first, 0) && SetStageTexture(second, blendStage) && ApplyStateBlock(stateBlock);
}

bool DrawQuadOriented(const EngineRect& r, int32_t stage, int32_t orientation, uint32_t colour) {
    EngineVertex q[4];
    QuadFromRect(q, r);
    SetOrientedUV(q, stage, orientation);
    return DrawOne(q, colour);
}

bool DrawQuadTwoStages(const EngineRect& r, int32_t orientation, uint32_t colour) {
    EngineVertex q[4];
    QuadFromRect(q, r);
    SetTwoStageUV(q, orientation);
    return DrawOne(q, colour);
}

bool DrawRotatedQuad(const PointF p[4], uint32_t colour) {
    EngineVertex q[4];
    TexturedQuad(q, p, colour);
    return DrawQuads(q, 1);
}

bool DrawQuadUVSet(const EngineRect& r, const PointF uv[4], uint32_t colour) {
    EngineVertex q[4];
    RectQuadUVPoints(q, r, uv, colour);
    return DrawQuads(q, 1);
}

bool DrawQuadCorners(const PointF corners[4], const PointF uv[4], uint32_t colour) {
    EngineVertex q[4];
    QuadFromPoints(q, corners);
    SetUVFromPoints(q, uv);
    return DrawOne(q, colour);
}

bool DrawQuadInset(const EngineRect& r, const EngineRect& source, uint32_t colour) {
    EngineVertex q[4];
    QuadFromRect(q, r);
    SetUVFromSourceRect(q, 0, source);
    return DrawOne(q, colour);
}

bool DrawQuadSourceStages(const EngineRect& r, const EngineRect& source, uint32_t colour) {
    EngineVertex q[4];
    QuadFromRect(q, r);
    SetBothUVFromSourceRect(q, source);
    return DrawOne(q, colour);
}

bool DrawQuadSource(const EngineRect& r, const EngineRect& source, uint32_t colour) {
    EngineVertex q[4];
    RectQuadSourceRect(q, r, source, colour);
    return DrawQuads(q, 1);
}

bool DrawRotatedRect(const EngineRect& r, float angle, uint32_t colour) {
    PointF uv[4] = {{0, 0}, {1, 0}, {0, 1}, {1, 1}};
    RotateQuad(uv, {0.5f, 0.5f}, angle);
    EngineVertex q[4];
    QuadFromRect(q, r);
    for (int i = 0; i < 4; ++i) {
        q[i].u1 = q[i].u2 = uv[i].x;
        q[i].v1 = q[i].v2 = uv[i].y;
    }
    return DrawOne(q, colour);
}

bool DrawTextQuad(const EngineRect& r, const EngineRect& source, uint32_t colour) {
    return DrawQuadSource(r, source, colour);
}

bool DrawMesh(const EngineVertex* vertices, int32_t count, uint32_t colour) {
    if (!vertices || count < 1 || count > kQuadBatchVertices)
        return false;
    std::vector<EngineVertex> copy(vertices, vertices + count);
    SetColour(copy.data(), colour, count);
    return DrawDirect(plat::Primitive::TriangleList, copy.data(), count, nullptr, 0, 9780);
}

bool DrawSpriteQuad(const EngineRect& r, uint32_t colour) {
    return AddSpriteQuad(r, colour, WholeImageUV(State().stageRecord[0]));
}

bool DrawSpriteQuadF(const RectF& r, uint32_t colour) {
    EngineVertex q[4];
    RectQuadF(q, r, colour);
    return DrawQuads(q, 1);
}

bool DrawGridQuad(PointF p1, PointF p2, PointF p3, PointF p4, int32_t divisions, uint32_t colour) {
    if (!BindAndApply(nullptr, kLineStateBlock))
        return false;
    std::vector<EngineVertex> lines;
    auto add = [&](PointF a, PointF b) {
        for (PointF p : {a, b}) {
            EngineVertex v{};
            v.x = p.x, v.y = p.y, v.rhw = 1.0f, v.color = colour;
            lines.push_back(v);
        }
    };
    auto lerp = [](PointF a, PointF b, float t) {
        return PointF{a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t};
    };
    add(p1, p2), add(p2, p3), add(p3, p4), add(p4, p1);
    int32_t steps = std::max(divisions, 0);
    for (int32_t i = 1; i <= steps; ++i) {
        float t = float(i) / float(steps + 1);
        add(lerp(p1, p2, t), lerp(p4, p3, t));
        add(lerp(p2, p3, t), lerp(p1, p4, t));
    }
    bool ok = true;
    for (size_t at = 0; at < lines.size(); at += kQuadBatchVertices) {
        int32_t n = int32_t(std::min<size_t>(kQuadBatchVertices, lines.size() - at));
        ok = DrawDirect(plat::Primitive::LineList, lines.data() + at, n, nullptr, 0, 10059) && ok;
    }
    return ok;
}

bool DrawQuadSimple(TextureHandle texture, const EngineRect& r, int32_t mode) {
    return DrawQuadTinted(texture, 0xFFFFFFFF, r, mode);
}

bool DrawQuadTinted(TextureHandle texture, uint32_t colour, const EngineRect& r, int32_t mode) {
    if (!IsRectVisible(r))
        return true;
    Surface* s = Tex(texture);
    if (!s) {
        ReportError(EngineResult::kFail, 10110);
        return false;
    }
    int32_t block = StateBlockIndex(1, (mode >> 1) & 1, mode & 1, 1, colour != 0xFFFFFFFF ? 1 : 0, 0);
    if (!BindAndApply(s, block))
        return false;
    EngineVertex q[4];
    RectQuad(q, r, colour);
    return DrawQuads(q, 1);
}

bool DrawQuadTwoTextures(TextureHandle texture, TextureHandle second, uint32_t colour, const EngineRect& r,
                         int32_t orientation, int32_t filter, int32_t blend) {
    if (!IsRectVisible(r))
        return true;
    Surface* s = Tex(texture);
    if (!s) {
        ReportError(EngineResult::kFail, 10160);
        return false;
    }
    int32_t tint = colour != 0xFFFFFFFF ? 1 : 0;
    Surface* s2 = second ? Tex(second) : nullptr;
    if (!s2) {
        if (!BindAndApply(s, StateBlockIndex(std::clamp(blend, 0, 4), 0, filter ? 1 : 0, 1, tint, 0)))
            return false;
        return DrawQuadOriented(r, 0, orientation, colour);
    }
    if (!BindTwoAndApply(s, s2, StateBlockIndex(std::clamp(blend, 0, 4), 0, filter ? 1 : 0, 2, tint, 0)))
        return false;
    return DrawQuadTwoStages(r, orientation, colour);
}

namespace {

// Binds one texture, or two with the second on the blend stage, with the
// blend, filter and addressing; false when the first is not a texture.
bool BindCulled(TextureHandle texture, TextureHandle second, uint32_t colour, int32_t filter, int32_t blend,
                int32_t wrap, int32_t line) {
    Surface* s = Tex(texture);
    if (!s) {
        ReportError(EngineResult::kFail, line);
        return false;
    }
    const int32_t b = std::clamp(blend, 0, 4), tint = colour != 0xFFFFFFFF ? 1 : 0, f = filter ? 1 : 0;
    Surface* s2 = second ? Tex(second) : nullptr;
    if (!s2)
        return BindAndApply(s, StateBlockIndex(b, 0, f, 1, tint, wrap));
    return BindTwoAndApply(s, s2, StateBlockIndex(b, 0, f, 2, tint, wrap));
}

} // namespace

bool DrawQuadTwoTexturesInset(TextureHandle texture, TextureHandle second, uint32_t colour,
                              const EngineRect& r, const EngineRect& source, int32_t filter, int32_t blend) {
    if (!IsRectVisible(r))
        return true;
    return BindCulled(texture, second, colour, filter, blend, 0, 10170) &&
           DrawQuadSourceStages(r, source, colour);
}

bool DrawQuad(TextureHandle texture, TextureHandle second, uint32_t colour, const EngineRect& r,
              int32_t filter, int32_t blend) {
    if (!IsRectVisible(r))
        return true;
    if (!BindCulled(texture, second, colour, filter, blend, 0, 10180))
        return false;
    return second ? DrawQuadTwoStages(r, 0, colour) : DrawQuadOriented(r, 0, 0, colour);
}

bool DrawQuadUV(TextureHandle texture, TextureHandle second, uint32_t colour, const EngineRect& r,
                const PointF uv[4], int32_t filter, int32_t blend) {
    if (!IsRectVisible(r))
        return true;
    if (!BindCulled(texture, second, colour, filter, blend, 1, 10190))
        return false;
    EngineVertex q[4];
    RectQuadUVPoints(q, r, uv, colour);
    return DrawQuads(q, 1);
}

bool DrawSpriteNow(TextureHandle texture, const EngineRect& r, int32_t blend, int32_t filter) {
    return DrawSpriteNowTinted(texture, 0xFFFFFFFF, r, blend, filter);
}

bool DrawSpriteNowTinted(TextureHandle texture, uint32_t colour, const EngineRect& r, int32_t blend,
                         int32_t filter) {
    if (!IsRectVisible(r))
        return true;
    Surface* s = Tex(texture);
    if (!s || !BindAndApply(s, SpriteStateBlock(blend, filter, colour)))
        return false;
    return DrawSpriteQuad(r, colour);
}

bool DrawSpriteForImage(TextureHandle texture, const EngineRect& r, const EngineRect& source, int32_t blend,
                        int32_t filter) {
    return DrawSpriteForImageTinted(texture, 0xFFFFFFFF, r, source, blend, filter);
}

bool DrawSpriteForImageTinted(TextureHandle texture, uint32_t colour, const EngineRect& r,
                              const EngineRect& source, int32_t blend, int32_t filter) {
    if (!IsRectVisible(r))
        return true;
    Surface* s = Tex(texture);
    if (!s || !BindAndApply(s, SpriteStateBlock(blend, filter, colour)))
        return false;
    return DrawQuadSource(r, source, colour);
}

bool DrawPoints(const PointI* points, int32_t count, uint32_t colour) {
    if (!points || count < 1)
        return false;
    if (!BindAndApply(nullptr, kPrimitiveStateBlock)) {
        ReportError(EngineResult::kFail, 3416);
        return false;
    }
    bool ok = true;
    std::array<EngineVertex, kQuadBatchVertices> v{};
    for (int32_t at = 0; at < count; at += kQuadBatchVertices) {
        int32_t n = std::min(kQuadBatchVertices, count - at);
        for (int32_t i = 0; i < n; ++i) {
            v[size_t(i)] = {};
            v[size_t(i)].x = float(points[at + i].x), v[size_t(i)].y = float(points[at + i].y);
            v[size_t(i)].rhw = 1.0f, v[size_t(i)].color = colour;
        }
        ok = DrawDirect(plat::Primitive::PointList, v.data(), n, nullptr, 0, 9736) && ok;
    }
    return ok;
}

bool DrawRect(uint32_t colour, const EngineRect& r, int32_t frameWidth) {
    if (!IsRectVisible(r))
        return true;
    if (!BindAndApply(nullptr, kPrimitiveStateBlock))
        return false;
    EngineVertex v[8] = {};
    QuadFromRect(v, r);
    SetColour(v, colour);
    if (frameWidth <= 0)
        return DrawDirect(plat::Primitive::TriangleStrip, v, 4, nullptr, 0, 9987);
    const int32_t w = frameWidth;
    QuadFromRect(v + 4, {r.left + w, r.top + w, r.right - w, r.bottom - w});
    SetColour(v + 4, colour);
    static const uint16_t kFrame[24] = {0, 1, 4, 4, 1, 5, 5, 1, 7, 7, 1, 3,
                                        6, 7, 2, 2, 7, 3, 0, 4, 2, 2, 4, 6};
    return DrawDirect(plat::Primitive::TriangleList, v, 8, kFrame, 24, 9987);
}

bool DrawLine(uint32_t colour, int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t width) {
    if (width < 1)
        return false;
    if (!BindAndApply(nullptr, kLineStateBlock))
        return false;
    EngineVertex v[4] = {};
    ResetDepth(v);
    SetColour(v, colour);
    if (width == 1) {
        v[0].x = float(x1), v[0].y = float(y1);
        v[1].x = float(x2), v[1].y = float(y2);
        return DrawDirect(plat::Primitive::LineList, v, 2, nullptr, 0, 13620);
    }
    const float o = float(width - 1) / 2.0f, w = float(width);
    if (std::abs(y2 - y1) >= std::abs(x2 - x1)) {
        float a = float(x1) - o, b = float(x2) - o;
        v[0].x = a, v[0].y = float(y1);
        v[1].x = a + w, v[1].y = float(y1);
        v[2].x = b, v[2].y = float(y2);
        v[3].x = b + w, v[3].y = float(y2);
    } else {
        float a = float(y1) + o, b = float(y2) + o;
        v[0].x = float(x1), v[0].y = a - w;
        v[1].x = float(x2), v[1].y = b - w;
        v[2].x = float(x1), v[2].y = a;
        v[3].x = float(x2), v[3].y = b;
    }
    return DrawDirect(plat::Primitive::TriangleStrip, v, 4, nullptr, 0, 13635);
}

int32_t SimpleTerrainPasses(const int32_t c[4], TerrainPass out[3]) {
    const int32_t c0 = c[0], c1 = c[1], c2 = c[2], c3 = c[3];
    if (c0 == c1 && c0 == c2 && c0 == c3)
        return 0;
    const bool a = c1 > c0, b = c3 > c0;
    int32_t n = 0;
    auto pass = [&](int32_t k, int32_t m, int32_t o) { out[n++] = {k, m, o, 1}; };
    if (c0 == c3) {
        if (c2 == c0) {
            pass(1, 1, a ? 3 : 7);
        } else if (c1 == c0) {
            pass(2, 1, c2 > c0 ? 1 : 6);
        } else if (c1 != c2) {
            pass(1, 1, a ? 3 : 7);
            pass(2, 1, c2 > c0 ? 1 : 6);
        } else {
            pass(1, 4, a ? 0 : 4);
        }
    } else if (c1 == c2) {
        if (c1 == c0)
            pass(3, 1, b ? 0 : 4);
        else if (c1 != c3)
            pass(1, 3, a ? 0 : 4), pass(3, 1, b ? 0 : 4);
        else
            pass(3, 3, b ? 0 : 4);
    } else if (c1 == c3) {
        if (c2 != c0)
            pass(2, 0, c2 > c0 ? 0 : 6);
        pass(1, 0, b ? 3 : 4);
    } else if (c2 == c3) {
        if (c1 != c0)
            pass(1, 0, a ? 3 : 4);
        pass(2, 0, b ? 0 : 6);
    } else if (c1 == c0) {
        pass(2, 2, 0), pass(3, 1, b ? 0 : 4);
    } else if (c2 == c0) {
        pass(1, 2, 4), pass(3, 1, b ? 0 : 4);
    } else {
        pass(1, 2, 4), pass(2, 2, 0), pass(3, 1, b ? 0 : 4);
    }
    return n;
}

int32_t TerrainPasses(const uint32_t corners[4], const uint32_t colours[4], TerrainPass out[4]) {
    // Corners count as equal when their low 28 bits and colours are; each
    // distinct corner gets a rank (0 = corner 0's) that the simple table
    // orders, so the passes follow the same scheme.
    auto same = [&](int i, int j) {
        return (corners[i] & 0x0FFFFFFF) == (corners[j] & 0x0FFFFFFF) && colours[i] == colours[j];
    };
    int32_t c[4];
    for (int i = 0; i < 4; ++i) {
        // A different corner of corner 0's class ranks just below it: only a
        // higher class counts as above corner 0.
        c[i] = same(i, 0) ? Class(corners[0]) * 2
                          : Class(corners[i]) * 2 - (Class(corners[i]) == Class(corners[0]));
        for (int j = 0; j < i; ++j)
            if (same(i, j))
                c[i] = c[j];
    }
    TerrainPass simple[3];
    int32_t n = SimpleTerrainPasses(c, simple);
    const bool agree = ((corners[0] ^ corners[1]) & 1) == 0 && ((corners[0] ^ corners[2]) & 1) == 0 &&
                       ((corners[0] ^ corners[3]) & 1) == 0;
    for (int32_t i = 0; i < n; ++i) {
        TerrainPass p = simple[i];
        if (agree) {
            // Masks 0 to 3; the inner corner (mask 4 of the simple set) is
            // the inverse of mask 1 through the inverse alpha blend.
            if (p.mask == 4)
                p.mask = 1, p.blend = 3;
        } else {
            // Masks 4 to 11 carry the shore edges; corner 3's flag moves
            // the set on by four.
            p.mask = 4 + p.mask % 4 + ((corners[3] & 1) ? 4 : 0);
        }
        out[i] = p;
    }
    return n;
}

namespace {

bool DrawTerrainPasses(const TerrainPass* passes, int32_t n, const TextureHandle textures[4],
                       const TextureHandle* masks, int32_t maskCount, const uint32_t colours[4],
                       const EngineRect& r, int32_t filter) {
    bool ok = true;
    for (int32_t i = 0; i < n; ++i) {
        const TerrainPass& p = passes[i];
        TextureHandle mask = p.mask >= 0 && p.mask < maskCount ? masks[p.mask] : 0;
        ok = DrawQuadTwoTextures(textures[p.texture], mask, colours[p.texture], r, p.orientation, filter,
                                 p.blend) &&
             ok;
    }
    return ok;
}

} // namespace

bool DrawTerrainTileSimple(const uint32_t* corners, const TextureHandle textures[4],
                           const TextureHandle masks[5], const uint32_t colours[4], const EngineRect& r,
                           int32_t filter) {
    if (!IsRectVisible(r))
        return true;
    bool ok = DrawQuadTinted(textures[0], colours[0], r, filter ? 3 : 2);
    if (!corners)
        return ok;
    const int32_t c[4] = {Class(corners[0]), Class(corners[1]), Class(corners[2]), Class(corners[3])};
    TerrainPass passes[3];
    int32_t n = SimpleTerrainPasses(c, passes);
    return DrawTerrainPasses(passes, n, textures, masks, 5, colours, r, filter) && ok;
}

bool DrawTerrainTile(const uint32_t* corners, const TextureHandle textures[4], const TextureHandle masks[12],
                     const uint32_t colours[4], const EngineRect& r, int32_t filter) {
    if (!IsRectVisible(r))
        return true;
    bool ok = DrawQuadTinted(textures[0], colours[0], r, filter ? 3 : 2);
    if (!corners)
        return ok;
    TerrainPass passes[4];
    int32_t n = TerrainPasses(corners, colours, passes);
    return DrawTerrainPasses(passes, n, textures, masks, 12, colours, r, filter) && ok;
}

} // namespace Engine
