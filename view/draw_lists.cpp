#include "view/draw_lists.h"

#include "data/generated/economy_tables.h"
#include "data/generated/route_tables.h"
#include "engine/draw_layers.h"
#include "engine/graphic_sets.h"
#include "engine/quad_draw.h"
#include "engine/tiled_image.h"
#include "engine/viewport.h"
#include "view/interface_state.h"
#include "view/map_view_frame.h"
#include "view/map_view_state.h"
#include "view/object_drawing.h"
#include "view/random_table.h"
#include "view/sound_events.h"
#include "world/cell_rows.h"
#include "world/headquarter.h"
#include "world/living_building.h"
#include "world/mountain.h"
#include "world/object_manager.h"
#include "world/small_static_objects.h"
#include "world/special_building.h"
#include "world/storage_hall.h"
#include "world/world_cell.h"
#include "world/world_map.h"

#include <algorithm>

namespace {

constexpr int32_t kTreeKind = 2;
constexpr int32_t kRouteKind = 8;
constexpr uint32_t kStationPartSubKind = 8;
constexpr uint32_t kMarkedTreeColour = 0xFF4FFF4Fu;

TextureHandle FirstTexture(const TiledImage* image) {
    return image && !image->textures.empty() ? TextureHandle(image->textures[0]) : TextureHandle(0);
}

// True the first time a handle is listed since the last rebuild; widens
// the cells the object was met on either way.
bool FirstListing(DrawLists& lists, ObjectHandle handle, int32_t x, int32_t y, bool building, uint8_t sub) {
    auto [at, added] = lists.listed.try_emplace(handle);
    ListedObject& o = at->second;
    if (added) {
        o = {x, y, x, y, uint8_t(building ? 1 : 0), sub};
        return true;
    }
    o.x0 = std::min(o.x0, x);
    o.y0 = std::min(o.y0, y);
    o.x1 = std::max(o.x1, x);
    o.y1 = std::max(o.y1, y);
    return false;
}

int32_t CellInBlock(int32_t x, int32_t y) {
    return (y & 3) * 4 + (x & 3);
}

void CollectBuilding(DrawLists& lists, const WorldMap& map, int32_t x, int32_t y) {
    ObjectHandle id = map.GetBuildingAt(uint32_t(x), uint32_t(y));
    if (!id)
        id = map.GetCellBuilding(uint32_t(x), uint32_t(y));
    if (!id || !FirstListing(lists, id, x, y, true, 0))
        return;
    BuildingRecord record{id,
                          {x * 4, y * 4, x * 4 + 4, y * 4 + 4},
                          {},
                          nullptr,
                          WalkOrderKey(x & ~3, y & ~3, CellInBlock(x, y))};
    const auto* building = dynamic_cast<const Building*>(BuildingFromId(id));
    if (building && building->GetSubtype() != 8) {
        if (const TiledImage* image = FetchSpriteRef(building->GetGraphic())) {
            int32_t x0 = 0, y0 = 0;
            building->GetPosition(x0, y0);
            const int32_t w = std::max(image->footprintX, 1), h = std::max(image->footprintY, 1);
            record.image = image;
            record.rect = image->ScreenRectAt({x0 + w, y0 + h});
            record.footprint = {x0 * 4, y0 * 4, (x0 + w) * 4, (y0 + h) * 4};
        }
    }
    lists.buildings.push_back(record);
}

void CollectRouteCell(MapViewFrame& frame, DrawLists& lists, const WorldMap& map, int32_t x, int32_t y) {
    const uint32_t ux = uint32_t(x), uy = uint32_t(y);
    if (map.GetRouteSubKind(ux, uy) == kStationPartSubKind)
        return; // drawn with the station
    const uint32_t d1 = map.GetTrackDirections(ux, uy), d2 = map.GetRoadDirections(ux, uy);
    if (d1 == 0 && d2 == 0)
        return;
    const RouteBuilderRow* type1 = RouteBuilderTable::Find(int32_t(map.GetRouteTypeAt(1, ux, uy)));
    const RouteBuilderRow* type2 = RouteBuilderTable::Find(int32_t(map.GetRouteTypeAt(2, ux, uy)));
    int32_t set = 0, atlasFrame = 0, entry = 0;
    if (d1 != 0 && d2 != 0) {
        const int32_t i = d2 == 5 ? 1 : d2 == 10 ? 2 : 0;
        set = type2 ? type2->GfxIndex : 0;
        atlasFrame = 1;
        entry = type1 && type1->IsHighSpeedTrack ? i + 4 : type1 && type1->IsHorseTrack ? i + 8 : i;
    } else if (d2 != 0) {
        set = type2 ? type2->GfxIndex : 0;
        entry = int32_t(d2 & 15);
    } else {
        CollectBuilding(lists, map, x, y);
        set = type1 ? type1->GfxIndex : 0;
        entry = int32_t(d1 & 15);
    }
    RouteQuad q;
    q.texture = FirstTexture(SpriteFetch(kRouteKind, set, atlasFrame));
    if (!q.texture)
        return;
    q.rect = Viewport::TileBounds(x, y);
    AtlasCell(frame.graphicsVariant, entry, q.u0, q.v0, q.u1, q.v1);
    q.order = WalkOrderKey(x & ~3, y & ~3, CellInBlock(x, y));
    lists.routes.push_back(q);
}

void CollectTree(MapViewFrame& frame, DrawLists& lists, const WorldMap& map, int32_t x, int32_t y) {
    const WorldCell* cell = map.FindCell(uint32_t(x), uint32_t(y));
    if (!cell || !(cell->word1 & decoration_bits::kOriginBit))
        return;
    const uint32_t graphic = (cell->word1 >> decoration_bits::kGraphicShift) & decoration_bits::kGraphicMask;
    if (graphic == 0)
        return;
    const int32_t number = int32_t(graphic >> 8), variant = int32_t(graphic & 0xFF) - 1;
    const int32_t size = std::max<int32_t>(int32_t((cell->word1 >> decoration_bits::kColumnShift) & 7), 1);
    const bool seasons = InterfaceStateOf().SeasonSetting() == 1;
    if (seasons)
        GraphicSets::SetFieldA(uint8_t(frame.season));
    const TiledImage* image = SpriteFetch(kTreeKind, number, variant);
    if (!image)
        return;
    TreeRecord t;
    t.image = image;
    if (seasons && frame.nextSeason != frame.season) {
        GraphicSets::SetFieldA(uint8_t(frame.nextSeason));
        const TiledImage* next = SpriteFetch(kTreeKind, number, variant);
        t.second = next != image ? next : nullptr;
    }
    t.rect = image->ScreenRectAt({x + size, y + size});
    if (image->footprintX == 1 && image->footprintY == 1) {
        const GlobalConstantsRow* g = GlobalConstantsTable::Find(0);
        const int32_t j1 = g ? g->TreeMaxXDisplacement : 0, j2 = g ? g->TreeMaxYDisplacement : 0;
        const int32_t dx =
            Viewport::ScaleByZoom(int32_t((uint32_t(y + 23) * uint32_t(x + 17)) & uint32_t(2 * j1)) - j1);
        const int32_t dy =
            Viewport::ScaleByZoom(int32_t((uint32_t(y + 15) * uint32_t(x + 19)) & uint32_t(2 * j2)) - j2);
        t.rect = {t.rect.left + dx, t.rect.top + dy, t.rect.right + dx, t.rect.bottom + dy};
    }
    t.footprint = {x * 4, y * 4, (x + size) * 4 - 1, (y + size) * 4 - 1};
    t.order = WalkOrderKey(x & ~3, y & ~3, CellInBlock(x, y));
    lists.trees.push_back(t);
}

void CollectCellObjects(DrawLists& lists, const WorldMap& map, int32_t x, int32_t y) {
    const ObjectHandle ids[2] = {map.GetLayer1Object(uint32_t(x), uint32_t(y)),
                                 map.GetLayer2Object(uint32_t(x), uint32_t(y))};
    for (uint8_t sub = 0; sub < 2; ++sub)
        if (ids[sub] && FirstListing(lists, ids[sub], x, y, false, sub))
            lists.cellObjects.push_back({ids[sub], WalkOrderKey(x & ~3, y & ~3, CellInBlock(x, y), sub)});
}

// The order of an object of many cells: that of its first cell in the first
// still walked block it was met in; false when no such block is left.
bool FirstWalkedOrder(const ListedObject& o, const std::vector<uint8_t>& present, int32_t blocksPerRow,
                      uint64_t& order) {
    bool found = false;
    for (int32_t by = o.y0 & ~3; by <= o.y1; by += 4)
        for (int32_t bx = o.x0 & ~3; bx <= o.x1; bx += 4) {
            const size_t at = size_t(by / 4) * size_t(blocksPerRow) + size_t(bx / 4);
            if (bx < 0 || by < 0 || bx / 4 >= blocksPerRow || at >= present.size() || !present[at])
                continue;
            const int32_t cx = std::max(o.x0, bx), cy = std::max(o.y0, by);
            const uint64_t key = WalkOrderKey(bx, by, CellInBlock(cx, cy), o.sub);
            if (!found || key < order)
                order = key;
            found = true;
        }
    return found;
}

bool BlockPresent(uint64_t key, const std::vector<uint8_t>& present, int32_t blocksPerRow) {
    int32_t bx = 0, by = 0;
    BlockOfKey(key, bx, by);
    const size_t at = size_t(by / 4) * size_t(blocksPerRow) + size_t(bx / 4);
    return by >= 0 && bx >= 0 && at < present.size() && present[at] != 0;
}

// Drops the records of blocks no longer walked, keeping the order of the
// rest; returns how many of the first `kept` records stay.
template <typename Record>
size_t DropLeftBlocks(std::vector<Record>& records, size_t kept, const std::vector<uint8_t>& present,
                      int32_t blocksPerRow) {
    size_t out = 0, stayed = 0;
    for (size_t i = 0; i < records.size(); ++i) {
        if (!BlockPresent(records[i].order, present, blocksPerRow))
            continue;
        if (i < kept)
            ++stayed;
        records[out++] = records[i];
    }
    records.resize(out);
    return stayed;
}

void Shift(EngineRect& r, int32_t dx, int32_t dy) {
    r = {r.left + dx, r.top + dy, r.right + dx, r.bottom + dy};
}

} // namespace

void DrawLists::Clear() {
    routes.clear();
    trees.clear();
    buildings.clear();
    cellObjects.clear();
    listed.clear();
    keptRoutes = keptTrees = 0;
}

uint64_t WalkOrderKey(int32_t blockX, int32_t blockY, int32_t cell, int32_t sub) {
    return uint64_t(uint32_t(blockX + blockY) & 0xFFFFFFu) << 40 |
           uint64_t(uint32_t(blockX) & 0xFFFFFFu) << 16 | uint64_t(uint32_t(cell) & 0xFFF) << 4 |
           uint64_t(uint32_t(sub) & 0xF);
}

void BlockOfKey(uint64_t key, int32_t& blockX, int32_t& blockY) {
    blockX = int32_t((key >> 16) & 0xFFFFFFu);
    blockY = int32_t(key >> 40) - blockX;
}

void ShiftDrawLists(DrawLists& lists, int32_t dx, int32_t dy) {
    for (RouteQuad& q : lists.routes)
        Shift(q.rect, dx, dy);
    for (TreeRecord& t : lists.trees)
        Shift(t.rect, dx, dy);
    for (BuildingRecord& b : lists.buildings)
        if (b.image)
            Shift(b.rect, dx, dy);
    lists.keptRoutes = lists.routes.size();
    lists.keptTrees = lists.trees.size();
}

void PruneDrawLists(DrawLists& lists, const std::vector<uint8_t>& present, int32_t blocksPerRow,
                    bool smallTiles) {
    // Routes and trees belong to one cell: kept records stay in order, the
    // new ones (in walk order) are sorted and merged in.
    const auto byTexture = [](const RouteQuad& a, const RouteQuad& b) {
        return a.texture != b.texture ? a.texture < b.texture : a.order < b.order;
    };
    size_t kept = DropLeftBlocks(lists.routes, lists.keptRoutes, present, blocksPerRow);
    std::sort(lists.routes.begin() + std::ptrdiff_t(kept), lists.routes.end(), byTexture);
    std::inplace_merge(lists.routes.begin(), lists.routes.begin() + std::ptrdiff_t(kept), lists.routes.end(),
                       byTexture);
    const auto treeOrder = [smallTiles](const TreeRecord& a, const TreeRecord& b) {
        if (smallTiles && a.image != b.image)
            return a.image < b.image;
        return a.order < b.order;
    };
    kept = DropLeftBlocks(lists.trees, lists.keptTrees, present, blocksPerRow);
    std::sort(lists.trees.begin() + std::ptrdiff_t(kept), lists.trees.end(), treeOrder);
    std::inplace_merge(lists.trees.begin(), lists.trees.begin() + std::ptrdiff_t(kept), lists.trees.end(),
                       treeOrder);
    lists.keptRoutes = lists.routes.size();
    lists.keptTrees = lists.trees.size();
    // Objects of many cells stay while any block they were met in is walked,
    // in the place of the first of those.
    const auto reorder = [&](auto& records, auto handleOf) {
        size_t out = 0;
        for (size_t i = 0; i < records.size(); ++i) {
            const ObjectHandle id = handleOf(records[i]);
            auto at = lists.listed.find(id);
            uint64_t order = 0;
            if (at == lists.listed.end() || !FirstWalkedOrder(at->second, present, blocksPerRow, order)) {
                if (at != lists.listed.end())
                    lists.listed.erase(at);
                continue;
            }
            records[i].order = order;
            records[out++] = records[i];
        }
        records.resize(out);
        std::sort(records.begin(), records.end(),
                  [](const auto& a, const auto& b) { return a.order < b.order; });
    };
    reorder(lists.buildings, [](const BuildingRecord& b) { return b.building; });
    reorder(lists.cellObjects, [](const CellObjectRecord& c) { return c.object; });
}

void AtlasCell(int32_t variant, int32_t entry, float& u0, float& v0, float& u1, float& v1) {
    const auto& layout = GetZoomLayoutRecord(variant);
    const LayoutRect& r = layout[size_t(std::clamp(entry, 0, 25))];
    const float side = float(4 * (64 >> std::clamp(variant, 0, 2)));
    u0 = float(r.left) / side;
    v0 = float(r.top) / side;
    u1 = float(r.right) / side;
    v1 = float(r.bottom) / side;
}

void VisitBlockCells(MapViewFrame& frame, DrawLists& lists, int32_t x, int32_t y) {
    const WorldMap& map = GetWorldMap();
    const bool trees = MapViewOf().showTrees != 0;
    for (int32_t cy = y; cy < y + 4; ++cy)
        for (int32_t cx = x; cx < x + 4; ++cx) {
            switch (map.GetCellKind(uint32_t(cx), uint32_t(cy))) {
            case kCellFootprint:
                CollectBuilding(lists, map, cx, cy);
                break;
            case kCellRoute:
                CollectRouteCell(frame, lists, map, cx, cy);
                break;
            case kCellDecoration:
                if (trees)
                    CollectTree(frame, lists, map, cx, cy);
                break;
            default:
                break;
            }
            if (map.GetLayer1Object(uint32_t(cx), uint32_t(cy)) ||
                map.GetLayer2Object(uint32_t(cx), uint32_t(cy)))
                CollectCellObjects(lists, map, cx, cy);
        }
}

void SortDrawLists(DrawLists& lists, bool smallTiles) {
    // The walk order breaks every tie, so that however the lists were
    // filled they come out alike.
    std::sort(lists.routes.begin(), lists.routes.end(), [](const RouteQuad& a, const RouteQuad& b) {
        return a.texture != b.texture ? a.texture < b.texture : a.order < b.order;
    });
    std::sort(lists.trees.begin(), lists.trees.end(), [smallTiles](const TreeRecord& a, const TreeRecord& b) {
        if (smallTiles && a.image != b.image)
            return a.image < b.image;
        return a.order < b.order;
    });
    std::sort(lists.buildings.begin(), lists.buildings.end(),
              [](const BuildingRecord& a, const BuildingRecord& b) { return a.order < b.order; });
    std::sort(lists.cellObjects.begin(), lists.cellObjects.end(),
              [](const CellObjectRecord& a, const CellObjectRecord& b) { return a.order < b.order; });
    lists.keptRoutes = lists.routes.size();
    lists.keptTrees = lists.trees.size();
}

void DrawRouteQuads(const DrawLists& lists) {
    for (const RouteQuad& q : lists.routes) {
        const PointF uv[4] = {{q.u0, q.v0}, {q.u1, q.v0}, {q.u0, q.v1}, {q.u1, q.v1}};
        Engine::DrawQuadUV(q.texture, 0, q.colour, q.rect, uv, 1, 1);
    }
}

void DrawTrees(const MapViewFrame& frame, const DrawLists& lists) {
    if (!MapViewOf().showTrees)
        return;
    const WorldMap& map = GetWorldMap();
    const uint32_t alpha = frame.blendColour >> 24;
    for (const TreeRecord& t : lists.trees) {
        const bool marked = map.IsCellMarked(uint32_t(t.footprint.left / 4), uint32_t(t.footprint.top / 4));
        const uint32_t colour = marked ? kMarkedTreeColour : 0xFFFFFFFFu;
        const TextureHandle first = FirstTexture(t.image);
        if (!first)
            continue;
        if (!t.second || frame.smallTiles) {
            Engine::QueueSpriteTinted(1, first, colour, t.rect, t.footprint, 0, 1, 1, 0, 0);
            continue;
        }
        const uint32_t rgb = colour & 0x00FFFFFFu;
        Engine::QueueSpriteTinted(1, first, (0xFF - alpha) << 24 | rgb, t.rect, t.footprint, 0, 1, 1, 0, 0);
        if (const TextureHandle second = FirstTexture(t.second))
            Engine::QueueSpriteTinted(1, second, alpha << 24 | rgb, t.rect, t.footprint, 0, 1, 1, 0, 0);
    }
}

int32_t PlayTreeAmbientSound(const DrawLists& lists, uint32_t nowMs, uint32_t& lastCheckMs, bool soundOn) {
    if (nowMs - lastCheckMs <= 1000)
        return -1;
    lastCheckMs = nowMs;
    if (!soundOn || !InterfaceStateOf().AmbientEffectsOn() || lists.trees.size() <= kTreesForAmbientSound)
        return -1;
    const GlobalConstantsRow* constants = GlobalConstantsTable::Find(0);
    if (!constants || constants->TreeSoundIndexTable.Empty())
        return -1;
    const ValueTable& table = constants->TreeSoundIndexTable;
    const size_t count = lists.trees.size();
    size_t tree = RandomTable() % count;
    for (size_t tries = 0; tries < count; ++tries, tree = (tree + 1) % count) {
        const uint32_t entry = RandomTable() % table.RowCount();
        const int32_t category = table.IntCell(0, entry);
        if (category <= 0)
            continue;
        const EngineRect& f = lists.trees[tree].footprint;
        const EngineRect area{f.left / 4, f.top / 4, f.left / 4, f.top / 4};
        if (PlaySoundEvent(uint32_t(category), &area, 1) >= 0)
            return int32_t(tree);
    }
    return -1;
}

int32_t DrawBuildings(const DrawLists& lists) {
    int32_t n = 0;
    for (const BuildingRecord& b : lists.buildings)
        if (const MapObject* building = BuildingFromId(b.building))
            n += DrawMapObject(*building);
    for (const CellObjectRecord& c : lists.cellObjects)
        if (const MapObject* object = MapObjectFromId(c.object))
            n += DrawMapObject(*object);
    return n;
}
