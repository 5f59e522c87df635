#include "view/map_view_frame.h"
#include "view/vehicle_drawing.h"

#include "data/generated/terrain_tables.h"
#include "engine/draw_layers.h"
#include "engine/frame.h"
#include "engine/graphic_sets.h"
#include "engine/quad_draw.h"
#include "engine/screen.h"
#include "engine/surfaces.h"
#include "engine/tiled_image.h"
#include "engine/view_hooks.h"
#include "engine/viewport.h"
#include "platform/clock.h"
#include "view/gimmicks.h"
#include "view/interface_state.h"
#include "view/map_view_state.h"
#include "view/screen_effects.h"
#include "view/sound_events.h"
#include "view/sound_system.h"
#include "view/spray.h"
#include "view/text_queue.h"
#include "world/game_clock.h"
#include "world/world_map.h"

#include <algorithm>
#include <climits>
#include <cmath>

namespace {

constexpr int32_t kBlock = 4;
constexpr int32_t kTerrainKind = 1;
constexpr int32_t kOverlayKind = 4;
constexpr int32_t kOverlayBaseSet = 200;
constexpr int32_t kWaterBaseSet = 300;
constexpr uint32_t kOverlayColour = 0x40000000u;
constexpr uint32_t kDebugBlockColour = 0x8FFFFFFFu;
constexpr int32_t kMapLayers = 6;

bool Meets(const EngineRect& a, const EngineRect& b) {
    return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

const TerrainRow* TerrainOfCell(const WorldMap& map, int32_t x, int32_t y) {
    const WorldCell* cell = map.FindCell(uint32_t(x), uint32_t(y));
    return cell ? TerrainTable::Find(int32_t(cell->TerrainIndex())) : nullptr;
}

int32_t TerrainRowOfCell(const WorldMap& map, int32_t x, int32_t y) {
    const WorldCell* cell = map.FindCell(uint32_t(x), uint32_t(y));
    return cell ? int32_t(cell->TerrainIndex()) : 0;
}

TextureHandle FirstTexture(const TiledImage* image) {
    return image && !image->textures.empty() ? TextureHandle(image->textures[0]) : TextureHandle(0);
}

const TiledImage* Fetch(int32_t kind, int32_t number, int32_t frame) {
    return SpriteFetch(kind, number, frame);
}

// Draws the block's terrain.
void DrawTerrainBlock(MapViewFrame& f, const BlockRecord& b) {
    const TextureHandle plain = FirstTexture(b.terrain);
    if (!MapViewOf().detailedTerrain) {
        if (plain)
            Engine::DrawQuadSimple(plain, b.rect, 1);
        return;
    }
    const WorldMap& map = GetWorldMap();
    const int32_t x2 = b.x < f.mapWidth - kBlock ? b.x + kBlock : b.x;
    const int32_t y2 = b.y < f.mapHeight - kBlock ? b.y + kBlock : b.y;
    const int32_t cx[4] = {b.x, x2, b.x, x2}, cy[4] = {b.y, b.y, y2, y2};
    const std::array<uint32_t, 4> corners = TerrainCornerWords(b.x, b.y);
    TextureHandle textures[4] = {};
    uint32_t colours[4] = {};
    for (int k = 0; k < 4; ++k) {
        textures[k] = FirstTexture(Fetch(kTerrainKind, TerrainRowOfCell(map, cx[k], cy[k]), 0));
        const WorldCell* cell = map.FindCell(uint32_t(cx[k]), uint32_t(cy[k]));
        colours[k] = GetWaterColour(cell ? map.GetWaterColourIndex(uint32_t(cx[k]), uint32_t(cy[k])) : 0);
    }
    const auto& r = TerrainVariations();
    const uint32_t word = r[size_t(((b.y / 4 + 23) * (b.x / 4 + 17)) & 0x7FF)];
    TextureHandle masks[12] = {};
    masks[0] = FirstTexture(Fetch(kOverlayKind, 0, int32_t(word & 1)));
    for (int32_t n = 1; n <= 3; ++n)
        masks[n] = FirstTexture(Fetch(kOverlayKind, n, 0));
    masks[4] = FirstTexture(Fetch(kOverlayKind, 100, int32_t(word % 3)));
    for (int32_t n = 101; n <= 107; ++n)
        masks[n - 97] = FirstTexture(Fetch(kOverlayKind, n, 0));
    bool complete = true;
    for (TextureHandle t : textures)
        complete = complete && t != 0;
    for (TextureHandle t : masks)
        complete = complete && t != 0;
    // Without its images a block falls back to its plain terrain.
    if (!complete || !Engine::DrawTerrainTile(corners.data(), textures, masks, colours, b.rect, 1)) {
        if (plain)
            Engine::DrawQuadSimple(plain, b.rect, 1);
    }
}

// Only while water is animated.
void BuildWaterList(MapViewFrame& f) {
    if (MapViewOf().waterDetail == 0)
        return;
    f.waterList.clear();
    for (const BlockRecord& b : f.waterBlocks)
        if (b.waterAnimation < 8)
            f.waterList.push_back(&b);
    std::stable_sort(f.waterList.begin(), f.waterList.end(), [](const BlockRecord* a, const BlockRecord* b) {
        return a->waterAnimation < b->waterAnimation;
    });
}

uint64_t BlockKey(const BlockRecord& b) {
    return WalkOrderKey(b.x, b.y);
}

// Both block lists in walk order.
template <typename Visit>
void ForEachBlockInWalkOrder(const MapViewFrame& f, Visit&& visit) {
    size_t i = 0, j = 0;
    while (i < f.landBlocks.size() || j < f.waterBlocks.size()) {
        const bool land = j == f.waterBlocks.size() ||
                          (i < f.landBlocks.size() && BlockKey(f.landBlocks[i]) < BlockKey(f.waterBlocks[j]));
        visit(land ? f.landBlocks[i++] : f.waterBlocks[j++]);
    }
}

BlockRecord MakeBlock(const WorldMap& map, int32_t x, int32_t y) {
    BlockRecord b;
    b.rect = BlockRect(x, y);
    b.x = x;
    b.y = y;
    b.terrainRow = TerrainRowOfCell(map, x, y);
    b.terrain = Fetch(kTerrainKind, b.terrainRow, 0);
    const TerrainRow* t = TerrainTable::Find(b.terrainRow);
    b.waterAnimation = t ? t->WaterAnimationType : 0;
    return b;
}

bool IsWaterBlock(const BlockRecord& b) {
    const TerrainRow* t = TerrainTable::Find(b.terrainRow);
    return t && t->IsWater;
}

size_t BlockIndex(const MapViewFrame& f, int32_t x, int32_t y) {
    return size_t(y / kBlock) * size_t(f.blocksPerRow) + size_t(x / kBlock);
}

// Terrain of the blocks under the dirty rectangles, each rectangle drawn
// clipped to itself and the second without the part the first covers, so
// that the picture around them stays as kept and the blocks overlapping a
// strip's edge are blended once, as in a whole redraw. Every block when
// there is no dirty rectangle.
void DrawDirtyTerrain(MapViewFrame& f, const EngineRect& view) {
    if (f.dirtyCount <= 0) {
        ForEachBlockInWalkOrder(f, [&f](const BlockRecord& b) {
            DrawTerrainBlock(f, b);
            ++f.terrainBlocksDrawn;
        });
        return;
    }
    std::array<EngineRect, 2> clips = f.dirty;
    if (f.dirtyCount == 2) {
        const EngineRect& first = clips[0];
        EngineRect& second = clips[1];
        if (first.left <= second.left)
            second.left = std::max(second.left, first.right);
        else
            second.right = std::min(second.right, first.left);
    }
    for (int32_t i = 0; i < f.dirtyCount; ++i) {
        const EngineRect clip = clips[size_t(i)];
        if (clip.left >= clip.right || clip.top >= clip.bottom)
            continue;
        Engine::SetClipRect(&clip);
        ForEachBlockInWalkOrder(f, [&](const BlockRecord& b) {
            if (!Meets(b.rect, clip))
                return;
            DrawTerrainBlock(f, b);
            // A block under both strips counts once.
            if (i == 0 || !Meets(b.rect, clips[0]))
                ++f.terrainBlocksDrawn;
        });
    }
    Engine::SetClipRect(&view);
}

void KeepListedView(MapViewFrame& f, bool kept) {
    f.listsKept = kept;
    f.listedOrigin = Viewport::GetOrigin();
    f.listedView = Viewport::GetRect();
    Viewport::GetTileSize(f.listedTileWidth, f.listedTileHeight);
    f.listedMapWidth = f.mapWidth;
    f.listedMapHeight = f.mapHeight;
    f.listedTrees = MapViewOf().showTrees;
}

void SetSeasons(MapViewFrame& f) {
    const GameClock* clock = GetGameClock();
    const uint32_t month = clock ? clock->GetMonth() : 0;
    f.season = SeasonOfMonth(month);
    f.nextSeason = SeasonOfMonth(month >= 11 ? 0 : month + 1);
}

// Walks the blocks: terrain where the dirty rectangles need it, and the
// block lists.
void RedrawDirtyRegion(MapViewFrame& f) {
    SetSeasons(f);
    f.landBlocks.clear();
    f.waterBlocks.clear();
    f.waterList.clear();
    f.lists.Clear();
    f.blocksPerRow = std::max(f.mapWidth / kBlock, 0);
    f.presentBlocks.assign(size_t(f.blocksPerRow) * size_t(std::max(f.mapHeight / kBlock, 0)), 0);
    const WorldMap& map = GetWorldMap();
    for (auto [x, y] : WalkBlocks(f.mapWidth, f.mapHeight)) {
        const BlockRecord b = MakeBlock(map, x, y);
        (IsWaterBlock(b) ? f.waterBlocks : f.landBlocks).push_back(b);
        f.presentBlocks[BlockIndex(f, x, y)] = 1;
        VisitBlockCells(f, f.lists, x, y);
        ++f.blocksVisited;
    }
    DrawDirtyTerrain(f, Viewport::GetRect());
    SortDrawLists(f.lists, f.smallTiles != 0);
    const bool single = Viewport::GetCurrent() == 0 && Viewport::GetActiveCount() == 1;
    if (Viewport::GetCurrent() == 0)
        Engine::SaveBackBuffer();
    KeepListedView(f, single);
    BuildWaterList(f);
}

// The lists of the last walk moved by a scroll of (dx, dy): the blocks that
// left the view and their records are dropped, only the blocks the scroll
// brings in are visited, and the terrain of the dirty strips is drawn. The
// lists come out as a whole walk of the new view would give them. False
// (nothing changed) when the lists were not walked for this view before
// the scroll.
bool ScrollDrawLists(MapViewFrame& f, int32_t dx, int32_t dy) {
    const EngineRect view = Viewport::GetRect();
    const ScreenPoint origin = Viewport::GetOrigin();
    int32_t tw = 0, th = 0;
    Viewport::GetTileSize(tw, th);
    const int32_t season = f.season, nextSeason = f.nextSeason;
    SetSeasons(f);
    if (!f.listsKept || origin.x != f.listedOrigin.x + dx || origin.y != f.listedOrigin.y + dy ||
        !(view == f.listedView) || tw != f.listedTileWidth || th != f.listedTileHeight ||
        f.mapWidth != f.listedMapWidth || f.mapHeight != f.listedMapHeight ||
        f.listedTrees != MapViewOf().showTrees || season != f.season || nextSeason != f.nextSeason)
        return false;
    ShiftDrawLists(f.lists, dx, dy);
    // The view before the scroll, in the new picture's coordinates.
    const EngineRect before{view.left + dx, view.top + dy, view.right + dx, view.bottom + dy};
    for (std::vector<BlockRecord>* blocks : {&f.landBlocks, &f.waterBlocks}) {
        size_t out = 0;
        for (BlockRecord& b : *blocks) {
            b.rect = {b.rect.left + dx, b.rect.top + dy, b.rect.right + dx, b.rect.bottom + dy};
            if (!Meets(b.rect, view)) {
                f.presentBlocks[BlockIndex(f, b.x, b.y)] = 0;
                continue;
            }
            (*blocks)[out++] = b;
        }
        blocks->resize(out);
    }
    // The blocks that met no part of the view before.
    std::vector<std::pair<int32_t, int32_t>> fresh;
    std::array<EngineRect, 2> strips{};
    const int32_t count = DirtyStrips(view, dx, dy, strips);
    for (int32_t i = 0; i < count; ++i)
        for (auto [x, y] : WalkBlocksIn(f.mapWidth, f.mapHeight, strips[size_t(i)])) {
            const EngineRect r = BlockRect(x, y);
            uint8_t& present = f.presentBlocks[BlockIndex(f, x, y)];
            if (present || !Meets(r, view) || Meets(r, before))
                continue;
            present = 1;
            fresh.emplace_back(x, y);
        }
    std::sort(fresh.begin(), fresh.end(), [](auto a, auto b) {
        return WalkOrderKey(a.first, a.second) < WalkOrderKey(b.first, b.second);
    });
    const WorldMap& map = GetWorldMap();
    const size_t landKept = f.landBlocks.size(), waterKept = f.waterBlocks.size();
    for (auto [x, y] : fresh) {
        const BlockRecord b = MakeBlock(map, x, y);
        (IsWaterBlock(b) ? f.waterBlocks : f.landBlocks).push_back(b);
        VisitBlockCells(f, f.lists, x, y);
        ++f.blocksVisited;
    }
    const auto byKey = [](const BlockRecord& a, const BlockRecord& b) { return BlockKey(a) < BlockKey(b); };
    std::inplace_merge(f.landBlocks.begin(), f.landBlocks.begin() + std::ptrdiff_t(landKept),
                       f.landBlocks.end(), byKey);
    std::inplace_merge(f.waterBlocks.begin(), f.waterBlocks.begin() + std::ptrdiff_t(waterKept),
                       f.waterBlocks.end(), byKey);
    PruneDrawLists(f.lists, f.presentBlocks, f.blocksPerRow, f.smallTiles != 0);
    DrawDirtyTerrain(f, view);
    Engine::SaveBackBuffer();
    KeepListedView(f, true);
    f.waterList.clear();
    BuildWaterList(f);
    return true;
}

void DrawWaterPass(MapViewFrame& f) {
    MapViewState& v = MapViewOf();
    if (f.graphicsVariant == 2 || InterfaceStateOf().WaterSetting() == 0)
        return;
    if (int32_t(v.waterDetail) != f.lastWaterDetail) {
        f.lastWaterDetail = v.waterDetail;
        BuildWaterList(f);
    }
    if (v.waterDetail == 0)
        return;
    const uint64_t now = Engine::ReadTimestamp();
    struct Phase {
        float u1 = 0, v1 = 0, u2 = 0, v2 = 0, a1 = 0, a2 = 0;
    };
    constexpr double kTurn = 6.2831855;
    std::array<Phase, kWaterAnimationCount> phases{};
    std::array<WaterAnimation, kWaterAnimationCount> records{};
    for (size_t i = 0; i < kWaterAnimationCount; ++i) {
        const WaterAnimation w = v.water[i].Sanitised();
        records[i] = w;
        auto& timers = f.waterTimers[i];
        const double p1 = 1e6 * double(w.periodA), p2 = 1e6 * double(w.periodB);
        double e[4];
        for (size_t t = 0; t < 4; ++t) {
            e[t] = double(Engine::ElapsedTime(now, timers[t]));
            if (e[t] < 0) {
                timers[t] = now;
                e[t] = 0;
            }
        }
        if (e[0] >= p1) {
            timers[0] = now;
            e[0] = 0;
        }
        if (e[1] >= p2) {
            timers[1] = now;
            e[1] = 0;
        }
        double a1 = e[2] * double(w.turnsA) * kTurn / p1, a2 = e[3] * double(w.turnsB) * kTurn / p1;
        if (a1 >= kTurn || !std::isfinite(a1)) {
            timers[2] = now;
            a1 = 0;
        }
        if (a2 >= kTurn || !std::isfinite(a2)) {
            timers[3] = now;
            a2 = 0;
        }
        const float f1 = float(e[0] / p1), f2 = float(e[1] / p2);
        phases[i] = {f1 * w.shiftAU, f1 * w.shiftAV, f2 * w.shiftBU, f2 * w.shiftBV, float(a1), float(a2)};
    }
    const bool twoTextures = v.waterDetail >= 2 && f.graphicsVariant == 0;
    const WorldMap& map = GetWorldMap();
    // The record of a vertex: its own cell's when that is animated water.
    const auto recordAt = [&](int32_t x, int32_t y, size_t fallback) {
        const TerrainRow* t = TerrainOfCell(map, std::min(x, f.mapWidth - 1), std::min(y, f.mapHeight - 1));
        const int32_t k = t && t->IsWater ? t->WaterAnimationType : 0;
        return k >= 1 && k <= int32_t(kWaterAnimationCount) ? size_t(k - 1) : fallback;
    };
    int32_t current = -1;
    TextureHandle first = 0, second = 0;
    uint32_t colour = 0xFFFFFFFFu;
    for (const BlockRecord* b : f.waterList) {
        const int32_t k = b->waterAnimation;
        if (k <= 0 || k > int32_t(kWaterAnimationCount))
            continue;
        if (k - 1 != current) {
            current = k - 1;
            const WaterAnimation& w = v.water[size_t(current)];
            colour = w.colour;
            if (twoTextures) {
                first = FirstTexture(Fetch(kOverlayKind, kWaterBaseSet + int32_t(w.textureA & 0xFFFF), 0));
                second = FirstTexture(Fetch(kOverlayKind, kWaterBaseSet + int32_t(w.textureB & 0xFFFF), 1));
            } else {
                first = FirstTexture(Fetch(kOverlayKind, kWaterBaseSet + int32_t(w.textureC & 0xFFFF), 2));
                second = 0;
            }
        }
        if (!first)
            continue;
        const int32_t cx[4] = {b->x, b->x + kBlock, b->x, b->x + kBlock};
        const int32_t cy[4] = {b->y, b->y, b->y + kBlock, b->y + kBlock};
        PointF corners[4];
        for (int c = 0; c < 4; ++c) {
            const size_t r = recordAt(cx[c], cy[c], size_t(current));
            const ScreenPoint p = MapToScreen(cx[c], cy[c]);
            const PointF d = WaterVertexOffset(records[r], float(cx[c]), float(cy[c]), phases[r].a1,
                                               phases[r].a2, f.zoomScale);
            corners[c] = {float(p.x) + d.x, float(p.y) + d.y};
        }
        const Phase& ph = phases[size_t(current)];
        // A quarter of the texture per tile: a block spans it once.
        for (int layer = 0; layer < (second ? 2 : 1); ++layer) {
            const float u = layer == 0 ? ph.u1 : ph.u2, w = layer == 0 ? ph.v1 : ph.v2;
            const PointF uv[4] = {{u, w}, {u + 1.0f, w}, {u, w + 1.0f}, {u + 1.0f, w + 1.0f}};
            const uint32_t layerColour =
                layer == 0 ? colour : (colour & 0x00FFFFFFu) | ((colour >> 25) << 24);
            const Surface* surface = Engine::TextureSurface(layer == 0 ? first : second);
            if (surface && Engine::BindAndApply(surface, Engine::SpriteStateBlock(1, 1, layerColour)))
                Engine::DrawQuadCorners(corners, uv, layerColour);
        }
        ++f.waterBlocksDrawn;
    }
    Engine::FlushQuads();
}

// The lists again from the remembered blocks, without terrain.
void RebuildDrawLists(MapViewFrame& f) {
    f.lists.Clear();
    ForEachBlockInWalkOrder(f, [&f](const BlockRecord& b) { VisitBlockCells(f, f.lists, b.x, b.y); });
    SortDrawLists(f.lists, f.smallTiles != 0);
    f.listedTrees = MapViewOf().showTrees;
}

void DrawTileMarks(MapViewFrame& f) {
    DrawRouteQuads(f.lists);
    std::vector<const TileMark*> order;
    order.reserve(f.tileMarks.size());
    for (const TileMark& m : f.tileMarks)
        order.push_back(&m);
    std::stable_sort(order.begin(), order.end(),
                     [](const TileMark* a, const TileMark* b) { return a->texture < b->texture; });
    for (const TileMark* m : order)
        Engine::QueueSpriteTinted(1, m->texture, m->colour, m->rect, m->footprint, 0, 1, 1, 0, 0);
}

void DrawMapOverlay(MapViewFrame& f) {
    const MapViewState& v = MapViewOf();
    if (!v.viewToggle)
        return;
    const TextureHandle texture = FirstTexture(Fetch(
        kOverlayKind, kOverlayBaseSet + int32_t(v.overlaySet & 0xFFFF), int32_t(v.overlayFrame & 0xFF)));
    if (!texture)
        return;
    const Surface* surface = Engine::TextureSurface(texture);
    if (!surface)
        return;
    uint8_t* vertexBuffers = Engine::UseVertexBufferFlag();
    const uint8_t keep = vertexBuffers ? *vertexBuffers : 0;
    if (vertexBuffers)
        *vertexBuffers = 0;
    for (const OverlaySquare& s : OverlaySquares(f.mapWidth, f.mapHeight)) {
        const ScreenPoint top = MapToScreen(s.x, s.y);
        const ScreenPoint right = MapToScreen(s.x + s.size, s.y);
        const ScreenPoint left = MapToScreen(s.x, s.y + s.size);
        const ScreenPoint bottom = MapToScreen(s.x + s.size, s.y + s.size);
        const EngineRect box{left.x, top.y, right.x, bottom.y};
        if (!Engine::IsRectVisible(box))
            continue;
        if (!Engine::BindAndApply(surface, Engine::SpriteStateBlock(1, 1, kOverlayColour)))
            break;
        const PointF corners[4] = {{float(top.x), float(top.y)},
                                   {float(right.x), float(right.y)},
                                   {float(left.x), float(left.y)},
                                   {float(bottom.x), float(bottom.y)}};
        const PointF uv[4] = {{s.u0, s.v0}, {s.u1, s.v0}, {s.u0, s.v1}, {s.u1, s.v1}};
        Engine::DrawQuadCorners(corners, uv, kOverlayColour);
        ++f.overlaySquaresDrawn;
    }
    Engine::FlushQuads();
    if (vertexBuffers)
        *vertexBuffers = keep;
}

void DrawDebugBlocks(MapViewFrame& f) {
    Viewport::Select(0);
    for (const std::vector<BlockRecord>* list : {&f.landBlocks, &f.waterBlocks})
        for (const BlockRecord& b : *list) {
            const ScreenPoint p[4] = {MapToScreen(b.x, b.y), MapToScreen(b.x + kBlock, b.y),
                                      MapToScreen(b.x + kBlock, b.y + kBlock),
                                      MapToScreen(b.x, b.y + kBlock)};
            for (int i = 0; i < 4; ++i)
                Engine::QueueLine(kMapLayers, kDebugBlockColour, p[i].x, p[i].y, p[(i + 1) % 4].x,
                                  p[(i + 1) % 4].y, 1);
        }
}

void ClearRequests(MapViewFrame& f) {
    MapViewState& v = MapViewOf();
    f.scrollPending = 0;
    f.scrollDx = f.scrollDy = 0;
    v.fullRedraw = v.partialRedraw = v.objectRedraw = 0;
}

// The per-frame passes over the kept picture.
void ResetFrameLists(MapViewFrame& f) {
    for (int32_t layer = 0; layer < kMapLayers; ++layer)
        Engine::ResetLayer(layer);
    DrawTileMarks(f);
    f.tileMarks.clear();
    DrawMapOverlay(f);
    DrawTrees(f, f.lists);
    DrawBuildings(f.lists);
    PlayTreeAmbientSound(f.lists, plat::Clock::Millis(), f.lastAmbientCheck,
                         IsSoundEnabled() && IsSoundAvailable());
    DrawSpray(plat::Clock::Millis());
    const GameClock* clock = GetGameClock();
    DrawMovingObjects(clock ? clock->GetCurrentTime() : 0);
    DrawScreenEffects(plat::Clock::Millis());
    DrawGimmicks(clock ? clock->GetCurrentTime() : 0);
    // The map's sprites in depth order over the picture.
    for (int32_t layer = 0; layer < kMapLayers; ++layer) {
        Engine::EnsureLayerSorted(layer);
        Engine::DrawSpriteLayer(layer);
    }
    Engine::FlushQuads();
}

} // namespace

PointF WaterVertexOffset(const WaterAnimation& w, float px, float py, float a1, float a2, float zoomScale) {
    const auto& sine = SineTable();
    const auto wave = [&sine](double phase) {
        const double k = std::nearbyint(phase * 40.743664);
        if (!std::isfinite(k) || std::fabs(k) > 9.0e15)
            return 0.0f;
        return sine[size_t(int64_t(k) & 255)];
    };
    const float dx =
        wave(double(px) * w.waveAStepX + double(py) * w.waveAStepY - a1) * w.amplitudeX * zoomScale;
    const float dy =
        wave(double(px) * w.waveBStepX + double(py) * w.waveBStepY - a2) * w.amplitudeY * zoomScale;
    return {std::isfinite(dx) ? dx : 0.0f, std::isfinite(dy) ? dy : 0.0f};
}

MapViewFrame& MapViewFrameOf(World& world) {
    return world.Attached<MapViewFrame>();
}

void RequestFullRedraw() {
    MapViewOf().RequestFullRedraw();
}
void RequestPartialRedraw() {
    MapViewOf().RequestPartialRedraw();
}
void RequestObjectRedraw() {
    MapViewOf().RequestObjectRedraw();
}

void RequestScroll(int32_t dx, int32_t dy) {
    MapViewFrame& f = MapViewFrameOf();
    if (Viewport::GetCurrent() != 0 || (dx == 0 && dy == 0))
        return;
    // The view has moved by every request of the frame: the kept picture
    // moves by their sum, else it would stand off by the later ones.
    if (f.scrollPending) {
        f.scrollDx = int32_t(std::clamp<int64_t>(int64_t(f.scrollDx) + dx, INT32_MIN / 2, INT32_MAX / 2));
        f.scrollDy = int32_t(std::clamp<int64_t>(int64_t(f.scrollDy) + dy, INT32_MIN / 2, INT32_MAX / 2));
        return;
    }
    f.scrollPending = 1;
    f.scrollDx = dx;
    f.scrollDy = dy;
}

void QueueTileMark(const TileMark& mark) {
    MapViewFrameOf().tileMarks.push_back(mark);
}

int32_t DirtyStrips(const EngineRect& view, int32_t dx, int32_t dy, std::array<EngineRect, 2>& out) {
    int32_t count = 0;
    if (dx > 0)
        out[size_t(count++)] = {view.left, view.top, std::min(view.left + dx, view.right), view.bottom};
    else if (dx < 0)
        out[size_t(count++)] = {std::max(view.right + dx, view.left), view.top, view.right, view.bottom};
    if (dy > 0)
        out[size_t(count++)] = {view.left, view.top, view.right, std::min(view.top + dy, view.bottom)};
    else if (dy < 0)
        out[size_t(count++)] = {view.left, std::max(view.bottom + dy, view.top), view.right, view.bottom};
    return count;
}

uint32_t SeasonBlendAlpha(uint32_t day, uint32_t days, int32_t season, int32_t nextSeason) {
    if (season == nextSeason || days == 0)
        return 0;
    return std::min<uint32_t>(uint32_t(uint64_t(day) * 255 / days), 255);
}

int32_t SeasonOfMonth(uint32_t month) {
    const TreeColorRow* row = TreeColorTable::Find(int32_t(month));
    return row ? row->Season : 0;
}

EngineRect BlockRect(int32_t x, int32_t y) {
    int32_t tw = 0, th = 0;
    Viewport::GetTileSize(tw, th);
    const ScreenPoint top = MapToScreen(x, y);
    return {top.x - 2 * tw, top.y, top.x + 2 * tw, top.y + kBlock * th};
}

std::vector<std::pair<int32_t, int32_t>> WalkBlocks(int32_t mapWidth, int32_t mapHeight) {
    return WalkBlocksIn(mapWidth, mapHeight, Viewport::GetRect());
}

std::vector<std::pair<int32_t, int32_t>> WalkBlocksIn(int32_t mapWidth, int32_t mapHeight,
                                                      const EngineRect& view) {
    std::vector<std::pair<int32_t, int32_t>> out;
    if (mapWidth < kBlock || mapHeight < kBlock || view.left >= view.right || view.top >= view.bottom)
        return out;
    int32_t sMin = INT32_MAX, sMax = INT32_MIN, dMin = INT32_MAX, dMax = INT32_MIN;
    for (ScreenPoint p : {ScreenPoint{view.left, view.top}, ScreenPoint{view.right, view.top},
                          ScreenPoint{view.left, view.bottom}, ScreenPoint{view.right, view.bottom}}) {
        const MapCell c = Viewport::ScreenToCell(p);
        sMin = std::min(sMin, c.x + c.y);
        sMax = std::max(sMax, c.x + c.y);
        dMin = std::min(dMin, c.x - c.y);
        dMax = std::max(dMax, c.x - c.y);
    }
    // One block more on every side, then whole blocks.
    const auto down = [](int32_t v) {
        return v >= 0 ? v / kBlock * kBlock : -((-v + kBlock - 1) / kBlock) * kBlock;
    };
    sMin = std::max(down(sMin) - 2 * kBlock, 0);
    sMax = std::min(down(sMax) + 2 * kBlock, mapWidth + mapHeight - 2 * kBlock);
    dMin = down(dMin) - 2 * kBlock;
    dMax = down(dMax) + 2 * kBlock;
    for (int32_t s = sMin; s <= sMax; s += kBlock) {
        // x - y = 2x - s lies in dMin..dMax.
        int32_t xLo = std::max({down((s + dMin) / 2), 0, s - (mapHeight - kBlock)});
        int32_t xHi = std::min({(s + dMax) / 2, mapWidth - kBlock, s});
        xLo = (xLo + kBlock - 1) / kBlock * kBlock;
        for (int32_t x = xLo; x <= xHi; x += kBlock) {
            const EngineRect r = BlockRect(x, s - x);
            if (Meets(r, view))
                out.emplace_back(x, s - x);
        }
    }
    return out;
}

std::array<uint32_t, 4> TerrainCornerWords(int32_t x, int32_t y) {
    const WorldMap& map = GetWorldMap();
    const int32_t w = int32_t(map.GetWidth()), h = int32_t(map.GetHeight());
    const int32_t x2 = x < w - kBlock ? x + kBlock : x;
    const int32_t y2 = y < h - kBlock ? y + kBlock : y;
    const int32_t cx[4] = {x, x2, x, x2}, cy[4] = {y, y, y2, y2};
    const auto& r = TerrainVariations();
    const uint32_t ux = uint32_t(x), uy = uint32_t(y);
    const uint32_t variation[4] = {r[((ux + 31) * (uy + 13)) & 0x7FF], r[((uy + 28) * (ux + 11)) & 0x7FF],
                                   r[((ux + 42) * (uy + 18)) & 0x7FF], r[((uy + 51) * (ux + 10)) & 0x7FF]};
    std::array<uint32_t, 4> words{};
    for (uint32_t k = 0; k < 4; ++k) {
        const TerrainRow* t = TerrainOfCell(map, cx[k], cy[k]);
        const int32_t type = t ? t->TerrainType : 0;
        const uint32_t mixture = t && t->TerrainMixtureTyp != 0 ? 1u : 0u;
        const uint32_t special = type >= 12 && type <= 15 ? 1u : 0u;
        words[k] = (variation[k] & 0xF0000000u) | (uint32_t(type + 1) & 0x7F) << 21 |
                   ((mixture << (k + 8)) | (special << k)) << 1 | (t && t->IsWater ? 1u : 0u);
    }
    return words;
}

std::vector<OverlaySquare> OverlaySquares(int32_t mapWidth, int32_t mapHeight) {
    std::vector<OverlaySquare> out;
    if (mapWidth <= 0 || mapHeight <= 0)
        return out;
    const int32_t n = std::min(256, mapWidth);
    for (int32_t y = 0; y + n <= mapHeight; y += n)
        for (int32_t x = 0; x < mapWidth; x += n)
            out.push_back({x, y, n});
    const int32_t rest = mapHeight % n;
    if (n == 256 && rest != 0) {
        // The rows below the last whole square continue the texture.
        const float span = float(rest) / 256.0f;
        for (int32_t x = 0; x < mapWidth; x += rest) {
            OverlaySquare s{x, mapHeight - rest, rest};
            s.u0 = float(x % 256) / 256.0f - 0.125f;
            s.v0 = float((mapHeight - rest) % 256) / 256.0f - 0.0625f;
            s.u1 = s.u0 + span;
            s.v1 = s.v0 + span;
            out.push_back(s);
        }
    }
    return out;
}

void RenderViewport(int32_t n) {
    MapViewFrame& f = MapViewFrameOf();
    MapViewState& v = MapViewOf();
    Viewport::Select(n);
    Viewport::GetTileSize(f.tileWidth, f.tileHeight);
    f.smallTiles = f.tileHeight < 10 ? 1 : 0;
    f.graphicsVariant = Viewport::GetZoomGraphicsVariant();
    f.zoomScale = Viewport::GetZoomScale();
    f.dirtyCount = 0;
    const EngineRect view = Viewport::GetRect();
    if (Viewport::GetActiveCount() == 1) {
        if (v.fullRedraw) {
            f.dirtyCount = 1;
            f.dirty[0] = view;
            RedrawDirtyRegion(f);
        } else if (f.scrollPending && (f.scrollDx != 0 || f.scrollDy != 0)) {
            f.dirtyCount = DirtyStrips(view, f.scrollDx, f.scrollDy, f.dirty);
            // A rebuild asked for as well needs the whole walk.
            if (v.partialRedraw || v.objectRedraw || !ScrollDrawLists(f, f.scrollDx, f.scrollDy))
                RedrawDirtyRegion(f);
        } else if (v.partialRedraw || v.objectRedraw) {
            RebuildDrawLists(f);
        }
        DrawWaterPass(f);
        ClearRequests(f);
        ResetFrameLists(f);
        return;
    }
    if (n == 0) {
        if (v.fullRedraw) {
            f.dirtyCount = 1;
            f.dirty[0] = view;
        } else if (f.scrollPending && (f.scrollDx != 0 || f.scrollDy != 0)) {
            f.dirtyCount = DirtyStrips(view, f.scrollDx, f.scrollDy, f.dirty);
        }
    } else {
        Engine::FillRect(0xFF000000u, view);
    }
    // With several viewports, one without dirty rectangles is drawn whole.
    RedrawDirtyRegion(f);
    DrawWaterPass(f);
    ClearRequests(f);
    ResetFrameLists(f);
}

void UpdateCursorCell() {
    int32_t mx = 0, my = 0;
    if (const auto& mouse = GetViewHooks().cursorPosition)
        mouse(mx, my);
    const WorldMap& map = GetWorldMap();
    const MapCell cell = Viewport::ScreenToCell({mx, my});
    const int32_t w = int32_t(map.GetWidth()), h = int32_t(map.GetHeight());
    if (w > 0 && h > 0)
        Viewport::SetCursorCell(std::clamp(cell.x, 0, w - 1), std::clamp(cell.y, 0, h - 1));
    MapViewState& v = MapViewOf();
    if (v.cursorMarkerShown) {
        // The first frame after SkipCursorInfoOnce shows no marker.
        if (v.cursorInfoArmed) {
            const MapCell c = Viewport::GetCursorCell();
            QueueCursorMarker(c.x, c.y);
        } else {
            v.cursorInfoArmed = 1;
        }
    }
    DrawTextQueue();
}

void SkipCursorInfoOnce() {
    MapViewOf().cursorInfoArmed = 0;
}

void RenderMapFrame() {
    MapViewFrame& f = MapViewFrameOf();
    MapViewState& v = MapViewOf();
    const WorldMap& map = GetWorldMap();
    f.mapWidth = int32_t(map.GetWidth());
    f.mapHeight = int32_t(map.GetHeight());
    f.terrainBlocksDrawn = f.waterBlocksDrawn = f.overlaySquaresDrawn = f.blocksVisited = 0;
    if (!v.fullRedraw && Viewport::GetCurrent() == 0)
        Engine::ScrollScreen(f.scrollPending ? f.scrollDx : 0, f.scrollPending ? f.scrollDy : 0);
    if (GameClock* clock = GetGameClock()) {
        const GameDate date = clock->GetDate();
        if (date.day != f.lastDay) {
            f.lastDay = date.day;
            const uint32_t month = std::min<uint32_t>(date.month, 11);
            const uint32_t next = month == 11 ? 0 : month + 1;
            const uint32_t alpha = SeasonBlendAlpha(date.day, clock->GetDaysInMonth(), SeasonOfMonth(month),
                                                    SeasonOfMonth(next));
            v.RequestFullRedraw();
            v.RequestObjectRedraw();
            f.blendColour = InterfaceStateOf().SeasonSetting() == 1 ? alpha << 24 : 0;
        }
    }
    Engine::BeginFrame();
    const int32_t previous = Viewport::GetCurrent();
    for (int32_t n = 0; n < Viewport::MaxCount(); ++n) {
        if (!Viewport::IsActive(n))
            continue;
        GetWorldMap().IncrementRevision();
        f.drawStamp = GetWorldMap().GetRevision();
        RenderViewport(n);
    }
    if (f.debugOverlay)
        DrawDebugBlocks(f);
    UpdateCursorCell();
    Viewport::Select(previous);
}
