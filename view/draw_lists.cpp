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

// True the first time a handle is listed since the last rebuild.
bool FirstListing(DrawLists& lists, ObjectHandle handle) {
    auto at = std::lower_bound(lists.listed.begin(), lists.listed.end(), handle);
    if (at != lists.listed.end() && *at == handle)
        return false;
    lists.listed.insert(at, handle);
    return true;
}

void CollectBuilding(DrawLists& lists, const WorldMap& map, int32_t x, int32_t y) {
    ObjectHandle id = map.GetBuildingAt(uint32_t(x), uint32_t(y));
    if (!id)
        id = map.GetCellBuilding(uint32_t(x), uint32_t(y));
    if (!id || !FirstListing(lists, id))
        return;
    BuildingRecord record{id, {x * 4, y * 4, x * 4 + 4, y * 4 + 4}, {}, nullptr};
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
    lists.trees.push_back(t);
}

void CollectCellObjects(DrawLists& lists, const WorldMap& map, int32_t x, int32_t y) {
    for (ObjectHandle id :
         {map.GetLayer1Object(uint32_t(x), uint32_t(y)), map.GetLayer2Object(uint32_t(x), uint32_t(y))})
        if (id && FirstListing(lists, id))
            lists.cellObjects.push_back(id);
}

} // namespace

void DrawLists::Clear() {
    routes.clear();
    trees.clear();
    buildings.clear();
    cellObjects.clear();
    listed.clear();
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
    std::stable_sort(lists.routes.begin(), lists.routes.end(),
                     [](const RouteQuad& a, const RouteQuad& b) { return a.texture < b.texture; });
    if (smallTiles)
        std::stable_sort(lists.trees.begin(), lists.trees.end(),
                         [](const TreeRecord& a, const TreeRecord& b) { return a.image < b.image; });
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
    for (ObjectHandle id : lists.cellObjects)
        if (const MapObject* object = MapObjectFromId(id))
            n += DrawMapObject(*object);
    return n;
}
