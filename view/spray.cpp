#include "view/spray.h"

#include "data/generated/terrain_tables.h"
#include "engine/graphic_sets.h"
#include "engine/quad_draw.h"
#include "engine/screen.h"
#include "engine/surfaces.h"
#include "engine/tiled_image.h"
#include "engine/viewport.h"
#include "view/interface_state.h"
#include "view/sound_events.h"
#include "view/sound_system.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr int32_t kEffectSet = 7;
constexpr int32_t kSprayNumber = 3;
constexpr float kSprayTileHeight = 160.0f;
constexpr float kSprayTileWidth = 120.0f;

struct CurveCache {
    std::array<std::array<SplineCurve, kSprayCurveCount>, kSprayKindCount> curves{};
    bool built = false;
};

CurveCache& Cache() {
    static CurveCache cache;
    return cache;
}

// The table's curve order, per image: position, x extent, y extent, alpha.
constexpr SprayCurveId kCurveOrder[kSprayCurveCount] = {
    SprayCurveId::Position0, SprayCurveId::XExtent0, SprayCurveId::YExtent0, SprayCurveId::Alpha0,
    SprayCurveId::Position1, SprayCurveId::XExtent1, SprayCurveId::YExtent1, SprayCurveId::Alpha1,
};

int32_t NonNegative(int32_t v) {
    return v < 0 ? 0 : v;
}

} // namespace

SprayState& SprayOf(World& world) {
    return world.Attached<SprayState>();
}

const std::array<SplineCurve, kSprayCurveCount>& SprayKindCurves(int32_t kind) {
    CurveCache& c = Cache();
    if (!c.built) {
        for (int32_t k = 0; k < kSprayKindCount; ++k)
            for (uint32_t i = 0; i < kSprayCurveCount; ++i) {
                c.curves[size_t(k)][i] = SplineCurve();
                c.curves[size_t(k)][i].Set(SprayCurves::Curve(k, kCurveOrder[i]));
            }
        c.built = true;
    }
    return c.curves[size_t(std::clamp(kind, 0, kSprayKindCount - 1))];
}

void InvalidateSprayCurves() {
    Cache().built = false;
}

bool AddSpraySource(int32_t x, int32_t y, uint8_t kind, uint8_t direction) {
    if (kind >= kSprayKindCount || direction > 3)
        return false;
    SprayOf().sources.push_back({x, y, 0, kind, direction});
    return true;
}

void UpdateSpray(uint32_t now) {
    SprayState& s = SprayOf();
    std::erase_if(s.instances, [now](const SprayInstance& i) {
        const GischtRow* row = GischtTable::Find(i.kind);
        return int64_t(now - i.start) >= int64_t(row ? NonNegative(row->LifeTime) : 0);
    });
    if (!s.enabled)
        return;
    for (SpraySource& source : s.sources) {
        const GischtRow* row = GischtTable::Find(source.kind);
        if (!row)
            continue;
        const int64_t wait = NonNegative(row->WaitInterval);
        int64_t late = int64_t(int32_t(now - source.lastCreation)) - NonNegative(row->CreationInterval);
        if (late < 0)
            continue;
        late = std::min(late, wait);
        bool create = wait == 0;
        if (wait != 0 && late != 0) {
            const uint64_t p = uint64_t(0xFFFFFFFFu) * uint64_t(late) / uint64_t(wait);
            create = p >= s.NextRandom();
        }
        if (!create)
            continue;
        source.lastCreation = now;
        s.instances.push_back({source.x, source.y, now, source.kind, source.direction, 0});
    }
}

bool SprayPassQuad(const SprayInstance& s, uint32_t now, int pass, float px, float py, float z, float w,
                   float h, SprayQuad& out) {
    const GischtRow* row = GischtTable::Find(s.kind);
    if (!row || row->LifeTime <= 0 || s.kind >= kSprayKindCount || s.direction > 3 || w <= 0.0f)
        return false;
    const float e = float(now - s.start);
    const float t = e / float(row->LifeTime);
    if (t > 1.0f)
        return false;
    const auto& curves = SprayKindCurves(s.kind);
    const size_t base = pass == 0 ? 0 : 4;
    static constexpr float kDirX[4] = {1.0f, 1.0f, -1.0f, -1.0f};
    static constexpr float kDirY[4] = {-0.5f, 0.5f, 0.5f, -0.5f};
    static constexpr int kOrder[4][4] = {{0, 1, 2, 3}, {2, 0, 3, 1}, {3, 2, 1, 0}, {1, 3, 0, 2}};
    const float d = curves[base].Evaluate(t) * z * kSprayTileHeight;
    const float cx = px + d * kDirX[s.direction], cy = py + d * kDirY[s.direction];
    const float ex = curves[base + 1].Evaluate(t) * z * kSprayTileWidth;
    const float ey = curves[base + 2].Evaluate(t) * z * kSprayTileWidth * h / w;
    const bool across = s.direction == 1 || s.direction == 3;
    const float a = across ? ey : ex, b = across ? ex : ey;
    const float offsets[4][2] = {{-a, -b}, {a, -b}, {-a, b}, {a, b}};
    for (int k = 0; k < 4; ++k) {
        const int corner = kOrder[s.direction][k];
        const float ox = offsets[k][0], oy = offsets[k][1];
        out.x[size_t(corner)] = cx + ox - oy;
        out.y[size_t(corner)] = cy + (ox + oy) * 0.5f;
    }
    const int* order = kOrder[s.direction];
    out.box = {int32_t(std::lround(out.x[size_t(order[2])])), int32_t(std::lround(out.y[size_t(order[0])])),
               int32_t(std::lround(out.x[size_t(order[1])])), int32_t(std::lround(out.y[size_t(order[3])]))};
    const float alpha = std::round(curves[base + 3].Evaluate(t) * 255.0f);
    out.alpha = alpha >= 255.0f ? 255u : alpha > 0.0f ? uint32_t(alpha) : 0u;
    return true;
}

void DrawSpray(uint32_t now) {
    SprayState& s = SprayOf();
    s.quadsDrawn = 0;
    if (!s.enabled)
        return;
    const float z = Viewport::GetZoomScale();
    for (SprayInstance& instance : s.instances) {
        const TiledImage* images[2];
        for (int i = 0; i < 2; ++i) {
            GraphicSets::SetFieldA(uint8_t(i));
            images[i] = SpriteFetch(kEffectSet, kSprayNumber, instance.kind);
        }
        const ScreenPoint p = MapToScreen(instance.x, instance.y);
        for (int pass = 0; pass < 2 && images[0] && images[1]; ++pass) {
            const TiledImage* image = images[pass];
            SprayQuad q;
            if (image->textures.empty() ||
                !SprayPassQuad(instance, now, pass, float(p.x), float(p.y), z, float(image->imageWidth),
                               float(image->imageHeight), q))
                continue;
            if (!Engine::IsRectVisible(q.box))
                continue;
            const uint32_t colour = q.alpha << 24 | 0xFFFFFFu;
            const Surface* surface = Engine::TextureSurface(TextureHandle(image->textures[0]));
            if (!surface || !Engine::BindAndApply(surface, Engine::SpriteStateBlock(1, 1, colour)))
                continue;
            const PointF corners[4] = {
                {q.x[0], q.y[0]}, {q.x[1], q.y[1]}, {q.x[2], q.y[2]}, {q.x[3], q.y[3]}};
            const PointF uv[4] = {{0, 0}, {1, 0}, {0, 1}, {1, 1}};
            Engine::DrawQuadCorners(corners, uv, colour);
            ++s.quadsDrawn;
        }
        // The sound, once, after the kind's sound offset.
        const GischtRow* row = GischtTable::Find(instance.kind);
        if (row && InterfaceStateOf().AmbientEffectsOn() && !instance.soundPlayed &&
            int64_t(now - instance.start) >= int64_t(row->SoundOffset)) {
            instance.soundPlayed = 1;
            if (IsSoundEnabled() && IsSoundAvailable() && row->SoundIndex > 0) {
                const EngineRect area{instance.x, instance.y, instance.x, instance.y};
                PlaySoundEvent(uint32_t(row->SoundIndex), &area, 1);
            }
        }
    }
    Engine::FlushQuads();
}
