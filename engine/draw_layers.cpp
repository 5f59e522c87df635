#include "engine/draw_layers.h"

#include "engine/depth_sort.h"

#include "engine/engine_error.h"
#include "engine/engine_result.h"
#include "engine/quad_draw.h"
#include "engine/screen.h"
#include "engine/state_blocks.h"
#include "engine/surfaces.h"
#include "engine/texture_atlas.h"
#include "platform/render_device.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

namespace {

constexpr size_t kTextStoreSize = 65536;

struct TextStore {
    alignas(8) std::array<uint8_t, kTextStoreSize> bytes{};
    size_t used = 0;
};

TextStore& Store() {
    static TextStore store;
    return store;
}

// Reserves n bytes (rounded up to even) of the text store; null when full.
uint8_t* Reserve(size_t n) {
    TextStore& s = Store();
    size_t even = (n + 1) & ~size_t(1);
    if (even > kTextStoreSize - s.used)
        return nullptr;
    uint8_t* p = s.bytes.data() + s.used;
    s.used += even;
    return p;
}

bool Visible(const EngineRect& r, const EngineRect& clip) {
    return !(r.right <= clip.left || r.bottom <= clip.top || r.left >= clip.right || r.top >= clip.bottom);
}

// The depth sort's working storage, kept between frames.
struct SortScratch {
    std::vector<uint32_t> kept;  // item indices, queue order
    std::vector<SortKey> keys;   // sort fields by kept slot
    std::vector<uint32_t> order; // kept slots, back to front
};

} // namespace

namespace Engine {

constinit std::array<DrawLayer, kDrawLayerCount> detail::gLayers;

bool StoreText(const char** out, const char* text, int32_t* count) {
    *out = nullptr;
    uint8_t* p = *count > 0 && text ? Reserve(size_t(*count)) : nullptr;
    if (!p) {
        *count = 0;
        return false;
    }
    std::memcpy(p, text, size_t(*count));
    *out = reinterpret_cast<const char*>(p);
    return true;
}

bool StoreWideText(const char16_t** out, const char16_t* text, int32_t* count) {
    *out = nullptr;
    uint8_t* p = *count > 0 && text ? Reserve(size_t(*count) * 2) : nullptr;
    if (!p) {
        *count = 0;
        return false;
    }
    std::memcpy(p, text, size_t(*count) * 2);
    *out = reinterpret_cast<const char16_t*>(p);
    return true;
}

void ClearTextStore() {
    Store().used = 0;
}

size_t TextStoreUsed() {
    return Store().used;
}

bool QueueTexturedRect(int32_t layer, TextureHandle texture, const EngineRect& rect, uint32_t colour,
                       int32_t blend, int32_t filter) {
    DrawLayer* l = Layer(layer);
    if (!l || !IsValidTexture(texture))
        return false;
    int32_t b = std::clamp(blend, 0, 4);
    l->rects.push_back({rect, texture, StateBlockIndex(b, b != 0, filter ? 1 : 0, 1, 1, 0), colour});
    l->sceneOrder.push_back(kSceneRect);
    return true;
}

bool QueueBitmapTextDirect(int32_t layer, int32_t font, PointI32 at, int32_t size, uint8_t table,
                           const char* chars, int32_t count, uint32_t colour, int32_t spacing) {
    DrawLayer* l = Layer(layer);
    if (!l || !chars || count <= 0 || !chars[0])
        return false;
    const char* copy = nullptr;
    if (!StoreText(&copy, chars, &count))
        return false;
    l->texts.push_back({copy, count, at.x, at.y, font, size, colour, spacing, table});
    l->sceneOrder.push_back(kSceneText);
    return true;
}

bool QueueTexturedQuad(int32_t layer, TextureHandle texture, const EngineRect& dest, const EngineRect& source,
                       uint32_t colour, uint8_t mapping, int32_t blend, int32_t filter) {
    DrawLayer* l = Layer(layer);
    if (!l || !IsValidTexture(texture))
        return false;
    int32_t b = std::clamp(blend, 0, 4);
    l->quads.push_back(
        {dest, source, texture, StateBlockIndex(b, b != 0, filter ? 1 : 0, 1, 1, 0), colour, mapping});
    l->sceneOrder.push_back(kSceneQuad);
    return true;
}

bool QueueLine(int32_t layer, uint32_t colour, int32_t x1, int32_t y1, int32_t x2, int32_t y2,
               int32_t width) {
    DrawLayer* l = Layer(layer);
    if (!l)
        return false;
    l->lines.push_back({colour, x1, x2, y1, y2, width});
    l->sceneOrder.push_back(kSceneLine);
    return true;
}

bool QueueRotatedRect(int32_t layer, TextureHandle texture, TextureHandle second, const EngineRect& rect,
                      float degrees, int32_t blend, int32_t filter) {
    DrawLayer* l = Layer(layer);
    if (!l || !IsValidTexture(texture))
        return false;
    int32_t b = std::clamp(blend, 0, 4);
    int32_t block = second == 0 ? StateBlockIndex(b, b != 0, filter ? 1 : 0, 1, 0, 0)
                                : StateBlockIndex(b, b != 0, filter ? 1 : 0, 2, 1, 0);
    l->rotated.push_back({rect, texture, second, block, degrees});
    l->sceneOrder.push_back(kSceneRotated);
    return true;
}

bool QueueGdiTextBlit(int32_t layer, const SystemFont* font, PointI32 at, const char16_t* chars,
                      int32_t count, uint32_t colour, uint32_t background) {
    DrawLayer* l = Layer(layer);
    if (!l || !font || !chars)
        return false;
    if (count <= 0 || !chars[0])
        return true;
    const char16_t* copy = nullptr;
    if (!StoreWideText(&copy, chars, &count))
        return false;
    auto bgr = [](uint32_t argb) { return ((argb & 0xFF) << 16) | (argb & 0xFF00) | ((argb >> 16) & 0xFF); };
    uint32_t back = (background & 0xFF000000) ? bgr(background) : 0xFF00FF;
    l->blitTexts.push_back({copy, count, at.x, at.y, font, bgr(colour), back});
    l->blitOrder.push_back(kBlitText);
    return true;
}

bool QueueBlit(int32_t layer, TextureHandle texture, PointI32 at, const EngineRect& source) {
    DrawLayer* l = Layer(layer);
    Surface* s = TextureSurface(texture);
    if (!l || !s)
        return false;
    EngineRect src = source;
    if (!ClipToScreen(at, src))
        return true;
    BlitRecord r;
    r.source = src;
    r.dest = {at.x, at.y, at.x + (src.right - src.left), at.y + (src.bottom - src.top)};
    r.texture = texture;
    r.flags = s->hasColourKey ? kBlitUseKey : 0;
    r.kind = 0;
    l->blits.push_back(r);
    l->blitOrder.push_back(kBlitCopy);
    return true;
}

bool QueueColourFill(int32_t layer, const EngineRect& rect, uint32_t colour) {
    DrawLayer* l = Layer(layer);
    if (!l)
        return false;
    BlitRecord r;
    r.dest = rect;
    r.fill = ConvertColour(colour, kFormatDisplayVideo);
    r.kind = 2;
    l->blits.push_back(r);
    l->blitOrder.push_back(kBlitCopy);
    return true;
}

bool SortLayer(int32_t layer) {
    DrawLayer* l = Layer(layer);
    if (!l || l->sorted)
        return false;
    l->sorted = 1;
    l->order.clear();
    if (l->items.empty())
        return true;
    const uint64_t start = ReadTimestamp();
    static SortScratch sc;
    std::vector<DrawItem>& items = l->items;
    const EngineRect& clip = State().clip;

    // Cull, then sort the kept items; each of them is placed in the order.
    // An item whose sort rectangle the queue would refuse (one put in the
    // list directly) lies on no diagonal and is not drawn.
    sc.kept.clear();
    sc.keys.clear();
    for (uint32_t i = 0; i < items.size(); ++i) {
        DrawItem& it = items[i];
        it.placed = 0;
        if (!CheckDrawRect({it.x1, it.y1, it.x2, it.y2}))
            continue;
        if (it.mode == kItemSprite || it.mode == kItemRotated) {
            if (!Visible(it.dest, clip))
                continue;
        } else if (it.mode == kItemSpriteF) {
            const auto& f = it.destF;
            if (f[2] <= float(clip.left) || f[3] <= float(clip.top) || f[0] >= float(clip.right) ||
                f[1] >= float(clip.bottom))
                continue;
        }
        it.placed = 1;
        sc.kept.push_back(i);
        sc.keys.push_back({it.x1, it.y1, it.x2, it.y2, it.flags, it.orderKey, it.dest.top});
    }
    const size_t kept = sc.kept.size();
    DepthSortOrder(sc.keys.data(), kept, sc.order);
    l->order.resize(sc.order.size());
    for (size_t i = 0; i < sc.order.size(); ++i)
        l->order[i] = sc.kept[sc.order[i]];
    if (layer == 0) {
        EngineState& st = State();
        st.sortTimeMs = float(ElapsedTime(ReadTimestamp(), start)) / 1000.0f;
        st.sortedCount = int32_t(kept);
    }
    return true;
}

bool EnsureLayerSorted(int32_t layer) {
    DrawLayer* l = Layer(layer);
    if (!l)
        return false;
    if (l->items.empty())
        return true;
    if (l->sorted == 0)
        return SortLayer(layer);
    return l->sorted == 1;
}

namespace {

bool DrawItemNow(const DrawItem& it) {
    Surface* s = nullptr;
    if (it.mode != kItemBitmapText && it.mode != kItemGdiText) {
        s = TextureSurface(it.texture);
        if (!s)
            return false;
    }
    switch (it.mode) {
    case kItemSprite:
        return BindAndApply(s, it.stateBlock) && DrawSpriteQuad(it.dest, it.colour);
    case kItemTwoTextures: {
        bool ok = BindAndApply(s, it.stateBlock) && DrawSpriteQuad(it.dest, it.colour);
        Surface* s2 = TextureSurface(it.params[0]);
        return s2 && BindAndApply(s2, it.stateBlock) && DrawSpriteQuad(it.dest, it.params[1]) && ok;
    }
    case kItemSpriteF:
        return BindAndApply(s, it.stateBlock) &&
               DrawSpriteQuadF({it.destF[0], it.destF[1], it.destF[2], it.destF[3]}, it.colour);
    case kItemMesh: {
        const auto* mesh = static_cast<const MeshList*>(it.data);
        return BindAndApply(s, it.stateBlock) && mesh && DrawMesh(mesh->vertices, mesh->count, it.colour);
    }
    case kItemRefresh: {
        bool refreshed = true;
        if (it.params[0] != 0 && it.data) {
            FlushQuads();
            End2D();
            refreshed =
                ComposeTextureFrames(it.texture, static_cast<const uint8_t*>(it.data), int32_t(it.params[0]));
            Begin2D();
        }
        return BindAndApply(s, it.stateBlock) && DrawSpriteQuad(it.dest, it.colour) && refreshed;
    }
    case kItemBitmapText:
        return DrawBitmapText(int32_t(it.texture), it.colour, it.dest.left, it.dest.top,
                              int32_t(it.params[1] & 0xFF), int32_t((it.params[1] >> 8) & 0xFF),
                              static_cast<const char*>(it.data), int32_t(it.params[0]), 0) != 0;
    case kItemGdiText:
        FlushQuads();
        return DrawGdiTextItem(it.systemFont, it.colour, it.dest, static_cast<const char16_t*>(it.data),
                               int32_t(it.params[0]));
    case kItemRotated: {
        PointF p[4] = {{float(it.dest.left), float(it.dest.top)},
                       {float(it.dest.right), float(it.dest.top)},
                       {float(it.dest.left), float(it.dest.bottom)},
                       {float(it.dest.right), float(it.dest.bottom)}};
        PointF centre{(p[0].x + p[3].x) / 2, (p[0].y + p[3].y) / 2};
        float angle;
        std::memcpy(&angle, &it.params[0], sizeof angle);
        RotateQuad(p, centre, angle);
        return BindAndApply(s, it.stateBlock) && DrawRotatedQuad(p, it.colour);
    }
    case kItemSpriteUV: {
        EngineRect src{int32_t(it.params[0]), int32_t(it.params[1]), int32_t(it.params[2]),
                       int32_t(it.params[3])};
        return BindAndApply(s, it.stateBlock) && DrawQuadSource(it.dest, src, it.colour);
    }
    default:
        return false;
    }
}

} // namespace

bool DrawSpriteLayer(int32_t layer) {
    DrawLayer* l = Layer(layer);
    if (!l || !EnsureLayerSorted(layer))
        return false;
    if (l->items.empty())
        return true;
    FlushQuads();
    EngineState& st = State();
    st.cachedStateBlock = -1;
    bool ok = true;
    const DrawItem* const items = l->items.data();
    const uint32_t* const order = l->order.data();
    const size_t count = l->order.size();
    // The texture coordinates of plain sprites follow the stage-0 texture:
    // read again after anything that may bind another.
    QuadUV uv = WholeImageUV(st.stageRecord[0]);
    // The order jumps about the item list: fetch a few items ahead.
    constexpr size_t kAhead = 8;
    for (size_t k = 0; k < count; ++k) {
        if (k + kAhead < count)
            __builtin_prefetch(&items[order[k + kAhead]]);
        const DrawItem& it = items[order[k]];
        const bool sprite = it.mode == kItemSprite || it.mode == kItemSpriteUV || it.mode == kItemSpriteF;
        Surface* s = sprite ? TextureSurface(it.texture) : nullptr;
        if (s && it.mode == kItemSpriteUV && s->atlasPage &&
            (int32_t(it.params[0]) < 0 || int32_t(it.params[1]) < 0 ||
             int32_t(it.params[2]) > s->texture.width || int32_t(it.params[3]) > s->texture.height))
            s = nullptr; // a source outside the image needs the texture's own addressing
        if (!s || (it.mode != kItemSprite && !s->atlasPage)) {
            ok = DrawItemNow(it) && ok;
            uv = WholeImageUV(st.stageRecord[0]);
            continue;
        }
        // Sprites, most of a map view: the texture (an atlas page for a
        // packed one) and states are set only when they differ from the
        // sprite before, so runs on one page go out as one draw.
        const Surface* bind = SpriteBindSurface(s);
        if (st.stageSurface[0] != bind || st.cachedStateBlock != it.stateBlock) {
            const bool bound = BindAndApply(bind, it.stateBlock);
            uv = WholeImageUV(st.stageRecord[0]);
            if (!bound) {
                ok = false;
                continue;
            }
        }
        if (!s->atlasPage) {
            ok = AddSpriteQuad(it.dest, it.colour, uv) && ok;
        } else if (it.mode == kItemSpriteF) {
            ok = AddSpriteQuadF({it.destF[0], it.destF[1], it.destF[2], it.destF[3]}, it.colour,
                                AtlasWholeUV(*s)) &&
                 ok;
        } else if (it.mode == kItemSpriteUV) {
            const EngineRect source{int32_t(it.params[0]), int32_t(it.params[1]), int32_t(it.params[2]),
                                    int32_t(it.params[3])};
            ok = AddSpriteQuad(it.dest, it.colour, AtlasSourceUV(*s, source)) && ok;
        } else {
            ok = AddSpriteQuad(it.dest, it.colour, AtlasWholeUV(*s)) && ok;
        }
    }
    return FlushQuads() && ok;
}

bool DrawLayerBlits(int32_t layer) {
    DrawLayer* l = Layer(layer);
    if (!l)
        return false;
    EngineState& st = State();
    size_t textAt = 0, blitAt = 0;
    bool ok = true;
    FlushQuads();
    for (uint8_t kind : l->blitOrder) {
        if (kind == kBlitText && textAt < l->blitTexts.size()) {
            const BlitText& t = l->blitTexts[textAt++];
            EngineRect at{t.x, t.y, t.x, t.y};
            uint32_t argb =
                0xFF000000 | ((t.colour & 0xFF) << 16) | (t.colour & 0xFF00) | ((t.colour >> 16) & 0xFF);
            ok = DrawGdiTextItem(t.font, argb, at, t.chars, t.count) && ok;
        } else if (kind == kBlitCopy && blitAt < l->blits.size()) {
            const BlitRecord& b = l->blits[blitAt++];
            bool done = false;
            if (!st.device) {
                done = false;
            } else if (b.kind == 2) {
                done = st.device->Fill(plat::RenderTarget::BackBuffer,
                                       {b.dest.left, b.dest.top, b.dest.right, b.dest.bottom},
                                       FromNativeColour(b.fill, kFormatDisplayVideo));
            } else {
                Surface* s = TextureSurface(b.texture);
                if (s) {
                    BackupRecord backup;
                    if (GetBackupRecord(s, &backup) && backup.systemCopy)
                        s = backup.systemCopy;
                    done = st.device->Blit(plat::RenderTarget::BackBuffer, {b.dest.left, b.dest.top},
                                           s->deviceTexture,
                                           {b.source.left, b.source.top, b.source.right, b.source.bottom},
                                           (b.flags & kBlitUseKey) != 0);
                }
            }
            if (!done) {
                ReportError(EngineResult::kFail, 8612);
                ok = false;
            }
        }
    }
    return ok;
}

bool DrawLayerScene(int32_t layer) {
    DrawLayer* l = Layer(layer);
    if (!l)
        return false;
    const EngineRect& clip = State().clip;
    size_t at[5] = {};
    bool ok = true;
    for (uint8_t kind : l->sceneOrder) {
        switch (kind) {
        case kSceneRect: {
            const SceneRect& r = l->rects[at[0]++];
            if (Visible(r.rect, clip))
                ok = BindAndApply(TextureSurface(r.texture), r.stateBlock) &&
                     DrawSpriteQuad(r.rect, r.colour) && ok;
            break;
        }
        case kSceneText: {
            const SceneText& t = l->texts[at[1]++];
            FlushQuads();
            ok = DrawBitmapText(t.font, t.colour, t.x, t.y, t.size, t.table, t.chars, t.count, t.spacing) !=
                     0 &&
                 ok;
            break;
        }
        case kSceneQuad: {
            const SceneQuad& q = l->quads[at[2]++];
            if (Visible(q.dest, clip)) {
                bool bound = BindAndApply(TextureSurface(q.texture), q.stateBlock);
                ok = bound &&
                     (q.mapping == 0 ? DrawQuadSource(q.dest, q.source, q.colour)
                                     : DrawQuadInset(q.dest, q.source, q.colour)) &&
                     ok;
            }
            break;
        }
        case kSceneLine: {
            const SceneLine& n = l->lines[at[3]++];
            ok = DrawLine(n.colour, n.x1, n.y1, n.x2, n.y2, n.width) && ok;
            break;
        }
        case kSceneRotated: {
            const SceneRotated& r = l->rotated[at[4]++];
            if (Visible(r.rect, clip)) {
                Surface* s = TextureSurface(r.texture);
                Surface* s2 = r.second ? TextureSurface(r.second) : nullptr;
                bool bound = s2 ? BindTwoAndApply(s, s2, r.stateBlock) : BindAndApply(s, r.stateBlock);
                ok = bound && DrawRotatedRect(r.rect, r.angle * 0.017453292f, 0xFFFFFFFF) && ok;
            }
            break;
        }
        default:
            break;
        }
    }
    return FlushQuads() && ok;
}

bool ResetLayer(int32_t layer) {
    DrawLayer* l = Layer(layer);
    if (!l)
        return false;
    l->items.clear();
    l->order.clear();
    l->sorted = 0;
    return true;
}

bool ResetFrameLists() {
    for (DrawLayer& l : detail::gLayers) {
        l.sceneOrder.clear();
        l.rects.clear();
        l.texts.clear();
        l.quads.clear();
        l.lines.clear();
        l.rotated.clear();
        l.blitOrder.clear();
        l.blitTexts.clear();
        l.blits.clear();
    }
    ClearTextStore();
    return true;
}

void FreeLayers() {
    for (DrawLayer& l : detail::gLayers)
        l = DrawLayer{};
    ClearTextStore();
}

uint32_t PickItemAt(int32_t layer, PointI32 p) {
    DrawLayer* l = Layer(layer);
    if (!l)
        return 0;
    for (auto it = l->order.rbegin(); it != l->order.rend(); ++it) {
        const DrawItem& d = l->items[*it];
        if ((d.mode != kItemSprite && d.mode != kItemMesh && d.mode != kItemRotated) || d.param1 == 0)
            continue;
        if (p.x < d.dest.left || p.x >= d.dest.right || p.y < d.dest.top || p.y >= d.dest.bottom)
            continue;
        Surface* s = TextureSurface(d.texture);
        if (!s || !s->hasTextureRecord)
            continue;
        const TextureRecord& r = s->texture;
        EngineRect image{0, 0, r.width, r.height};
        uint32_t colour = 0;
        if (ReadTexturePixel(d.texture, d.dest, p.x, p.y, image, &colour) && (colour >> 24) >= 240)
            return d.param1;
    }
    return 0;
}

} // namespace Engine
